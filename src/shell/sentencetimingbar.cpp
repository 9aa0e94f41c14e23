#include "sentencetimingbar.h"

#include "text/fonts.h"
#include "widgets/twips.h"

#include <QLabel>
#include <QPushButton>

namespace {

constexpr int captionWidth = 780;
constexpr int timesWidth = 2130;
constexpr int buttonWidth = 810;
constexpr int buttonGap = 60;
constexpr int groupGap = 180;

const QString hint = QStringLiteral("听着不准？每按一次移动 50 毫秒，改后自动重播。");

QString labelSheet(QLatin1StringView colour) {
    return QStringLiteral("color: %1; background: transparent; border: none;").arg(colour);
}

} // namespace

SentenceTimingBar::SentenceTimingBar(QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("SentenceTiming"));
    QFont font = labelFont();
    font.setPixelSize(12);
    const auto makeLabel = [&font](QWidget *owner, const QString &text, const char *colour) {
        auto *l = new QLabel(text, owner);
        l->setFont(font);
        l->setStyleSheet(labelSheet(QLatin1StringView(colour)));
        return l;
    };
    m_caption = makeLabel(this, QStringLiteral("本句时间"), "#7B8794");
    Twips::place(m_caption, 0, 0, captionWidth, heightTwips);
    m_times = makeLabel(this, QString(), "#34404C");
    m_times->setObjectName(QStringLiteral("SentenceTimes"));
    QFont digits = font;
    digits.setPixelSize(13);
    m_times->setFont(digits);
    Twips::place(m_times, captionWidth, 0, timesWidth, heightTwips);
    m_caption->setBuddy(m_times);

    // U+2212, the minus sign: a hyphen reads as a dash to a screen reader.
    const QString captions[] = {QStringLiteral("开始 \u2212"), QStringLiteral("开始 +"),
                                QStringLiteral("结束 \u2212"), QStringLiteral("结束 +"),
                                QStringLiteral("还原")};
    int left = captionWidth + timesWidth;
    for (int k = 0; k < 5; ++k) {
        auto *b = new QPushButton(captions[k], this);
        b->setObjectName(QStringLiteral("SentenceTiming%1").arg(k));
        b->setAccessibleName(captions[k]);
        b->setFont(font);
        b->setCursor(Qt::PointingHandCursor);
        // The typing box keeps the focus while the learner listens and adjusts.
        b->setFocusPolicy(Qt::NoFocus);
        b->setStyleSheet(QStringLiteral("QPushButton { padding: 0 4px; border-radius: 5px; }"));
        Twips::place(b, left, 0, buttonWidth, heightTwips);
        left += buttonWidth + (k == 1 || k == 3 ? groupGap : buttonGap);
        m_buttons[size_t(k)] = b;
    }
    m_buttons[4]->setToolTip(QStringLiteral("回到打开本课时的时间"));
    const std::pair<SentenceRetimer::Edge, int> steps[] = {
        {SentenceRetimer::Edge::Start, -SentenceRetimer::stepMs},
        {SentenceRetimer::Edge::Start, SentenceRetimer::stepMs},
        {SentenceRetimer::Edge::End, -SentenceRetimer::stepMs},
        {SentenceRetimer::Edge::End, SentenceRetimer::stepMs}};
    for (int k = 0; k < 4; ++k) {
        connect(m_buttons[size_t(k)], &QPushButton::clicked, this,
                [this, step = steps[k]] { Q_EMIT stepClicked(step.first, step.second); });
    }
    connect(m_buttons[4], &QPushButton::clicked, this, [this] { Q_EMIT restoreClicked(); });
    resize(Twips::toPixels(left - buttonGap), Twips::toPixels(heightTwips));

    // The note stands beside the row's neighbours in the parent, where there is room for a
    // sentence; the parent places it.
    m_note = makeLabel(parent, hint, "#8A96A3");
    m_note->setObjectName(QStringLiteral("SentenceTimingNote"));
    m_note->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

void SentenceTimingBar::showTimes(const std::optional<SentenceTimes> &times, bool canRestore,
                                  const QString &problem) {
    const QString text = times ? SentenceRetimer::timesText(*times) : QStringLiteral("—");
    if (m_times->text() != text)
        m_times->setText(text);
    for (int k = 0; k < 4; ++k)
        m_buttons[size_t(k)]->setEnabled(times.has_value());
    m_buttons[4]->setEnabled(times && canRestore);
    const QString note = problem.isEmpty() ? hint : problem;
    if (m_note->text() != note) {
        m_note->setText(note);
        m_note->setStyleSheet(labelSheet(problem.isEmpty() ? QLatin1StringView("#8A96A3")
                                                           : QLatin1StringView("#B5562B")));
    }
}
