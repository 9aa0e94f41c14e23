#include "ffmpeglog.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

extern "C" {
#include <libavutil/log.h>
}

namespace {
thread_local FfmpegLogScope *innermost = nullptr;
// FFmpeg's lines are short; a longer one is cut.
constexpr int longestLine = 300;
} // namespace

struct FfmpegLogSink {
    static void line(void *context, int level, const char *format, va_list args) {
        // Warnings, information and debugging: quiet.
        if (level > AV_LOG_ERROR)
            return;
        FfmpegLogScope *scope = innermost;
        if (!scope || !format)
            return;
        char text[longestLine];
        va_list copy;
        va_copy(copy, args);
        std::vsnprintf(text, sizeof text, format, copy);
        va_end(copy);
        QString said = QString::fromUtf8(text).trimmed();
        if (said.isEmpty())
            return;
        // The name of what spoke ("flac", "mp3"), without the address FFmpeg adds to it.
        const AVClass *kind = context ? *static_cast<const AVClass *const *>(context) : nullptr;
        if (kind && kind->item_name)
            said = QString::fromUtf8(kind->item_name(context)) + QStringLiteral(": ") + said;
        ++scope->m_errors;
        scope->m_last = said;
    }
};

FfmpegLogScope::FfmpegLogScope() : m_outer(innermost) {
    // Each time, not once: a media player sharing these libraries (libmpv) sets its own
    // callback while it runs and puts FFmpeg's default one back when it goes.
    install();
    innermost = this;
}

FfmpegLogScope::~FfmpegLogScope() {
    innermost = m_outer;
}

void FfmpegLogScope::install() {
    // Scopes begin on several threads at once (the segment decoder's workers); the store
    // itself is one pointer that FFmpeg reads without a lock.
    static std::mutex setting;
    const std::lock_guard<std::mutex> lock(setting);
    av_log_set_callback(&FfmpegLogSink::line);
}

QString FfmpegLogScope::explained(const QString &error) const {
    if (error.isEmpty() || m_last.isEmpty() || error.contains(m_last))
        return error;
    return error + QStringLiteral(" (FFmpeg: ") + m_last + u')';
}
