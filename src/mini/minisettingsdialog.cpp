#include "minisettingsdialog.h"

#include "colourpalette.h"
#include "colourswatch.h"
#include "content/caretlist.h"
#include "content/settingsfile.h"
#include "minisettingshost.h"
#include "widgets/chromebutton.h"
#include "widgets/windowstyle.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QStandardItem>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Fills a list and shows text in it. A value the list does not offer is shown as an entry of
// its own, so that the list never claims a value the window does not have.
void fillShowing(QComboBox *list, const QStringList &entries, const QString &text) {
    list->clear();
    list->addItems(entries);
    int index = list->findText(text, Qt::MatchExactly);
    if (index < 0 && !text.isEmpty()) {
        list->addItem(text);
        index = list->count() - 1;
    }
    list->setCurrentIndex(index);
}

// The dialog's own look on top of the program's controls: quiet grouped cards on white.
const char *const dialogStyle = R"(
QGroupBox {
    background: #F7F9FC; border: 1px solid #E1E7EE; border-radius: 8px; margin-top: 22px;
}
QGroupBox::title {
    subcontrol-origin: margin; subcontrol-position: top left; left: 4px; padding: 0 2px;
    color: #1E2A36; font-weight: 600;
}
QLabel { color: #2B3642; }
QLabel#Caption { color: #1E2A36; font-size: 15px; font-weight: 600; }
QComboBox { min-height: 24px; }
QPushButton { min-width: 76px; min-height: 28px; }
)";

QLabel *label(const QString &text, QWidget *parent) {
    return new QLabel(text, parent);
}

QComboBox *list(const QString &name, QWidget *parent) {
    auto *combo = new QComboBox(parent);
    combo->setAccessibleName(name);
    combo->setMaxVisibleItems(12);
    return combo;
}

// Greys out the books without lessons here: the list still names them, but they cannot be
// chosen by click, wheel or arrow keys, and a screen reader hears why.
void markUninstalled(QComboBox *list, const MiniSettingsHost &host) {
    for (int i = 0; i < list->count(); ++i) {
        if (host.isBookInstalled(list->itemText(i)))
            continue;
        if (QStandardItem *item = markNotInstalled(list, i))
            item->setFlags(item->flags() & ~(Qt::ItemIsEnabled | Qt::ItemIsSelectable));
    }
}

} // namespace

MiniSettingsDialog::MiniSettingsDialog(MiniSettingsHost &host, QWidget *parent)
    : QWidget(parent), m_host(host) {
    // mini stays on top of other windows; its settings must not open beneath it.
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setWindowTitle(QStringLiteral("设置"));
    setObjectName(QStringLiteral("MiniSettingsDialog"));
    styleDialog(this, dialogStyle);
    build();
}

