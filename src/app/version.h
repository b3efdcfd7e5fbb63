// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

// The version text of this build: the window caption, the instance key, the log, --version,
// the About tab; the build (CMakeLists.txt) reads its number from here.
inline constexpr const char* kVersionText = "0.8.7-dev";
