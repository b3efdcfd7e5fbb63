// SPDX-License-Identifier: GPL-2.0-or-later
// What every test of the window runs in: a fresh working directory, a scripted platform and
// prompts, a fresh settings-file engine and a virtual clock (sleeps cost no time). A fixture
// derives from it before its own members, so the window and the board it holds go first.
#pragma once

#include "helpers/fake_platform.h"
#include "helpers/scripted_prompts.h"
#include "helpers/temp_dir.h"
#include "platform/clock.h"
#include "support/configfile.h"

class WindowWorld {
  protected:
    WindowWorld() {
        configfile_reset();
        install_clock(&clock);
    }
    ~WindowWorld() { install_clock(nullptr); }

    TempWorkDir dir;
    FakePlatform os;
    ScopedPlatform installed{os};
    ScriptedPrompts prompts;
    VirtualClock clock;
};
