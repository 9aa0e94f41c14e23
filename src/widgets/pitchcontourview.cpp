#include "pitchcontourview.h"

#include "lanestyle.h"
#include "speech/pitchtrack.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace {

const QColor slotLine(0xE6, 0xEB, 0xF1);
const QColor noteColour(0xA8, 0x6B, 0x1E); // a calm amber for the marks

constexpr float semitoneRange = 7; // half the height of a row, in semitones

// The speaker's pitch over [fromMs, toMs), as values between -1 and 1 (NaN unvoiced).
std::vector<float> stretch(const PitchContour &pitch, int fromMs, int toMs) {
    std::vector<float> values = contourBetween(pitch, fromMs, toMs);
    for (float &v : values)
        v = std::clamp(v / semitoneRange, -1.0f, 1.0f);
    return values;
}

void drawContour(QPainter &p, const std::vector<float> &values, const QRectF &slot,
                 const QColor &colour) {
    if (values.empty())
        return;
    QPainterPath path;
    bool drawing = false;
    const double step = values.size() > 1 ? slot.width() / double(values.size() - 1) : 0;
    for (size_t i = 0; i < values.size(); ++i) {
        if (std::isnan(values[i])) {
            drawing = false;
            continue;
        }
        const QPointF at(slot.left() + step * double(i),
                         slot.center().y() - values[i] * slot.height() / 2);
        if (drawing)
            path.lineTo(at);
        else
            path.moveTo(at);
        drawing = true;
    }
    p.setPen(QPen(colour, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
}

// The contour from its first voiced value to its last (empty when nothing is voiced), so that
// the lead-in and the tail of a recording take no room.
std::vector<float> voicedStretch(const PitchContour &pitch) {
    auto voiced = [](float v) { return !std::isnan(v); };
    const auto &values = pitch.semitones;
    const auto first = std::find_if(values.begin(), values.end(), voiced);
    if (first == values.end())
        return {};
    const auto last = std::find_if(values.rbegin(), values.rend(), voiced).base();
    std::vector<float> out(first, last);
    for (float &v : out)
        v = std::clamp(v / semitoneRange, -1.0f, 1.0f);
    return out;
}

QString paceText(Pace pace) {
    switch (pace) {
    case Pace::Slower:
        return QStringLiteral("慢");
    case Pace::Faster:
        return QStringLiteral("快");
    case Pace::Even:
        break;
    }
    return {};
}

} // namespace

QString paceDescription(const SentenceFeedback &feedback) {
    QStringList slower, faster;
    for (const WordFeedback &w : feedback.words) {
        if (w.pace == Pace::Slower)
            slower << w.text;
        else if (w.pace == Pace::Faster)
            faster << w.text;
    }
    QStringList parts;
    if (!slower.isEmpty())
        parts << QStringLiteral("读得比标准慢很多：") + slower.join(QStringLiteral(", "));
    if (!faster.isEmpty())
        parts << QStringLiteral("读得比标准快很多：") + faster.join(QStringLiteral(", "));
    return parts.isEmpty() ? QStringLiteral("每个词的快慢与标准相近。")
                           : parts.join(QStringLiteral("；")) + QStringLiteral("。");
}

PitchContourView::PitchContourView(QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("PitchContourView"));
}

void PitchContourView::setFeedback(const SentenceFeedback &feedback) {
    m_feedback = feedback;
    update();
    announceDescriptionChanged(this);
}

void PitchContourView::clear() {
    setFeedback({});
}

bool PitchContourView::hasWholeContours() const {
    return !m_feedback.judged && !voicedStretch(m_feedback.learnerPitch).empty();
}

AccessiblePart PitchContourView::accessiblePart(int) const {
    AccessiblePart part;
    part.role = QAccessible::Graphic;
    part.name = QStringLiteral("标准发音与您的发音的音高曲线");
    part.description =
        hasContours() ? QStringLiteral("上面是标准发音，下面是您的发音，按词对齐。") +
                            paceDescription(m_feedback)
        : hasWholeContours()
            ? QStringLiteral("上面是标准发音，下面是您的发音，整句对比，没有按词对齐。")
            : QStringLiteral("录音并停止后，这里显示音高曲线。");
    part.visible = isVisible();
    return part;
}

