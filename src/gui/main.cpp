// SPDX-License-Identifier: GPL-2.0-or-later
#include "gui/application.h"

int main(int argc, char** argv) {
    return run_application(argc, argv);
}
