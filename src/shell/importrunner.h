#pragma once

#include "content/lessonimport.h"

#include <QObject>
#include <atomic>
#include <mutex>
#include <optional>
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
    // cancel(), then waits for the worker; its finished() is not emitted. The result, when an
    // import was running: it may have ended (even written its lesson) before the stop came.
    std::optional<ImportResult> stopAndWait();

Q_SIGNALS:
    void progressed(double fraction);
    void finished(const ImportResult &result);

private:
    void join();

    std::thread m_worker;
    std::atomic<bool> m_cancel{false};
    std::atomic<int> m_shownPermille{-1};
    bool m_running = false;
    std::mutex m_resultLock;
    std::optional<ImportResult> m_result; // the worker's, until reported
    // Bumped by stopAndWait(): a result queued by an import given up on is not reported.
    int m_generation = 0;
};
