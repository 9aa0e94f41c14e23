#pragma once

#include "content/reviewfile.h"

#include <QFrame>
#include <QList>
#include <QStringList>

class QAbstractButton;
class QLabel;
class QListWidget;
class QPushButton;
class QStackedWidget;

// The results panel Picture8 ("本册听写成绩"): the book's lessons with their pass marks in
// List2, and on a second page the learner's review list ("易错词"). It shows what it is
// given and reports presses; the stores and the window decide what they mean.
class ResultsPanel : public QFrame {
    Q_OBJECT
public:
    explicit ResultsPanel(QWidget *parent = nullptr);

    enum class Page { Marks, Review };

    // Fills List2 with the results entries, one line each, in the order given.
    void setEntries(const QStringList &entries);
    void setReviewEntries(const QList<ReviewEntry> &entries);
    void showPage(Page page);
    // A dictation test is running: the review page says that only the sentence under test
    // can be heard now (as 复读), the others after the test.
    void setTestRunning(bool running);
    Page page() const;

    QListWidget *List2() const { return m_List2; }
    QListWidget *reviewList() const { return m_review; }
    QPushButton *Command26() const { return m_Command26; }
    QPushButton *Command27() const { return m_Command27; }
    QAbstractButton *Command17() const { return m_Command17; } // index 3, the corner close
    QPushButton *reviewTab() const { return m_reviewTab; }

Q_SIGNALS:
    void clearMarksRequested();  // 清除 on the marks page
    void clearReviewRequested(); // 清除 on the review page
    void closeRequested();       // 关闭 or the corner button
    // An entry of the review list clicked: lesson lessonIndex (0-based), sentence (1-based).
    void reviewSentenceRequested(int lessonIndex, int sentence);

private:
    QLabel *m_legend = nullptr;
    bool m_testRunning = false;
    QStackedWidget *m_pages = nullptr;
    QListWidget *m_List2 = nullptr;
    QListWidget *m_review = nullptr;
    QLabel *m_reviewEmpty = nullptr;
    QPushButton *m_marksTab = nullptr;
    QPushButton *m_reviewTab = nullptr;
    QPushButton *m_Command26 = nullptr;
    QPushButton *m_Command27 = nullptr;
    QAbstractButton *m_Command17 = nullptr;
};
