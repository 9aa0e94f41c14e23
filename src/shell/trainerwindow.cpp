#include "trainerwindow.h"

#include "audio/voiceplayer.h"
#include "content/caretlist.h"
#include "content/catalogue.h"
#include "content/contentpaths.h"
#include "content/richtext.h"
#include "content/settingsrecord.h"
#include "study/fonts.h"
#include "study/lessonpanel.h"
#include "study/palette.h"

#include <QComboBox>
#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <cmath>

namespace {

constexpr int twipsPerPixel = 15;

// Data files are small; anything larger is not one of ours.
QString readDataFile(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return plainTextFromFileBytes(file.read(4 * 1024 * 1024));
}

} // namespace

TrainerWindow::TrainerWindow(const QString &programDir, VoicePlayer &player, QWidget *parent)
    : QWidget(parent), m_programDir(programDir), m_player(player),
      m_state(TrainerState::forProgram(Program::Orvessa)), m_loader(m_state, player, m_measurer) {
    setWindowTitle(QStringLiteral("Orvessa"));
    setFixedSize(widthTwips / twipsPerPixel, heightTwips / twipsPerPixel);
    buildControls();

    LoaderHooks &hooks = m_loader.hooks();
    hooks.messageBox = [this](const QString &text) { messageBox(text); };
    hooks.focusCombo4 = [this] { m_panel->setFocus(); };
    connect(&m_loader, &LessonLoader::lessonLoaded, this, &TrainerWindow::showLessonState);
}

TrainerWindow::~TrainerWindow() {
    m_panel->bind(nullptr, nullptr);
}

void TrainerWindow::place(QWidget *w, int left, int top, int width, int height) {
    w->setGeometry(left / twipsPerPixel, top / twipsPerPixel, width / twipsPerPixel,
                   height / twipsPerPixel);
}

void TrainerWindow::buildControls() {
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0xF3, 0xF6, 0xFA));
    setPalette(pal);
    setAutoFillBackground(true);

    QFont captionFont = labelFont();
    captionFont.setPixelSize(13);

    m_bookCaption = new QLabel(QStringLiteral("书本"), this);
    m_bookCaption->setFont(captionFont);
    m_bookCaption->setStyleSheet(QStringLiteral("color: #5B6773;"));
    place(m_bookCaption, 225, 1110, 2310, 300);

    m_Combo1 = new QComboBox(this);
    m_Combo1->setObjectName(QStringLiteral("Combo1"));
    // The selector shows the remembered title even when it is not one of the listed books.
    m_Combo1->setEditable(true);
    m_Combo1->lineEdit()->setReadOnly(true);
    m_Combo1->setFont(captionFont);
    place(m_Combo1, 225, 1455, 2310, 420);

    m_lessonCaption = new QLabel(QStringLiteral("课程"), this);
    m_lessonCaption->setFont(captionFont);
    m_lessonCaption->setStyleSheet(QStringLiteral("color: #5B6773;"));
    place(m_lessonCaption, 225, 2010, 2310, 300);

    m_List1 = new QListWidget(this);
    m_List1->setObjectName(QStringLiteral("List1"));
    m_List1->setFont(captionFont);
    m_List1->setStyleSheet(
        QStringLiteral("QListWidget { background: rgb(249,252,255); border: 1px solid #C3CCD6; }"
                       "QListWidget::item { padding: 3px 4px; }"
                       "QListWidget::item:selected { background: #E8F1FD; color: #1F62C4; }"));
    m_List1->viewport()->installEventFilter(this);
    place(m_List1, 225, 2355, 2310, 4918);

    m_Label37 = new QLabel(this);
    m_Label37->setObjectName(QStringLiteral("Label37"));
    QFont titleFont = labelFont();
    titleFont.setPixelSize(15);
    titleFont.setBold(true);
    m_Label37->setFont(titleFont);
    m_Label37->setStyleSheet(QStringLiteral("color: #2B3642;"));
    place(m_Label37, 2685, 1050, 8775, 360);

    m_panel = new LessonPanel(Program::Orvessa, this);
    m_panel->setObjectName(QStringLiteral("Picture5"));
    m_panel->setMeasurer(&m_measurer);
    m_panel->move(2685 / twipsPerPixel, 1455 / twipsPerPixel);
    m_panel->bind(&m_state.panel, &m_state.rows);

    m_Label7_20 = new QLabel(this);
    m_Label7_20->setObjectName(QStringLiteral("Label7_20"));
    m_Label7_20->setFont(captionFont);
    m_Label7_20->setStyleSheet(QStringLiteral("color: #7B8794;"));
    place(m_Label7_20, 2685, 7410, 8775, 330);
}

void TrainerWindow::startup() {
    const QString record = readDataFile(settingsPath(m_programDir, false));
    const auto fields = cutSettingsFields(record, orvessaSettingsFields);

    QString title = initialBookTitle();
    if (fields[9] && isSafeBookTitle(*fields[9]))
        title = *fields[9];
    int lessonIndex = -1;
    if (fields[0])
        lessonIndex = static_cast<qint16>(std::lround(leadingNumber(*fields[0])));

    m_Combo1->addItems(bookTitles(Program::Orvessa));
    m_Combo1->setEditText(title);
    fillLessonList(title);
    if (lessonIndex >= 0 && lessonIndex < m_List1->count())
        m_List1->setCurrentRow(lessonIndex);

    show();
    loadlesson();
}

void TrainerWindow::fillLessonList(const QString &bookTitle) {
    m_List1->clear();
    if (!isSafeBookTitle(bookTitle))
        return;
    m_List1->addItems(splitCaretList(readDataFile(bookListPath(m_programDir, bookTitle))));
}

void TrainerWindow::loadlesson() {
    LessonSelection selection;
    selection.programDir = m_programDir;
    selection.bookTitle = m_Combo1->currentText();
    selection.listIndex = m_List1->currentRow();
    if (QListWidgetItem *item = m_List1->currentItem())
        selection.lessonName = item->text();
    m_loader.loadlesson(selection);
}

void TrainerWindow::showLessonState() {
    m_Label37->setText(m_state.Label37.text);
    m_Label7_20->setText(m_state.Label7_20.text);
    m_panel->refresh();
}

bool TrainerWindow::eventFilter(QObject *watched, QEvent *event) {
    // The lesson loads on the release over the list, also when it is the lesson already
    // loaded, not on the selection change itself.
    if (watched == m_List1->viewport() && event->type() == QEvent::MouseButtonRelease) {
        if (m_List1->currentItem()) {
            loadlesson();
            m_List1->setToolTip(QStringLiteral("当前课程：") + m_List1->currentItem()->text());
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TrainerWindow::messageBox(const QString &text) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Orvessa"), text, QMessageBox::Ok, this);
    box.exec();
}
