// SPDX-License-Identifier: GPL-2.0-or-later
// The program entry: the application object, the main window and the message loop.
#pragma once

#include "app/program_start.h"

int run_application(int argc, char** argv);