void MiniSettingsDialog::build() {
    auto *caption = new QLabel(QStringLiteral("设置"), this);
    caption->setObjectName(QStringLiteral("Caption"));
    m_close = new ChromeButton(ChromeButton::Kind::Close, this);
    m_close->setFixedSize(26, 26);
    auto *header = new QHBoxLayout;
    header->addWidget(caption);
    header->addStretch();
    header->addWidget(m_close);

    m_playGroup = new QGroupBox(QStringLiteral("播放设置"), this);
    m_repeat = list(QStringLiteral("每句朗读"), m_playGroup);
    m_pause = list(QStringLiteral("间隔"), m_playGroup);
    m_repeat->setFixedWidth(64);
    m_pause->setFixedWidth(64);
    auto *play = new QHBoxLayout(m_playGroup);
    play->setContentsMargins(14, 14, 14, 12);
    play->setSpacing(6);
    play->addWidget(label(QStringLiteral("每句朗读"), m_playGroup));
    play->addWidget(m_repeat);
    play->addWidget(label(QStringLiteral("次"), m_playGroup));
    play->addSpacing(24);
    play->addWidget(label(QStringLiteral("间隔"), m_playGroup));
    play->addWidget(m_pause);
    play->addWidget(label(QStringLiteral("秒"), m_playGroup));
    play->addStretch();

    m_courseGroup = new QGroupBox(QStringLiteral("课程设置"), this);
    m_book = list(QStringLiteral("书本"), m_courseGroup);
    // A plain item delegate draws each book in its own colour, so a book without lessons
    // looks greyed (the menu-like one takes the style sheet's colour for every entry).
    m_book->setItemDelegate(new QStyledItemDelegate(m_book));
    m_startLesson = list(QStringLiteral("起始课文"), m_courseGroup);
    m_endLesson = list(QStringLiteral("结束课文"), m_courseGroup);
    auto *course = new QGridLayout(m_courseGroup);
    course->setContentsMargins(14, 14, 14, 12);
    course->setHorizontalSpacing(10);
    course->setVerticalSpacing(8);
    const std::pair<const char *, QComboBox *> rows[] = {
        {"书本", m_book}, {"起始课文", m_startLesson}, {"结束课文", m_endLesson}};
    int row = 0;
    for (const auto &[text, combo] : rows) {
        // Long lesson names must not widen the dialog; the open list shows them whole.
        combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        combo->setMinimumContentsLength(16);
        course->addWidget(label(QString::fromUtf8(text), m_courseGroup), row, 0);
        course->addWidget(combo, row, 1);
        ++row;
    }
    course->setColumnStretch(1, 1);

    m_appearanceGroup = new QGroupBox(QStringLiteral("界面设置"), this);
    m_textSwatch = new ColourSwatch(QStringLiteral("字体颜色"), m_appearanceGroup);
    m_backgroundSwatch = new ColourSwatch(QStringLiteral("背景颜色"), m_appearanceGroup);
    auto *appearance = new QHBoxLayout(m_appearanceGroup);
    appearance->setContentsMargins(14, 14, 14, 12);
    appearance->setSpacing(8);
    appearance->addWidget(label(QStringLiteral("字体颜色"), m_appearanceGroup));
    appearance->addWidget(m_textSwatch);
    appearance->addSpacing(40);
    appearance->addWidget(label(QStringLiteral("背景颜色"), m_appearanceGroup));
    appearance->addWidget(m_backgroundSwatch);
    appearance->addStretch();

    m_ok = new QPushButton(QStringLiteral("确定"), this);
    m_ok->setProperty("accent", true);
    m_cancel = new QPushButton(QStringLiteral("取消"), this);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cancel);
    buttons->addSpacing(4);
    buttons->addWidget(m_ok);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 10, 10, 16);
    layout->setSpacing(4);
    layout->addLayout(header);
    for (QGroupBox *group : {m_playGroup, m_courseGroup, m_appearanceGroup}) {
        auto *indented = new QHBoxLayout;
        indented->setContentsMargins(0, 0, 8, 0);
        indented->addWidget(group);
        layout->addLayout(indented);
        group->installEventFilter(this);
    }
    layout->addSpacing(12);
    auto *indentedButtons = new QHBoxLayout;
    indentedButtons->setContentsMargins(0, 0, 8, 0);
    indentedButtons->addLayout(buttons);
    layout->addLayout(indentedButtons);
    setFixedWidth(380);
    setFixedHeight(sizeHint().height());

    // Made last, so that it opens above everything else.
    m_palette = new ColourPalette(this);
    m_palette->hide();

    connect(m_repeat, &QComboBox::activated, this,
            [this] { m_host.setnum(m_repeat->currentText()); });
    connect(m_pause, &QComboBox::activated, this,
            [this] { m_host.settime(m_pause->currentText()); });
    connect(m_book, &QComboBox::activated, this, &MiniSettingsDialog::bookChosen);
    connect(m_startLesson, &QComboBox::activated, this, &MiniSettingsDialog::startLessonChosen);
    connect(m_endLesson, &QComboBox::activated, this, &MiniSettingsDialog::endLessonChosen);
    connect(m_backgroundSwatch, &ColourSwatch::clicked, this,
            [this] { openPalette(PaletteTarget::Background, m_backgroundSwatch); });
    connect(m_textSwatch, &ColourSwatch::clicked, this,
            [this] { openPalette(PaletteTarget::Text, m_textSwatch); });
    connect(m_palette, &ColourPalette::picked, this, &MiniSettingsDialog::colourPicked);
    connect(m_ok, &QPushButton::clicked, this, &MiniSettingsDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QWidget::close);
    connect(m_close, &QAbstractButton::clicked, this, &QWidget::close);
}

void MiniSettingsDialog::open() {
    reload();
    show();
    raise();
    activateWindow();
}

void MiniSettingsDialog::reload() {
    hidePalette();
    m_target = PaletteTarget::None;
    m_dragging = false;
    m_backgroundSwatch->setColour(m_host.background());
    m_textSwatch->setColour(m_host.textColour());
    fillShowing(m_book, m_host.bookChoices(), m_host.bookText());
    markUninstalled(m_book, m_host);
    fillShowing(m_repeat, repeatCountChoices(), m_host.repeatText());
    fillShowing(m_pause, pauseChoices(), m_host.pauseText());
    fillLessons();
    const int count = m_startLesson->count();
    const int start = count > 0 ? std::clamp(m_host.HN(), 0, count - 1) : -1;
    m_startLesson->setCurrentIndex(start);
    // An end lesson the book does not have leaves the range at the start lesson alone.
    const int end = m_endLesson->findText(m_host.endLessonText(), Qt::MatchExactly);
    m_endLesson->setCurrentIndex(end >= 0 ? end : start);
}

