#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

// Turns the desktop's requests to end the program (SIGTERM, SIGINT, SIGHUP on Unix; the
// end of the desktop session everywhere) into one call of quitRequested on the GUI thread,
// so that the window closes the normal way and saves its settings. The signal handler only
// writes one byte into a pipe; everything else runs from the event loop. One instance per
// process; the handlers are restored to the defaults when it is destroyed.
class QuitSignals : public QObject {
    Q_OBJECT
public:
    explicit QuitSignals(std::function<void()> quitRequested, QObject *parent = nullptr);
    ~QuitSignals() override;

    bool signalsWatched() const { return m_notifier != nullptr; }

private:
    void onSignal();

    std::function<void()> m_quitRequested;
    QSocketNotifier *m_notifier = nullptr;
};
