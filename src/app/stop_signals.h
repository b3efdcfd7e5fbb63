// SPDX-License-Identifier: GPL-2.0-or-later
// SIGTERM, SIGINT and SIGHUP for a run without a window: each asks long hardware work to stop
// at its next whole step (hw/stop_request.h); the run then ends as the signal asked.
#pragma once

void install_stop_signals();