void MiniSettingsDialog::fillLessons() {
    // Empty names are kept: positions in these lists are positions in the window's list.
    const QStringList names = splitCaretList(m_host.lessonListBuffer());
    for (QComboBox *lessons : {m_startLesson, m_endLesson}) {
        lessons->clear();
        lessons->addItems(names);
        lessons->setCurrentIndex(names.isEmpty() ? -1 : 0);
    }
}

void MiniSettingsDialog::bookChosen() {
    m_host.fwa(m_book->currentText());
    fillLessons();
    // The switch has acted: the range is the whole new book.
    m_endLesson->setCurrentIndex(m_endLesson->count() - 1);
}

void MiniSettingsDialog::startLessonChosen(int index) {
    m_endLesson->setCurrentIndex(index);
}

void MiniSettingsDialog::endLessonChosen(int index) {
    // The range never runs backwards.
    if (index < m_startLesson->currentIndex())
        m_endLesson->setCurrentIndex(m_startLesson->currentIndex());
}

void MiniSettingsDialog::openPalette(PaletteTarget target, ColourSwatch *swatch) {
    m_target = target;
    // Under the swatch when the dialog has room for it there, above it otherwise.
    const int left = m_appearanceGroup->x() + swatch->x();
    const int swatchTop = m_appearanceGroup->y() + swatch->y();
    int top = swatchTop + swatch->height() + 4;
    if (top + m_palette->height() > height() - 4)
        top = swatchTop - m_palette->height() - 4;
    m_palette->move(left, top);
    m_palette->hideHighlight();
    m_palette->show();
    m_palette->raise();
}

void MiniSettingsDialog::colourPicked(int index) {
    const QColor colour = ColourPalette::swatch(index).colour;
    if (m_target == PaletteTarget::Background)
        m_backgroundSwatch->setColour(colour);
    else if (m_target == PaletteTarget::Text)
        m_textSwatch->setColour(colour);
    hidePalette();
}

void MiniSettingsDialog::hidePalette() {
    m_palette->hide();
    m_palette->hideHighlight();
}

void MiniSettingsDialog::accept() {
    // An open palette changes nothing: the swatches hold what was picked so far.
    m_host.applyOk(m_book->currentText(), std::max(0, m_startLesson->currentIndex()),
                   m_endLesson->currentText(), m_backgroundSwatch->colour(),
                   m_textSwatch->colour());
    close();
}

void MiniSettingsDialog::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    // A frameless window needs an edge of its own to stand off the desktop.
    painter.setPen(QColor(0xB8, 0xC4, 0xD1));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void MiniSettingsDialog::mousePressEvent(QMouseEvent *event) {
    hidePalette();
    if (event->button() == Qt::LeftButton) {
        m_dragging = true;
        m_dragOrigin = event->globalPosition().toPoint();
    }
    event->accept();
}

void MiniSettingsDialog::mouseMoveEvent(QMouseEvent *event) {
    if (!(event->buttons() & Qt::LeftButton) || !m_dragging) {
        m_dragging = false;
        return;
    }
    const QPoint now = event->globalPosition().toPoint();
    move(pos() + now - m_dragOrigin);
    m_dragOrigin = now;
    event->accept();
}

void MiniSettingsDialog::mouseReleaseEvent(QMouseEvent *event) {
    if (event->button() == Qt::LeftButton)
        m_dragging = false;
    event->accept();
}

void MiniSettingsDialog::keyPressEvent(QKeyEvent *event) {
    switch (event->key()) {
    case Qt::Key_Escape:
        close();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Enter presses the button that has the focus (取消 must not apply anything); 确定
        // only when no button has it.
        if (auto *button = qobject_cast<QAbstractButton *>(focusWidget());
            button && isAncestorOf(button))
            button->click();
        else
            accept();
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

bool MiniSettingsDialog::eventFilter(QObject *watched, QEvent *event) {
    // A press on a group (not on one of its controls) closes the palette and goes no further:
    // dragging starts only from the dialog's own background.
    if (event->type() == QEvent::MouseButtonPress &&
        (watched == m_playGroup || watched == m_courseGroup || watched == m_appearanceGroup)) {
        hidePalette();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
