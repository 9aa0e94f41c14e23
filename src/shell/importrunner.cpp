#include "importrunner.h"

#include <QMetaObject>
#include <algorithm>
#include <cmath>

ImportRunner::ImportRunner(QObject *parent) : QObject(parent) {}

ImportRunner::~ImportRunner() {
    stopAndWait();
}

bool ImportRunner::start(ImportRequest request, AudioTools tools) {
    if (m_running)
        return false;
    join(); // the last worker has posted its result and is ending
    m_running = true;
    m_cancel = false;
    m_shownPermille = -1;
    const int generation = ++m_generation;
    const ImportProgress caller = request.progress;
    request.progress = [this, caller](double fraction) {
        // The aligner reports often; the window needs a step it can see.
        const int permille = int(std::clamp(fraction, 0.0, 1.0) * 1000);
        if (permille / 5 != m_shownPermille.exchange(permille) / 5) {
            QMetaObject::invokeMethod(
                this, [this, fraction] { Q_EMIT progressed(fraction); }, Qt::QueuedConnection);
        }
        if (caller && !caller(fraction))
            return false;
        return !m_cancel.load();
    };
    m_result.reset();
    m_worker =
        std::thread([this, generation, request = std::move(request), tools = std::move(tools)] {
            ImportResult result = importLesson(request, tools);
            {
                const std::lock_guard lock(m_resultLock);
                m_result = std::move(result);
            }
            QMetaObject::invokeMethod(
                this,
                [this, generation] {
                    if (generation != m_generation)
                        return;
                    m_running = false;
                    join();
                    std::optional<ImportResult> done;
                    {
                        const std::lock_guard lock(m_resultLock);
                        done.swap(m_result);
                    }
                    if (done)
                        Q_EMIT finished(*done);
                },
                Qt::QueuedConnection);
        });
    return true;
}

std::optional<ImportResult> ImportRunner::stopAndWait() {
    m_cancel = true;
    join();
    if (!m_running)
        return std::nullopt;
    m_running = false;
    ++m_generation;
    std::optional<ImportResult> result;
    const std::lock_guard lock(m_resultLock);
    result.swap(m_result);
    return result;
}

void ImportRunner::join() {
    if (m_worker.joinable())
        m_worker.join();
}
