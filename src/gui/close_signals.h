// SPDX-License-Identifier: GPL-2.0-or-later
// SIGTERM, SIGINT and SIGHUP end the desktop session for velmora: each becomes the window's
// close request, handled on the GUI thread like a click on the close box. Each also stops an
// FSB walk in progress at once (see hw/stop_request.h), since the GUI thread sees the close
// request only after the walk.
#pragma once

#include <QObject>

class QSocketNotifier;
class QWidget;

class CloseSignals : public QObject {
    Q_OBJECT

  public:
    // Installs the signal handlers; a signal that arrives before attach() waits for it.
    CloseSignals();
    ~CloseSignals() override;
    void attach(QWidget* window);

  private:
    void on_signal();

    QWidget* window_ = nullptr;
    QSocketNotifier* notifier_ = nullptr;
};
