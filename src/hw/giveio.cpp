// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/giveio.h"

#include <string>

#include "diag/debuglog.h"
#include "diag/errortext.h"
#include "platform/platform.h"

uint32_t giveio_error = 0;

namespace {
constexpr const char* kServiceName = "giveio";
constexpr const char* kDevicePath = "\\\\.\\giveio";
constexpr size_t kWindowsDirChars = 210;
constexpr size_t kWorkingDirChars = 900;
}  // namespace

uint32_t open_giveio() {
    uint32_t result = open_giveio_service();
    if (result != 0)
        return result;
    // Opening the device is what grants the port access; the handle is not kept.
    if (!current_platform().open_device(kDevicePath)) {
        debug_print("I2C-WIN: Can't get GiveIO-Handle\n");
        return ERR_DRIVER_HANDLE;
    }
    return 0;
}

uint32_t start_giveio(ServiceHandle service) {
    Platform& os = current_platform();
    if (!os.start_service(service)) {
        debug_print("GIVEIO: Starting service giveio failed, status: %s\n", system_error_text());
        return 1;
    }
    // A start still pending counts as a failure: there is no waiting for it.
    if (os.query_service_state(service) == SERVICE_STATE_RUNNING) {
        debug_print("GIVEIO: start_giveio: Service giveio running\n");
        return 0;
    }
    return 1;
}

ServiceHandle install_giveio(ServiceHandle manager) {
    Platform& os = current_platform();
    const std::string source = os.current_directory(kWorkingDirChars) + "\\giveio.sys";
    const std::string destination =
        os.windows_directory(kWindowsDirChars) + "\\system32\\DRIVERS\\giveio.sys";
    debug_print("GIVEIO: install_giveio->cwd: %s, dst: %s\n", source, destination);
    // A driver already in place is used as it is, never replaced.
    if (!os.file_exists(destination)) {
        debug_print("GIVEIO: giveio.sys not found in %s, trying to copy.\n", destination);
        if (!os.copy_file(source, destination)) {
            giveio_error = ERR_DRIVER_COPY;
            debug_print("GIVEIO: Copying giveio.sys failed\n");
            return 0;
        }
    }
    ServiceHandle service =
        os.create_driver_service(manager, kServiceName, kServiceName, destination);
    if (!service) {
        debug_print("GIVEIO: Creating service giveio failed, status: %s\n", system_error_text());
        return 0;
    }
    return service;
}

namespace {

// The service exists: make it run, re-installing it when it will not start.
uint32_t run_existing_service(ServiceHandle manager, ServiceHandle service) {
    Platform& os = current_platform();
    debug_print("GIVEIO: Service giveio exists\n");
    if (os.query_service_state(service) == SERVICE_STATE_RUNNING) {
        debug_print("GIVEIO: Service giveio is running\n");
        return 0;
    }
    if (start_giveio(service) == 0)
        return 0;
    debug_print("GIVEIO: Start service giveio failed, trying to re-install\n");
    os.delete_service(service);
    ServiceHandle fresh = install_giveio(manager);
    if (!fresh)
        return giveio_error;
    uint32_t started = start_giveio(fresh);
    os.close_service_handle(fresh);
    if (started == 0) {
        debug_print("GIVEIO: Re-install->Success, service started\n");
        return 0;
    }
    return giveio_error;
}

// The service could not be opened: install it when it does not exist.
uint32_t install_missing_service(ServiceHandle manager) {
    Platform& os = current_platform();
    giveio_error = os.last_error();
    debug_print("GIVEIO: Service giveio not found, status: %s\n", system_error_text());
    if (giveio_error == OS_ERROR_ACCESS_DENIED) {
        debug_print("GIVEIO: Open Service->Access denied\n");
        return ERR_ACCESS_DENIED;
    }
    // Any other reason: carry on, the device open decides.
    if (giveio_error != OS_ERROR_SERVICE_DOES_NOT_EXIST)
        return 0;
    debug_print("GIVEIO: Service does not exist, trying to install\n");
    ServiceHandle service = install_giveio(manager);
    if (!service) {
        debug_print("GIVEIO: Install service giveio failed, status: %s\n", system_error_text());
        return ERR_UNKNOWN;
    }
    debug_print("GIVEIO: Install->Success, trying to start service giveio\n");
    giveio_error = start_giveio(service);
    os.close_service_handle(service);
    if (giveio_error == 0)
        return 0;
    debug_print("GIVEIO: Starting service giveio failed, status: %s\n", system_error_text());
    return ERR_UNKNOWN;
}

}  // namespace

uint32_t open_giveio_service() {
    Platform& os = current_platform();
    ServiceHandle manager = os.open_service_manager();
    if (!manager)
        return ERR_SCM_OPEN;
    debug_print("GIVEIO: Open SC-Manager->Success\n");
    uint32_t result;
    if (ServiceHandle service = os.open_service(manager, kServiceName)) {
        result = run_existing_service(manager, service);
        os.close_service_handle(service);
    } else {
        result = install_missing_service(manager);
    }
    os.close_service_handle(manager);
    return result;
}
