#include "resultspanel.h"

#include "content/resultstext.h"
#include "text/fonts.h"
#include "widgets/chromebutton.h"
#include "widgets/palette.h"

#include <QButtonGroup>
#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QVBoxLayout>
#include <algorithm>

namespace {

constexpr int lessonIndexRole = Qt::UserRole;
constexpr int sentenceRole = Qt::UserRole + 1;
constexpr int wordRole = Qt::UserRole + 2;
constexpr int countRole = Qt::UserRole + 3;

// A review entry in three columns: the word, where it stands (quiet), and how often it was
// missed as a small pill at the right. The item's text says the same for screen readers.
class ReviewDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(std::max(size.height(), 32));
        return size;
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override {
        QStyleOptionViewItem background = option;
        initStyleOption(&background, index);
        background.text.clear();
        option.widget->style()->drawControl(QStyle::CE_ItemViewItem, &background, painter,
                                            option.widget);

        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const QRect box = option.rect.adjusted(12, 0, -10, 0);
        QFont wordFont = option.font;
        wordFont.setBold(true);
        painter->setFont(wordFont);
        painter->setPen(QColor(0x1E, 0x2A, 0x36));
        painter->drawText(box, Qt::AlignLeft | Qt::AlignVCenter, index.data(wordRole).toString());

        const QString count = QStringLiteral("%1次").arg(index.data(countRole).toInt());
        QFont small = option.font;
        small.setPixelSize(12);
        painter->setFont(small);
        const int pillWidth = painter->fontMetrics().horizontalAdvance(count) + 16;
        const QRect pill(box.right() - pillWidth, box.center().y() - 10, pillWidth, 20);
        painter->setPen(Qt::NoPen);
        painter->setBrush(Palette::accentSoft());
        painter->drawRoundedRect(pill, 10, 10);
        painter->setPen(Palette::accentPressed());
        painter->drawText(pill, Qt::AlignCenter, count);

        const QString where = QStringLiteral("第%1课 第%2句")
                                  .arg(index.data(lessonIndexRole).toInt() + 1)
                                  .arg(index.data(sentenceRole).toInt());
        painter->setPen(Palette::quietText());
        painter->drawText(box.adjusted(0, 0, -pillWidth - 12, 0), Qt::AlignRight | Qt::AlignVCenter,
                          where);
        painter->restore();
    }
};

const QString legendMarks = QStringLiteral("带☆号的为未过关课程，带★号的为已过关课程。");
const QString legendReview = QStringLiteral("听写中出错最多的词排在前面，点一下可重听所在句子。");
const QString legendReviewInTest = QStringLiteral(
    "听写中出错最多的词排在前面。测试中点当前句的词算一次复读（扣5分），其他句子测试后再听。");

