// SIGTERM, SIGINT and SIGHUP as requests to end the program in order: a
// session that logs out, a `kill` or Ctrl+C in a terminal run the window's
// exit command (table saved, runs stopped) instead of killing the process
// with the table unsaved. The signal handler only writes a byte to a pipe;
// the command runs on the GUI thread from the event loop.
#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace quillon::app {

class ExitSignals : public QObject {
    Q_OBJECT
public:
    // Installs the handlers; `onSignal` runs on this object's thread for
    // each signal received. Only one instance may exist at a time.
    explicit ExitSignals(std::function<void(int signal)> onSignal, QObject* parent = nullptr);
    // Restores the default actions.
    ~ExitSignals() override;

private:
    void readSignal();

    std::function<void(int)> m_onSignal;
    QSocketNotifier* m_notifier = nullptr;
};

}  // namespace quillon::app
