#include "trainerwindow.h"

#include "audio/ticker.h"
#include "audio/voiceplayer.h"
#include "catalogueview.h"
#include "content/catalogue.h"
#include "content/contentpaths.h"
#include "content/richtext.h"
#include "content/settingsrecord.h"
#include "functionmenu.h"
#include "keycapture.h"
#include "study/fonts.h"
#include "study/lessonpanel.h"
#include "study/sentencecanvas.h"
#include "studyarea.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QSignalBlocker>
#include <cmath>

namespace {

constexpr qint64 maxSettingsBytes = 64 * 1024;

QString readSettingsRecord(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return plainTextFromFileBytes(file.read(maxSettingsBytes));
}

// Keys the typing box hears: Enter checks, anything that types or deletes clicks.
bool isTypingKey(const QKeyEvent *event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        return true;
    default:
        return !event->text().isEmpty() && event->text().at(0).isPrint();
    }
}

// One calm look for the window's standard controls; the accent marks the main action.
const char *const windowStyle = R"(
QPushButton {
    background: #FFFFFF; color: #2B3642; border: 1px solid #C9D3DE; border-radius: 6px;
    padding: 0 10px;
}
QPushButton:hover { background: #F3F7FC; border-color: #A9B8C8; }
QPushButton:pressed { background: #E8F1FD; }
QPushButton:disabled { color: #A8B2BD; border-color: #E0E6EC; background: #FAFBFC; }
QPushButton[accent="true"] { background: #2F7BEA; color: white; border: 1px solid #2F7BEA; }
QPushButton[accent="true"]:hover { background: #2A70D6; }
QPushButton[accent="true"]:pressed { background: #1F62C4; }
QComboBox {
    background: white; border: 1px solid #C9D3DE; border-radius: 5px; padding: 1px 6px;
    color: #2B3642;
}
QComboBox:hover { border-color: #A9B8C8; }
QComboBox::drop-down { border: none; width: 18px; }
QComboBox::down-arrow { image: url(:/shell/icons/chevron.svg); width: 10px; height: 10px; }
QComboBox QAbstractItemView {
    background: white; border: 1px solid #C9D3DE; selection-background-color: #E8F1FD;
    selection-color: #1F62C4; outline: 0;
}
QLineEdit {
    background: white; border: 1px solid #C9D3DE; border-radius: 6px; padding: 0 8px;
    color: #1E2A36; selection-background-color: #F6C453; selection-color: #1E2A36;
}
QLineEdit:focus { border: 1px solid #2F7BEA; }
QToolTip { background: white; color: #2B3642; border: 1px solid #C9D3DE; }
)";

} // namespace

WindowTimers WindowTimers::makeQt(QObject *parent) {
    const PlaybackTimers playback = PlaybackTimers::makeQt(parent);
    return WindowTimers{playback.Timer1, playback.Timer2, new QtTicker(10, parent),
                        playback.endShot};
}

TrainerWindow::TrainerWindow(const QString &programDir, VoicePlayer &player,
                             ShortSoundPlayer &sounds, WindowTimers timers, QWidget *parent)
    : QWidget(parent), m_programDir(programDir), m_player(player), m_timers(timers),
      m_state(TrainerState::forProgram(Program::Orvessa)), m_loader(m_state, player, m_measurer),
      m_view(m_state, player, sounds, m_measurer, programDir),
      m_playback(m_state, player, sounds,
                 PlaybackTimers{timers.Timer1, timers.Timer2, timers.endShot}, programDir),
      m_reader(m_state, m_playback), m_speed(m_state, m_playback) {
    setWindowTitle(QStringLiteral("Orvessa"));
    setObjectName(QStringLiteral("TrainerWindow"));
    setFixedSize(widthTwips / 15, heightTwips / 15);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0xF3, 0xF6, 0xFA));
    setPalette(pal);
    setAutoFillBackground(true);
    QFont font = labelFont();
    font.setPixelSize(13);
    setFont(font);
    setStyleSheet(QString::fromLatin1(windowStyle));

    m_Combo4 = new KeyCapture(this);
    m_menu = new FunctionMenu(this);
    m_menu->setGeometry(0, 0, width(), FunctionMenu::heightTwips / 15);
    m_catalogue = new CatalogueView(programDir, *timers.Timer3, this);
    m_area = new StudyArea(programDir, this);
    LessonPanel *panel = m_area->lessonPanel();
    panel->setMeasurer(&m_measurer);
    panel->bind(&m_state.panel, &m_state.rows);

    m_playback.endReading(); // the resting captions of the reading buttons
    wire();
    refreshView();
    qApp->installEventFilter(this);
}

TrainerWindow::~TrainerWindow() {
    qApp->removeEventFilter(this);
    m_area->lessonPanel()->bind(nullptr, nullptr);
}

LessonPanel *TrainerWindow::lessonPanel() const {
    return m_area->lessonPanel();
}

void TrainerWindow::wire() {
    LoaderHooks &loader = m_loader.hooks();
    loader.nextSentence = [this](TrainerState &) { m_view.nextSentence(); };
    loader.cc = [this](TrainerState &) { m_view.cc(); };
    loader.messageBox = [this](const QString &text) {
        messageBox(text, QString(), MessageIcon::None);
    };
    loader.focusCombo4 = [this] { focusCombo4(); };
    connect(&m_loader, &LessonLoader::lessonLoaded, this, [this] {
        refreshPanel();
        refreshView();
    });

    StudyViewHooks &view = m_view.hooks();
    view.playCurrentSentence = [this] { m_playback.onCommand4(); };
    view.resetForModeChange = [this] { m_playback.resetForModeChange(); };
    view.applyModePair = [this](int mode) { m_playback.applyModePair(mode); };
    view.stopPlaybackAndScrollTop = [this] { m_playback.resetPlayback(); };
    view.focusCombo4 = [this] { focusCombo4(); };
    view.focusTypingBox = [this] { focusTypingBox(); };
    view.messageBox = [this](const QString &text, const QString &title, MessageIcon icon) {
        messageBox(text, title, icon);
    };
    connect(&m_view, &StudyView::viewChanged, this, [this] {
        refreshPanel();
        refreshView();
    });
    connect(&m_view, &StudyView::typingBoxSelectionChanged, this, [this] {
        const TypingBox &box = m_state.view.Text2;
        m_area->Text2()->setSelection(box.selectionStart, box.selectionLength);
    });

    PlaybackHooks &playback = m_playback.hooks();
    playback.focusCombo4 = [this] { focusCombo4(); };
    playback.focusTypingBox = [this] { focusTypingBox(); };
    playback.panelChanged = [this] { refreshPanel(); };
    playback.controlsChanged = [this] { refreshView(); };

    SentenceCanvas *canvas = lessonPanel()->canvas();
    connect(canvas, &SentenceCanvas::rowPressed, this,
            [this](RowHit hit, Qt::MouseButton) { onRowPressed(hit); });
    connect(canvas, &SentenceCanvas::rowReleased, this, &TrainerWindow::onRowReleased);
    connect(lessonPanel(), &LessonPanel::focusToCombo4Requested, this, &TrainerWindow::focusCombo4);
    connect(m_Combo4, &KeyCapture::keyPressed, this, [this](int key) {
        if (key == Qt::Key_Up)
            m_reader.onCombo4Key(FullTextReader::keyUp);
        else if (key == Qt::Key_Down)
            m_reader.onCombo4Key(FullTextReader::keyDown);
        lessonPanel()->applyScroll();
    });

    connect(m_menu, &FunctionMenu::itemReleased, this, &TrainerWindow::menuItemReleased);
    connect(m_catalogue, &CatalogueView::loadRequested, this, &TrainerWindow::loadlesson);

    connect(m_area, &StudyArea::commandClicked, this, &TrainerWindow::onCommand);
    connect(m_area, &StudyArea::twinClicked, this,
            [this](int check) { m_view.toggleCheck(check); });
    connect(m_area, &StudyArea::speedLabelClicked, this,
            [this](int k) { m_speed.onLabel20Clicked(k); });
    connect(m_area, &StudyArea::repeatPicked, this,
            [this](const QString &text) { m_playback.onCombo2Picked(text); });
    connect(m_area, &StudyArea::pausePicked, this,
            [this](const QString &text) { m_playback.onCombo3Picked(text); });
    connect(m_area->Text2(), &QLineEdit::textChanged, this,
            [this](const QString &text) { m_state.view.Text2.text = text; });
}

void TrainerWindow::applySettings(const QString &record, QString &title, int &lessonIndex) {
    m_settings = cutSettingsFields(record, orvessaSettingsFields);
    const auto &f = m_settings;
    if (f[9] && isSafeBookTitle(*f[9]))
        title = *f[9];
    if (f[0])
        lessonIndex = static_cast<qint16>(std::lround(leadingNumber(*f[0])));
    // The picker texts per mode, read as numbers; missing ones stay empty (read as 0).
    PlaybackState &pb = m_state.playback;
    QString *pairs[] = {&pb.studyRepeats, &pb.studyPause, &pb.browseRepeats, &pb.browsePause};
    for (int k = 0; k < 4; ++k) {
        if (f[size_t(3 + k)])
            *pairs[k] = QString::number(leadingNumber(*f[size_t(3 + k)]));
    }
}

void TrainerWindow::startup() {
    QString title = initialBookTitle();
    int lessonIndex = -1;
    applySettings(readSettingsRecord(settingsPath(m_programDir, false)), title, lessonIndex);
    m_state.studyMode = 1;
    m_state.playback.repeatCount = 0;
    m_catalogue->startupFill(title, lessonIndex);
    m_menu->moveMarkerTo(1);

    show();
    loadlesson();

    // The display options of fields 2, 3, 8 and 9; a change runs the option's handler.
    const int checks[] = {1, 2, 3, 4};
    const int fields[] = {1, 2, 7, 8};
    for (int k = 0; k < 4; ++k) {
        if (const auto &field = m_settings[size_t(fields[k])])
            m_view.setCheckValue(checks[k], int(leadingNumber(*field)));
    }
    // The options may have moved the focus to Combo4; sentence study types.
    focusTypingBox();
}

void TrainerWindow::loadlesson() {
    LessonSelection selection;
    selection.programDir = m_programDir;
    selection.bookTitle = m_catalogue->bookTitle();
    selection.listIndex = m_catalogue->lessonIndex();
    selection.lessonName = m_catalogue->lessonName();
    m_loader.loadlesson(selection);
}

void TrainerWindow::menuItemReleased(int item) {
    const int mode = FunctionMenu::studyModeOf(item);
    if (!FunctionMenu::hasItem(item) || mode == 0)
        return;
    m_state.studyMode = mode;
    if (item == 1)
        m_view.ty();
    if (mode != 8)
        m_player.VoicePause();
    focusCombo4();
    m_playback.stopWatch();
    m_view.cc();
    // The dictation set-up (mode 8) and the companion program (item 7) come with the
    // dictation test; item 6 shows the voice options page over the area.
    if (item == 6)
        m_state.view.Picture11Visible = true;
    m_menu->moveMarkerTo(item);
    refreshPanel();
    refreshView();
}

void TrainerWindow::onCommand(int number) {
    switch (number) {
    case 1:
        m_view.nextSentence();
        break;
    case 2:
        m_view.previousSentence();
        break;
    case 3:
        m_view.firstSentence();
        break;
    case 4:
        m_playback.onCommand4();
        break;
    case 5:
        m_view.hint();
        break;
    case 6:
        m_reader.onCommand6();
        break;
    case 7:
        m_reader.onCommand7();
        break;
    case 16:
        m_view.reset();
        break;
    default:
        break;
    }
    refreshView();
}

void TrainerWindow::onRowPressed(RowHit hit) {
    if (hit.element == RowElement::PlayIcon)
        m_playback.onImage2Pressed(hit.row);
    else
        m_view.rowPressed(hit);
}

void TrainerWindow::onRowReleased(RowHit hit, Qt::MouseButton button) {
    switch (hit.element) {
    case RowElement::Background:
        if (button == Qt::LeftButton)
            m_playback.onPanelBackgroundClicked();
        break;
    case RowElement::PlayIcon:
        m_playback.onImage2Released(hit.row);
        break;
    case RowElement::EnglishLine:
        // It hides every underline first; recall English then underlines the line touched.
        m_playback.onLabel6Released(hit.row);
        m_view.rowReleased(hit);
        break;
    default:
        m_view.rowReleased(hit);
        break;
    }
}

void TrainerWindow::refreshPanel() {
    lessonPanel()->refresh();
}

void TrainerWindow::refreshView() {
    m_area->refresh(m_state);
    QLineEdit *typing = m_area->Text2();
    if (typing->text() != m_state.view.Text2.text) {
        const QSignalBlocker blocker(typing);
        typing->setText(m_state.view.Text2.text);
    }
}

void TrainerWindow::focusCombo4() {
    m_Combo4->setFocus(Qt::OtherFocusReason);
}

void TrainerWindow::focusTypingBox() {
    QLineEdit *typing = m_area->Text2();
    // A box covered by a panel would take keys the learner cannot see.
    if (m_state.view.Shape3Visible && !m_state.view.Picture5Visible)
        typing->setFocus(Qt::OtherFocusReason);
    else
        focusCombo4();
}

void TrainerWindow::messageBox(const QString &text, const QString &title, MessageIcon icon) {
    if (messageSink) {
        messageSink(text, title, icon);
        return;
    }
    QMessageBox box(
        icon == MessageIcon::Information ? QMessageBox::Information : QMessageBox::NoIcon,
        title.isEmpty() ? QStringLiteral("Orvessa") : title, text, QMessageBox::Ok, this);
    box.exec();
}

bool TrainerWindow::eventFilter(QObject *watched, QEvent *event) {
    // The window sees every key first, as the shortcut table needs; then the typing box.
    if (event->type() == QEvent::KeyPress) {
        auto *widget = qobject_cast<QWidget *>(watched);
        if (widget && widget->window() == this) {
            auto *key = static_cast<QKeyEvent *>(event);
            if (m_view.keyPressed(key->key()))
                return true;
            if (widget == m_area->Text2() && isTypingKey(key) && m_view.typingBoxKey(key->key()))
                return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
