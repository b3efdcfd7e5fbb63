// SPDX-License-Identifier: GPL-2.0-or-later
// Port access on the Windows NT family: the giveio kernel driver, installed and started as a
// system service, grants the process the I/O ports once its device has been opened.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// The last error code recorded by the driver-service code: an error code of errortext.h or a
// Windows error number from the service manager. 0 at program start.
extern uint32_t giveio_error;

// Makes sure the service runs and opens its device once. 0 when the process may now use the
// ports, otherwise an error code for error_text().
uint32_t open_giveio();

// Opens the service manager and the service, installing and starting it as needed. 0 when the
// service is there and, as far as can be told, running.
uint32_t open_giveio_service();

// Copies the driver into the system's driver folder when it is not there yet and creates the
// service. The service handle, or 0 on failure.
ServiceHandle install_giveio(ServiceHandle manager);

// 0 when the service runs after the start, 1 otherwise.
uint32_t start_giveio(ServiceHandle service);
