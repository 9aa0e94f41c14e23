#pragma once

#include "study/sentenceretimer.h"

#include <QWidget>
#include <array>
#include <optional>

class QLabel;
class QPushButton;

// The timing control of 句子学习 under the single-sentence view: the shown sentence's times
// ("00:12.350 – 00:15.100"), "开始 −" "开始 +" "结束 −" "结束 +" moving Start or End by a
// step, and "还原" back to the times as the lesson was opened. Its note (a hint, or one calm
// line when a step failed) is a label of the parent, which places it and shows it with the
// row. It shows what it is given and reports clicks; the retimer does the work.
class SentenceTimingBar : public QWidget {
    Q_OBJECT
public:
    explicit SentenceTimingBar(QWidget *parent = nullptr);

    // times: the shown sentence's; the buttons are disabled without them.
    void showTimes(const std::optional<SentenceTimes> &times, bool canRestore,
                   const QString &problem);

    // 0 "开始 −", 1 "开始 +", 2 "结束 −", 3 "结束 +", 4 "还原".
    QPushButton *button(int k) const { return k >= 0 && k < 5 ? m_buttons[size_t(k)] : nullptr; }
    QLabel *timesLabel() const { return m_times; }
    QLabel *noteLabel() const { return m_note; }

    static constexpr int heightTwips = 360;

Q_SIGNALS:
    void stepClicked(SentenceRetimer::Edge edge, int milliseconds);
    void restoreClicked();

private:
    std::array<QPushButton *, 5> m_buttons{};
    QLabel *m_caption = nullptr;
    QLabel *m_times = nullptr;
    QLabel *m_note = nullptr;
};
