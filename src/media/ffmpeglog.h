#pragma once

// FFmpeg writes its own lines to the terminal unless told where else to write them: notes
// on a file's timing, a damaged frame it skipped. Those lines are no message for a learner
// or a content author; what matters of them is the reason an operation failed.
//
// While an FfmpegLogScope lives on a thread, the error lines FFmpeg gives on that thread
// (its own worker threads are not used: every decoder here runs on the caller's thread) are
// kept in the scope, to be added to the operation's own message; every other line, and every
// line of a thread without a scope, is dropped. Scopes nest; each keeps what came while it
// was the innermost one.

#include <QString>

class FfmpegLogScope {
public:
    FfmpegLogScope();
    ~FfmpegLogScope();
    FfmpegLogScope(const FfmpegLogScope &) = delete;
    FfmpegLogScope &operator=(const FfmpegLogScope &) = delete;

    // How many error lines FFmpeg gave, and the last of them ("flac: invalid rice order").
    int errorCount() const { return m_errors; }
    const QString &lastError() const { return m_last; }
    // error with FFmpeg's reason after it, when FFmpeg gave one; error alone otherwise.
    QString explained(const QString &error) const;

    // Takes FFmpeg's lines from here on (once per process is enough; scopes do it).
    static void install();

private:
    friend struct FfmpegLogSink;
    FfmpegLogScope *m_outer = nullptr;
    int m_errors = 0;
    QString m_last;
};
