// SPDX-License-Identifier: GPL-2.0-or-later
#include "gui/close_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QWidget>

#include "hw/stop_request.h"

namespace {
// The handler records the stop request, which long hardware work looks at between its steps,
// and writes one byte to this pipe, which the GUI thread reads once it is back in its loop.
int signal_pipe[2] = {-1, -1};

void on_close_signal(int sig) {
    request_stop(sig);
    const char byte = 1;
    [[maybe_unused]] ssize_t n = write(signal_pipe[1], &byte, 1);
}
}  // namespace

CloseSignals::CloseSignals() {
    if (pipe(signal_pipe) != 0)
        return;
    for (int fd : signal_pipe) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    struct sigaction action {};
    action.sa_handler = on_close_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        sigaction(sig, &action, nullptr);
}

CloseSignals::~CloseSignals() {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        sigaction(sig, &action, nullptr);
}

void CloseSignals::attach(QWidget* window) {
    window_ = window;
    if (signal_pipe[0] < 0 || notifier_)
        return;
    notifier_ = new QSocketNotifier(signal_pipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &CloseSignals::on_signal);
}

void CloseSignals::on_signal() {
    char buf[16];
    while (read(signal_pipe[0], buf, sizeof buf) > 0) {
    }
    // The close below is the answer to the request: the close's own work (a reset to the
    // values found at start) runs in full.
    clear_stop_request();
    // The window closes as if its close box was pressed; a hidden window (minimised to the
    // tray) would not end the loop by closing, so the loop is ended here.
    if (window_ && window_->close())
        QCoreApplication::quit();
}
