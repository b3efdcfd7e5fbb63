// SPDX-License-Identifier: GPL-2.0-or-later
// The new files of a save that never finished. The atomic writer makes
// "<name>.velmora-new-XXXXXX" beside the file it replaces; a run killed during a save leaves
// it behind (a partial copy, perhaps megabytes). A start removes those of its own user that
// are older than the process: a copy running now would hold the lock, and its files would be
// newer.
#pragma once

#include <string>

// Removes such files in `folder` last written before the call; the count removed. Called at
// start, before the run saves anything of its own.
int remove_stray_new_files(const std::string& folder);