const char *const panelStyle = R"(
ResultsPanel { background: white; border: 1px solid #C9D3DE; border-radius: 12px; }
QLabel#ResultsCaption { color: #1E2A36; }
QLabel#ResultsLegend { color: #7B8794; }
QPushButton[tab="true"] {
    background: transparent; border: none; border-bottom: 2px solid transparent;
    border-radius: 0; color: #5B6773; padding: 0 4px;
}
QPushButton[tab="true"]:hover { color: #2F7BEA; }
QPushButton[tab="true"]:checked { color: #1F62C4; border-bottom: 2px solid #2F7BEA; }
QListWidget {
    background: rgb(249,252,255); border: 1px solid #D5DDE6; border-radius: 8px;
    padding: 4px; outline: 0;
}
QListWidget::item { padding: 5px 8px; border-radius: 5px; }
QListWidget::item:hover { background: #EEF3F9; }
QListWidget::item:selected { background: #E8F1FD; color: #1F62C4; }
)";

QPushButton *tabButton(const QString &text, QWidget *parent) {
    auto *button = new QPushButton(text, parent);
    button->setProperty("tab", true);
    button->setCheckable(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setFixedHeight(26);
    return button;
}

} // namespace

ResultsPanel::ResultsPanel(QWidget *parent) : QFrame(parent) {
    setObjectName(QStringLiteral("Picture8"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QString::fromLatin1(panelStyle));
    // Lifted off the study area it covers, softly.
    auto *shadow = new QGraphicsDropShadowEffect(this);
    shadow->setBlurRadius(28);
    shadow->setOffset(0, 6);
    shadow->setColor(QColor(30, 42, 54, 50));
    setGraphicsEffect(shadow);

    auto *caption = new QLabel(QStringLiteral("本册听写成绩"), this);
    caption->setObjectName(QStringLiteral("ResultsCaption"));
    QFont captionFont = labelFont();
    captionFont.setPixelSize(16);
    captionFont.setBold(true);
    caption->setFont(captionFont);

    m_Command17 = new ChromeButton(ChromeButton::Kind::Close, this);
    m_Command17->setObjectName(QStringLiteral("Command17_3"));
    m_Command17->setFixedSize(26, 22);

    auto *head = new QHBoxLayout;
    head->addWidget(caption);
    head->addStretch();
    head->addWidget(m_Command17, 0, Qt::AlignTop);

    m_marksTab = tabButton(QStringLiteral("过关情况"), this);
    m_reviewTab = tabButton(QStringLiteral("易错词"), this);
    auto *tabs = new QButtonGroup(this);
    tabs->addButton(m_marksTab);
    tabs->addButton(m_reviewTab);
    m_marksTab->setChecked(true);
    auto *tabRow = new QHBoxLayout;
    tabRow->setSpacing(14);
    tabRow->addWidget(m_marksTab);
    tabRow->addWidget(m_reviewTab);
    tabRow->addStretch();

    m_legend = new QLabel(legendMarks, this);
    m_legend->setObjectName(QStringLiteral("ResultsLegend"));
    m_legend->setWordWrap(true);
    QFont small = labelFont();
    small.setPixelSize(12);
    m_legend->setFont(small);

    QFont listFont = labelFont();
    listFont.setPixelSize(14);
    m_List2 = new QListWidget(this);
    m_List2->setObjectName(QStringLiteral("List2"));
    m_List2->setAccessibleName(QStringLiteral("本册听写成绩"));
    m_List2->setFont(listFont);
    m_review = new QListWidget(this);
    m_review->setObjectName(QStringLiteral("ReviewList"));
    m_review->setAccessibleName(QStringLiteral("易错词"));
    m_review->setFont(listFont);
    m_review->setItemDelegate(new ReviewDelegate(m_review));
    m_review->setCursor(Qt::PointingHandCursor);
    m_reviewEmpty = new QLabel(QStringLiteral("还没有易错词。听写中写错的词会记在这里。"), this);
    m_reviewEmpty->setAlignment(Qt::AlignCenter);
    m_reviewEmpty->setWordWrap(true);
    m_reviewEmpty->setFont(small);
    m_reviewEmpty->setStyleSheet(QStringLiteral("color: #7B8794;"));

    auto *reviewPage = new QWidget(this);
    auto *reviewLayout = new QVBoxLayout(reviewPage);
    reviewLayout->setContentsMargins(0, 0, 0, 0);
    reviewLayout->addWidget(m_review);
    reviewLayout->addWidget(m_reviewEmpty);
    m_pages = new QStackedWidget(this);
    m_pages->addWidget(m_List2);
    m_pages->addWidget(reviewPage);

    m_Command26 = new QPushButton(QStringLiteral("清除"), this);
    m_Command26->setObjectName(QStringLiteral("Command26"));
    m_Command27 = new QPushButton(QStringLiteral("关闭"), this);
    m_Command27->setObjectName(QStringLiteral("Command27"));
    m_Command27->setProperty("accent", true);
    for (QPushButton *button : {m_Command26, m_Command27}) {
        button->setFixedSize(84, 30);
        button->setCursor(Qt::PointingHandCursor);
    }
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_Command26);
    buttons->addSpacing(8);
    buttons->addWidget(m_Command27);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 14, 14, 16);
    layout->setSpacing(8);
    layout->addLayout(head);
    layout->addLayout(tabRow);
    layout->addWidget(m_legend);
    layout->addWidget(m_pages, 1);
    layout->addSpacing(4);
    layout->addLayout(buttons);

    connect(m_marksTab, &QPushButton::clicked, this, [this] { showPage(Page::Marks); });
    connect(m_reviewTab, &QPushButton::clicked, this, [this] { showPage(Page::Review); });
    connect(m_Command26, &QPushButton::clicked, this, [this] {
        if (page() == Page::Marks)
            Q_EMIT clearMarksRequested();
        else
            Q_EMIT clearReviewRequested();
    });
    connect(m_Command27, &QPushButton::clicked, this, &ResultsPanel::closeRequested);
    connect(m_Command17, &QAbstractButton::clicked, this, &ResultsPanel::closeRequested);
    connect(m_review, &QListWidget::itemClicked, this, [this](QListWidgetItem *item) {
        Q_EMIT reviewSentenceRequested(item->data(lessonIndexRole).toInt(),
                                       item->data(sentenceRole).toInt());
    });
    showPage(Page::Marks);
}

void ResultsPanel::setEntries(const QStringList &entries) {
    m_List2->clear();
    for (const QString &entry : entries) {
        auto *item = new QListWidgetItem(entry, m_List2);
        // The mark carries the meaning; the colour only lets a passed lesson stand out.
        if (entry.startsWith(QChar(ResultsMark::passed)))
            item->setForeground(Palette::accentPressed());
    }
}

void ResultsPanel::setReviewEntries(const QList<ReviewEntry> &entries) {
    m_review->clear();
    for (const ReviewEntry &entry : entries) {
        const QString text = QStringLiteral("%1    %2次    第%3课 第%4句")
                                 .arg(entry.word)
                                 .arg(entry.count)
                                 .arg(entry.lessonIndex + 1)
                                 .arg(entry.sentence);
        auto *item = new QListWidgetItem(text, m_review);
        item->setToolTip(entry.english);
        item->setData(lessonIndexRole, entry.lessonIndex);
        item->setData(sentenceRole, entry.sentence);
        item->setData(wordRole, entry.word);
        item->setData(countRole, entry.count);
    }
    m_review->setVisible(!entries.isEmpty());
    m_reviewEmpty->setVisible(entries.isEmpty());
}

void ResultsPanel::showPage(Page page) {
    const bool marks = page == Page::Marks;
    m_pages->setCurrentIndex(marks ? 0 : 1);
    m_marksTab->setChecked(marks);
    m_reviewTab->setChecked(!marks);
    m_legend->setText(marks ? legendMarks : m_testRunning ? legendReviewInTest : legendReview);
}

void ResultsPanel::setTestRunning(bool running) {
    m_testRunning = running;
    showPage(page());
}

ResultsPanel::Page ResultsPanel::page() const {
    return m_pages->currentIndex() == 0 ? Page::Marks : Page::Review;
}
