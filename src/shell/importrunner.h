#pragma once

#include "content/lessonimport.h"

#include <QObject>
#include <atomic>
#include <thread>

// One lesson import at a time, off the window's thread: the import converts audio and may
// align a whole recording, which takes long enough to freeze the window. Progress and the
// result come back queued to this object's thread; none arrives after the runner is gone.
//
// The tools are called on the worker thread; they must keep no state shared with the window.
class ImportRunner : public QObject {
    Q_OBJECT
public:
    explicit ImportRunner(QObject *parent = nullptr);
    ~ImportRunner() override; // stops a running import and waits for it

    // False when an import is running already.
    bool start(ImportRequest request, AudioTools tools);
    bool isRunning() const { return m_running; }
    // Asks the running import to stop at its next progress report; finished() still comes.
    void cancel() { m_cancel = true; }
    // cancel(), then waits for the worker; its finished() is dropped.
    void stopAndWait();

Q_SIGNALS:
    void progressed(double fraction);
    void finished(const ImportResult &result);

private:
    void join();

    std::thread m_worker;
    std::atomic<bool> m_cancel{false};
    std::atomic<int> m_shownPermille{-1};
    bool m_running = false;
    // Bumped by stopAndWait(): a result queued by an import given up on is not reported.
    int m_generation = 0;
};
