#include "voicewaveview.h"

#include "lanestyle.h"
#include "media/waveformpeaks.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

const QColor axisColour(0xD5, 0xDD, 0xE6);
const QColor emptyColour(0x8A, 0x96, 0xA3);
const QColor positionColour(0xE0, 0x6C, 0x2F);

constexpr int laneGap = 8;

// A clip as heard: skipMs dropped from its start, every sample times gain (clipped).
AudioClip asHeard(const AudioClip &clip, double gain, int skipMs) {
    AudioClip heard;
    heard.sampleRate = clip.sampleRate;
    if (clip.isEmpty())
        return heard;
    const size_t skip =
        std::min(clip.samples.size(), size_t(std::max(0, skipMs)) * size_t(clip.sampleRate) / 1000);
    heard.samples.reserve(clip.samples.size() - skip);
    for (size_t i = skip; i < clip.samples.size(); ++i)
        heard.samples.push_back(std::clamp(float(clip.samples[i] * gain), -1.0f, 1.0f));
    return heard;
}

} // namespace

VoiceWaveView::VoiceWaveView(QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("VoiceWaveView"));
    m_lanes[0].caption = QStringLiteral("标准发音");
    m_lanes[1].caption = QStringLiteral("您的发音");
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void VoiceWaveView::setModel(const AudioClip &clip, const QString &emptyText) {
    m_lanes[0].clip = clip;
    m_lanes[0].emptyText = emptyText;
    m_lanes[0].position = -1;
    rebuildColumns();
    announceDescriptionChanged(this);
}

void VoiceWaveView::setRecording(const AudioClip &clip, double gain, int skipMs,
                                 const QString &emptyText) {
    m_lanes[1].clip = asHeard(clip, gain, skipMs);
    m_lanes[1].emptyText = emptyText;
    m_lanes[1].position = -1;
    rebuildColumns();
    announceDescriptionChanged(this);
}

void VoiceWaveView::setPositions(double modelSeconds, double recordingSeconds) {
    if (modelSeconds == m_lanes[0].position && recordingSeconds == m_lanes[1].position)
        return;
    m_lanes[0].position = modelSeconds;
    m_lanes[1].position = recordingSeconds;
    update();
}

double VoiceWaveView::spanSeconds() const {
    return std::max({1.0, m_lanes[0].clip.seconds(), m_lanes[1].clip.seconds()});
}

QRect VoiceWaveView::laneRect(int lane) const {
    const int laneHeight = std::max(1, (height() - laneGap) / 2);
    return QRect(lanestyle::captionWidth, lane * (laneHeight + laneGap),
                 std::max(1, width() - lanestyle::captionWidth), laneHeight);
}

void VoiceWaveView::rebuildColumns() {
    const float loudest = std::max(m_lanes[0].clip.peak(), m_lanes[1].clip.peak());
    // Quiet sentences fill the lanes; near-silence stays a flat line instead of noise.
    m_scale = loudest > 0.05f ? 1.0f / loudest : 1.0f / 0.05f;
    const double span = spanSeconds();
    const int columns = laneRect(0).width();
    for (Lane &lane : m_lanes) {
        lane.columns.clear();
        if (lane.clip.isEmpty())
            continue;
        for (const PeakColumn &c : waveformPeaks(lane.clip, 0, span, columns))
            lane.columns.emplace_back(c.low, c.high);
    }
    update();
}

void VoiceWaveView::resizeEvent(QResizeEvent *) {
    rebuildColumns();
}

void VoiceWaveView::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    const double span = spanSeconds();
    QFont small = font();
    small.setPixelSize(12);
    painter.setFont(small);
    const QColor colours[2] = {lanestyle::model, lanestyle::voice};
    for (int i = 0; i < 2; ++i) {
        const Lane &lane = m_lanes[i];
        const QRect r = laneRect(i);
        painter.setPen(lanestyle::caption);
        painter.drawText(QRect(0, r.top(), lanestyle::captionWidth - 8, r.height()),
                         Qt::AlignRight | Qt::AlignVCenter, lane.caption);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setPen(lanestyle::border);
        painter.setBrush(lanestyle::background);
        painter.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
        painter.setRenderHint(QPainter::Antialiasing, false);
        const int mid = r.center().y();
        const double half = (r.height() - 6) / 2.0;
        if (lane.columns.empty()) {
            painter.setPen(emptyColour);
            painter.drawText(r.adjusted(12, 0, -12, 0), Qt::AlignLeft | Qt::AlignVCenter,
                             lane.emptyText);
            continue;
        }
        painter.setPen(axisColour);
        painter.drawLine(r.left() + 1, mid, r.right() - 1, mid);
        painter.setPen(colours[i]);
        for (size_t x = 0; x < lane.columns.size(); ++x) {
            const auto [low, high] = lane.columns[x];
            if (high <= low && high == 0)
                continue;
            const int top = mid - int(std::lround(std::min(1.0f, high * m_scale) * half));
            const int bottom = mid - int(std::lround(std::max(-1.0f, low * m_scale) * half));
            painter.drawLine(r.left() + int(x), top, r.left() + int(x), std::max(top, bottom));
        }
        if (lane.position >= 0) {
            const int x = r.left() + int(std::lround(lane.position / span * r.width()));
            painter.setPen(QPen(positionColour, 2));
            painter.drawLine(std::min(x, r.right() - 1), r.top() + 2, std::min(x, r.right() - 1),
                             r.bottom() - 2);
        }
    }
}

AccessiblePart VoiceWaveView::accessiblePart(int) const {
    AccessiblePart p;
    p.role = QAccessible::Graphic;
    p.name = QStringLiteral("标准发音与您的发音的波形");
    const auto describe = [](const Lane &lane) {
        return lane.clip.isEmpty()
                   ? lane.caption + QStringLiteral("：") + lane.emptyText
                   : lane.caption + QStringLiteral("：%1 秒").arg(lane.clip.seconds(), 0, 'f', 1);
    };
    p.description = describe(m_lanes[0]) + QStringLiteral("；") + describe(m_lanes[1]);
    p.visible = isVisible();
    return p;
}
