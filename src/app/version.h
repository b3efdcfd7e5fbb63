#pragma once

// The version text of this build, part of the window caption and of the instance key.
inline constexpr const char* kVersionText = "0.8.7-dev";
// The program name and version as the About tab shows them.
inline constexpr const char* kAboutVersion = "velmora 0.8 beta";