void PitchContourView::paintEvent(QPaintEvent *) {
    const bool byWord = hasContours();
    if (!byWord && !hasWholeContours())
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QFont small = font();
    small.setPixelSize(11);
    p.setFont(small);
    const int labelHeight = 16;
    const QRectF area(lanestyle::captionWidth, 0.5, width() - lanestyle::captionWidth - 1.5,
                      height() - labelHeight - 1.0);
    const double rowHeight = (area.height() - 4) / 2;
    const QRectF rows[2] = {
        QRectF(area.left(), area.top(), area.width(), rowHeight),
        QRectF(area.left(), area.top() + rowHeight + 4, area.width(), rowHeight)};
    const QString captions[2] = {QStringLiteral("标准音高"), QStringLiteral("您的音高")};
    for (int r = 0; r < 2; ++r) {
        p.setPen(lanestyle::border);
        p.setBrush(lanestyle::background);
        p.drawRoundedRect(rows[r], 4, 4);
        p.setPen(lanestyle::caption);
        p.drawText(QRectF(0, rows[r].top(), lanestyle::captionWidth - 8, rows[r].height()),
                   Qt::AlignRight | Qt::AlignVCenter, captions[r]);
    }

    if (!byWord) {
        for (int r = 0; r < 2; ++r)
            drawContour(p, voicedStretch(r == 0 ? m_feedback.modelPitch : m_feedback.learnerPitch),
                        rows[r].adjusted(6, 3, -6, -3),
                        r == 0 ? lanestyle::model : lanestyle::voice);
        return;
    }

    // Slots as wide as the model's words (at least a little, so a short word keeps a place).
    const std::vector<WordFeedback> &words = m_feedback.words;
    std::vector<double> widths;
    double total = 0;
    for (const WordFeedback &w : words) {
        widths.push_back(std::max(80, w.modelEndMs - w.modelStartMs));
        total += widths.back();
    }
    double x = area.left();
    for (size_t i = 0; i < words.size(); ++i) {
        const WordFeedback &w = words[i];
        const double slotWidth = area.width() * widths[i] / total;
        for (int r = 0; r < 2; ++r) {
            const QRectF slot(x + 3, rows[r].top() + 3, slotWidth - 6, rows[r].height() - 6);
            if (i > 0) {
                p.setPen(slotLine);
                p.drawLine(QPointF(x, rows[r].top() + 2), QPointF(x, rows[r].bottom() - 2));
            }
            if (r == 0)
                drawContour(p, stretch(m_feedback.modelPitch, w.modelStartMs, w.modelEndMs), slot,
                            lanestyle::model);
            else if (w.mark != WordMark::LeftOut)
                drawContour(p, stretch(m_feedback.learnerPitch, w.learnerStartMs, w.learnerEndMs),
                            slot, lanestyle::voice);
        }
        // The word under its slot, and what is to be said about it.
        const QRectF label(x, area.bottom() + 1, slotWidth, labelHeight);
        QString note = w.mark == WordMark::LeftOut   ? QStringLiteral("漏读")
                       : w.mark == WordMark::Unclear ? QStringLiteral("不清楚")
                                                     : paceText(w.pace);
        p.setPen(note.isEmpty() ? lanestyle::caption : noteColour);
        QString text = note.isEmpty() ? w.text : w.text + u' ' + note;
        // Where both do not fit the mark is what counts: the word stands in the line above.
        if (!note.isEmpty() && p.fontMetrics().horizontalAdvance(text) > slotWidth)
            text = note;
        p.drawText(label, Qt::AlignHCenter | Qt::AlignTop,
                   p.fontMetrics().elidedText(text, Qt::ElideRight, int(slotWidth)));
        x += slotWidth;
    }
}
