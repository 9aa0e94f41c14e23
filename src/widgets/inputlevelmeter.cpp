#include "inputlevelmeter.h"

#include "lanestyle.h"
#include "widgets/palette.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

const QColor warm(0xD9, 0x82, 0x2B);
const QColor track(0xE6, 0xEC, 0xF2);
const QColor quiet(0x8A, 0x96, 0xA3);

constexpr int statusWidth = 92;   // pixels right of the bar for the level in words
constexpr double holdFall = 0.04; // of the bar per level report

// Below this the microphone hears next to nothing; from goodDb on a voice is clear.
constexpr double quietDb = -40;
constexpr double goodDb = -24;

double toDb(double level) {
    return level > 0 ? 20 * std::log10(level) : InputLevelMeter::floorDb;
}

} // namespace

InputLevelMeter::InputLevelMeter(QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("InputLevelMeter"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

double InputLevelMeter::barFraction(double level) {
    if (!(level > 0))
        return 0;
    return std::clamp((toDb(level) - floorDb) / -floorDb, 0.0, 1.0);
}

void InputLevelMeter::setLevel(double peak, bool clipped) {
    const bool was = m_live;
    const QString before = statusText();
    m_live = true;
    m_level = std::clamp(std::isfinite(peak) ? peak : 0.0, 0.0, 1.0);
    m_hold = std::max(barFraction(m_level), m_hold - holdFall);
    if (clipped)
        m_clippedAt.start();
    update();
    if (!was)
        announceStateChanged(this, QAccessible::State{});
    if (statusText() != before)
        announceDescriptionChanged(this);
}

void InputLevelMeter::setResting(const QString &text) {
    const QString before = statusText();
    m_live = false;
    m_level = 0;
    m_hold = 0;
    m_clippedAt.invalidate();
    m_resting = text;
    update();
    if (statusText() != before)
        announceDescriptionChanged(this);
}

bool InputLevelMeter::clipping() const {
    return m_clippedAt.isValid() && m_clippedAt.elapsed() < clipHoldMs;
}

QString InputLevelMeter::statusText() const {
    if (!m_live)
        return m_resting;
    if (clipping())
        return QStringLiteral("音量过大");
    const double db = toDb(m_level);
    if (db < quietDb)
        return QStringLiteral("听不到声音");
    if (db < goodDb)
        return QStringLiteral("声音偏小");
    return QStringLiteral("音量合适");
}

AccessiblePart InputLevelMeter::accessiblePart(int) const {
    AccessiblePart part;
    part.role = QAccessible::Indicator;
    part.name = QStringLiteral("话筒音量");
    part.description = statusText();
    return part;
}

QRectF InputLevelMeter::barRect() const {
    const double barHeight = 8;
    return QRectF(lanestyle::captionWidth, (height() - barHeight) / 2.0,
                  std::max(1, width() - lanestyle::captionWidth - statusWidth), barHeight);
}

void InputLevelMeter::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    // The caption stands where the lanes' captions stand.
    painter.setPen(lanestyle::caption);
    painter.drawText(QRect(0, 0, lanestyle::captionWidth - 8, height()),
                     Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("话筒音量"));

    const QRectF bar = barRect();
    if (!m_live && !m_resting.isEmpty()) {
        // At rest the words take the bar's place: an empty bar would read as silence.
        const QRect words(int(bar.left()), 0, width() - int(bar.left()), height());
        painter.setPen(quiet);
        painter.drawText(words, Qt::AlignLeft | Qt::AlignVCenter,
                         fontMetrics().elidedText(m_resting, Qt::ElideRight, words.width()));
        return;
    }
    const double radius = bar.height() / 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(track);
    painter.drawRoundedRect(bar, radius, radius);

    // The steps of the scale where a voice belongs, so that "enough" can be seen.
    painter.setBrush(lanestyle::border.darker(104));
    for (double db : {quietDb, goodDb, -6.0}) {
        const double x = bar.left() + bar.width() * (db - floorDb) / -floorDb;
        painter.drawRect(QRectF(x - 0.5, bar.top() - 3, 1, bar.height() + 6));
    }

    const bool clipped = clipping();
    if (m_live) {
        const double filled = bar.width() * barFraction(m_level);
        if (filled > 0.5) {
            painter.setBrush(clipped ? warm : lanestyle::voice);
            painter.drawRoundedRect(
                QRectF(bar.left(), bar.top(), std::max(filled, bar.height()), bar.height()), radius,
                radius);
        }
        if (m_hold > 0) {
            const double x = bar.left() + bar.width() * m_hold;
            painter.setBrush(clipped ? warm : lanestyle::voice.darker(125));
            painter.drawRoundedRect(
                QRectF(std::min(x, bar.right()) - 1.5, bar.top() - 2, 3, bar.height() + 4), 1.5,
                1.5);
        }
    }

    const QRect status(int(bar.right()) + 10, 0, statusWidth - 10, height());
    painter.setPen(!m_live ? quiet : clipped ? warm : lanestyle::caption);
    painter.drawText(status, Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(statusText(), Qt::ElideRight, status.width()));
}
