#include "trainerwindow.h"

#include "audio/ticker.h"
#include "audio/voicebackend.h"
#include "audio/voiceplayer.h"
#include "audio/voicerecorder.h"
#include "catalogueview.h"
#include "content/catalogue.h"
#include "content/contentpaths.h"
#include "content/richtext.h"
#include "functionmenu.h"
#include "importdialog.h"
#include "keycapture.h"
#include "resultspanel.h"
#include "sentencetimingbar.h"
#include "studyarea.h"
#include "text/fonts.h"
#include "widgets/chromebutton.h"
#include "widgets/inputlevelmeter.h"
#include "widgets/lessonpanel.h"
#include "widgets/picturelabel.h"
#include "widgets/sentencecanvas.h"
#include "widgets/shellicon.h"
#include "widgets/textbutton.h"
#include "widgets/twips.h"
#include "widgets/voicewaveview.h"
#include "widgets/windowstyle.h"

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalBlocker>
#include <QUrl>

namespace {

// The window's edge: a frameless window needs one of its own to stand off the desktop.
class WindowBorder : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override {
        QPainter painter(this);
        painter.setPen(QColor(0xB8, 0xC4, 0xD1));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
};

// Keys the typing box hears: Enter checks; anything it takes, an edit or a caret move (paste
// included), clicks and ends a hint. Escape and the function keys keep their own meaning.
bool isTypingKey(const QKeyEvent *event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
        return true;
    default:
        break;
    }
    for (const QKeySequence::StandardKey edit :
         {QKeySequence::Paste, QKeySequence::Cut, QKeySequence::Undo, QKeySequence::Redo,
          QKeySequence::SelectAll}) {
        if (event->matches(edit))
            return true;
    }
    return !event->text().isEmpty() && event->text().at(0).isPrint();
}

} // namespace

TrainerWindow::TrainerWindow(const DataPlaces &places, VoicePlayer &player,
                             ShortSoundPlayer &sounds, VoiceRecorder &recorder, WindowTimers timers,
                             QWidget *parent)
    : QWidget(parent), m_places(places), m_player(player), m_timers(timers),
      m_core(Program::Orvessa, places, m_measurer, player, sounds, recorder,
             PlaybackTimers{timers.Timer1, timers.Timer2, timers.endShot}, timers.recordLimit),
      m_state(m_core.state()), m_loader(m_core.loader()), m_view(m_core.view()),
      m_dictation(m_core.dictation()), m_playback(m_core.playback()), m_reader(m_core.reader()),
      m_speed(m_core.speed()), m_recorder(recorder), m_followRead(m_core.followRead()),
      m_followSounds(m_core.followReadSounds()), m_results(places), m_review(places),
      m_retimer(m_state, player, m_playback) {
    loadShellIcons();
    setWindowTitle(QStringLiteral("Orvessa"));
    setObjectName(QStringLiteral("TrainerWindow"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint);
    setMouseTracking(true);
    setFixedSize(widthTwips / 15, heightTwips / 15);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0xF3, 0xF6, 0xFA));
    setPalette(pal);
    setAutoFillBackground(true);
    QFont font = labelFont();
    font.setPixelSize(13);
    setFont(font);
    setStyleSheet(windowStyleSheet());

    m_Combo4 = new KeyCapture(this);
    m_menu = new FunctionMenu(this);
    m_menu->setGeometry(0, 0, width(), FunctionMenu::heightTwips / 15);
    m_catalogue = new CatalogueView(places, *timers.Timer3, this);
    m_area = new StudyArea(places.programDir(), this);
    LessonPanel *panel = m_area->lessonPanel();
    panel->setMeasurer(&m_measurer);
    panel->bind(&m_state.panel, &m_state.rows);

    m_playback.endReading(); // the resting captions of the reading buttons
    // Item 7 sits in the area's footer band: above the area, which would take its clicks.
    m_menu->itemArea(7)->raise();
    buildResults();
    buildChrome();
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
    CoreSurface &surface = m_core.surface();
    surface.focusCombo4 = [this] { focusCombo4(); };
    surface.focusTypingBox = [this] { focusTypingBox(); };
    surface.messageBox = [this](const QString &text, const QString &title, MessageIcon icon) {
        messageBox(text, title, icon);
    };
    surface.panelChanged = [this] { refreshPanel(); };
    surface.controlsChanged = [this] { refreshView(); };
    connect(&m_loader, &LessonLoader::lessonLoaded, this, [this] {
        refreshPanel();
        refreshView();
    });

    DictationHooks &dictation = m_dictation.hooks();
    dictation.passMarkText = [this] { return m_area->Combo5()->currentText(); };
    dictation.lessonCompleted = [this] { lessonPassed(); };
    dictation.wrongChecked = [this](int sentence, const LetterCheck &check) {
        recordWrongCheck(sentence, check);
    };
    dictation.showResults = [this] { showResults(); };
    dictation.setPassMarkText = [this](const QString &text) {
        m_area->Combo5()->setEditText(text);
    };
    connect(&m_dictation, &DictationTest::changed, this, &TrainerWindow::refreshView);
    connect(m_area, &StudyArea::passMarkEdited, this, [this] { m_dictation.passMarkEdited(); });
    connect(m_area, &StudyArea::passMarkPicked, this, [this] { m_dictation.passMarkPicked(); });

    connect(&m_view, &StudyView::viewChanged, this, [this] {
        refreshPanel();
        refreshView();
    });
    connect(&m_view, &StudyView::typingBoxSelectionChanged, this, [this] {
        const TypingBox &box = m_state.view.Text2;
        m_area->Text2()->setSelection(box.selectionStart, box.selectionLength);
    });

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
    connect(m_menu->closeButton(), &QAbstractButton::clicked, this, &QWidget::close);
    connect(m_menu->minimiseButton(), &QAbstractButton::clicked, this, &QWidget::showMinimized);
    connect(m_menu->miniButton(), &TextButton::released, this, &TrainerWindow::startMini);
    connect(m_menu->moreButton(), &TextButton::released, this, &TrainerWindow::openMoreSoftware);
    connect(m_menu->importButton(), &TextButton::released, this, &TrainerWindow::openImport);
    connect(m_area, &StudyArea::sampleReleased, this, &TrainerWindow::openSample);
    connect(m_area, &StudyArea::label13Released, this, &TrainerWindow::showInputLevel);
    connect(&m_recorder, &VoiceRecorder::inputLevel, this, [this](double peak, bool clipped) {
        InputLevelMeter *meter = m_area->levelMeter();
        if (!meter->isVisibleTo(m_area))
            return;
        if (peak > 0 || clipped || m_recorder.isRecording())
            meter->setLevel(peak, clipped);
        else
            meter->setResting(QStringLiteral("录音时在此显示音量"));
    });
    // However the program is asked to end, the window's unload runs first.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &TrainerWindow::unload);
    connect(m_catalogue, &CatalogueView::loadRequested, this, &TrainerWindow::loadlesson);

    connect(m_area, &StudyArea::commandClicked, this, &TrainerWindow::onCommand);
    connect(m_area, &StudyArea::twinClicked, this,
            [this](int check) { m_view.toggleCheck(check); });
    connect(m_area, &StudyArea::speedLabelClicked, this, [this](int k) {
        m_speed.onLabel20Clicked(k);
        if (m_samplePlayer)
            m_samplePlayer->setRate(m_player.rate());
    });
    connect(m_area, &StudyArea::engineClicked, this, &TrainerWindow::chooseEngine);
    connect(m_area->timingBar(), &SentenceTimingBar::stepClicked, &m_retimer,
            &SentenceRetimer::step);
    connect(m_area->timingBar(), &SentenceTimingBar::restoreClicked, &m_retimer,
            &SentenceRetimer::restore);
    connect(&m_retimer, &SentenceRetimer::changed, this, &TrainerWindow::refreshView);
    connect(m_area, &StudyArea::repeatPicked, this,
            [this](const QString &text) { m_playback.onCombo2Picked(text); });
    connect(m_area, &StudyArea::pausePicked, this,
            [this](const QString &text) { m_playback.onCombo3Picked(text); });
    connect(m_area->Text2(), &QLineEdit::textChanged, this,
            [this](const QString &text) { m_state.view.Text2.text = text; });

    connect(&m_followRead, &FollowReadComparison::buttonsChanged, this,
            &TrainerWindow::refreshView);
    connect(&m_followSounds, &FollowReadSounds::changed, this, &TrainerWindow::refreshFollowRead);
    m_wavePoll.setInterval(30);
    connect(&m_wavePoll, &QTimer::timeout, this, &TrainerWindow::showWavePositions);
}

void TrainerWindow::buildResults() {
    // A card over the middle of the study area, where the dictation the results belong to
    // is done; hidden until shown.
    m_Picture8 = new ResultsPanel(this);
    Twips::place(m_Picture8, 4260, 1350, 5700, 5700);
    m_Picture8->hide();

    const auto tell = [this](const QString &text) {
        messageBox(text, QString(), MessageIcon::None);
    };
    m_results.tellLearner = tell;
    m_review.tellLearner = tell;
    m_results.show = [this] { showResults(); };
    connect(m_catalogue, &CatalogueView::bookRead, this, &TrainerWindow::bookRead);
    connect(m_Picture8, &ResultsPanel::clearMarksRequested, this, [this] { m_results.clear(); });
    connect(m_Picture8, &ResultsPanel::clearReviewRequested, this, [this] {
        m_review.clear();
        m_Picture8->setReviewEntries(m_review.entries());
    });
    connect(m_Picture8, &ResultsPanel::closeRequested, this, &TrainerWindow::closeResults);
    connect(m_Picture8, &ResultsPanel::reviewSentenceRequested, this,
            &TrainerWindow::playReviewSentence);
}

void TrainerWindow::bookRead() {
    // After the lesson-name list, which a book without a results file starts from.
    m_results.load(m_catalogue->bookTitle(), m_catalogue->lessonNames());
    m_review.load(m_catalogue->bookTitle());
    // An open panel follows the book rather than show the last book's marks.
    m_Picture8->setEntries(m_results.entries());
    m_Picture8->setReviewEntries(m_review.entries());
}

void TrainerWindow::lessonPassed() {
    m_results.markPassed(m_catalogue->lessonName());
}

void TrainerWindow::showResults() {
    m_Picture8->setEntries(m_results.entries());
    m_Picture8->setReviewEntries(m_review.entries());
    m_Picture8->setTestRunning(m_state.studyMode == 8);
    m_Picture8->showPage(ResultsPanel::Page::Marks);
    m_Picture8->show();
    m_Picture8->raise();
    focusTypingBox();
}

void TrainerWindow::closeResults() {
    m_Picture8->hide();
    focusTypingBox();
}

void TrainerWindow::recordWrongCheck(int sentence, const LetterCheck &check) {
    if (sentence < 1 || sentence > m_state.sentences.count())
        return;
    m_review.record(m_state.lessonIndex, sentence, m_state.sentences.entry(sentence).english,
                    check);
    m_Picture8->setReviewEntries(m_review.entries());
}

void TrainerWindow::playReviewSentence(int lessonIndex, int sentence) {
    if (lessonIndex != m_state.lessonIndex || sentence < 1 || sentence > m_state.sentenceCount)
        return; // another lesson: its sentences are not loaded
    if (m_state.studyMode == 2) {
        m_playback.onLabel6Released(sentence);
    } else if (m_state.studyMode == 8) {
        // A test in progress keeps its place: its own sentence replays as 复读 does, with its
        // deduction; the others wait for the end of the test.
        if (sentence == m_state.currentSentence)
            m_dictation.replay();
    } else {
        m_state.currentSentence = sentence;
        m_view.ty();
        m_playback.onCommand4();
    }
    refreshPanel();
    refreshView();
}

void TrainerWindow::openImport() {
    if (!m_importDialog) {
        m_importDialog = new ImportDialog(m_places, importTools, this);
        connect(m_importDialog, &ImportDialog::imported, this,
                [this](const QString &book, const QString &name) {
                    m_importedBook = book;
                    m_importedName = name;
                    m_catalogue->openLesson(book, name);
                });
        connect(m_importDialog, &ImportDialog::sentenceRequested, this,
                &TrainerWindow::showImportedSentence);
    }
    if (!m_importDialog->isVisible())
        m_importDialog->refreshBooks(m_catalogue->bookTitle());
    m_importDialog->show();
    m_importDialog->raise();
    m_importDialog->activateWindow();
}

void TrainerWindow::showImportedSentence(int sentence) {
    // The learner may have gone to another lesson since: the imported one comes back first.
    if ((m_catalogue->bookTitle() != m_importedBook ||
         m_catalogue->lessonName() != m_importedName) &&
        !m_catalogue->openLesson(m_importedBook, m_importedName))
        return;
    if (m_state.studyMode != 1)
        menuItemReleased(1);
    playReviewSentence(m_state.lessonIndex, sentence);
    // The learner now listens to the sentence and fixes its times: the card must show.
    m_importDialog->moveClearOf(frameGeometry());
}

void TrainerWindow::buildChrome() {
    // The hover frame Line28..Line31: four accent lines around the study modes, shown at
    // start-up as a hint where to begin, gone at the first mouse move over the window.
    const QRect modes = Twips::rect(300, 360, 7485, 720);
    const QRect lines[] = {{modes.left(), modes.top(), modes.width(), 1},
                           {modes.left(), modes.bottom(), modes.width(), 1},
                           {modes.left(), modes.top(), 1, modes.height()},
                           {modes.right(), modes.top(), 1, modes.height()}};
    for (int k = 0; k < 4; ++k) {
        auto *line = new QFrame(this);
        line->setObjectName(QStringLiteral("Line%1").arg(k + 28));
        line->setStyleSheet(QStringLiteral("background: rgba(47, 123, 234, 110); border: none;"));
        line->setAttribute(Qt::WA_TransparentForMouseEvents);
        line->setGeometry(lines[k]);
        m_hoverFrame[size_t(k)] = line;
    }
    m_border = new WindowBorder(this);
    m_border->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_border->setGeometry(rect());
    m_border->raise();
}

void TrainerWindow::startup() {
    // Steps 1 to 3 (display check, player and back-end) ran before the window was made;
    // the size, the tree's look and the panels' places (4 to 6), the selectors' items
    // (10) and the follow-read panel's place (12) are the window's design.
    const QString settingsFile = m_places.readPath(ContentFile::settings(false));
    m_settings = parseOrvessaSettings(readSettingsFile(settingsFile));                // 7
    m_state.studyMode = 1;                                                            // 8
    m_catalogue->fillBookSelector(m_settings.bookTitle.value_or(initialBookTitle())); // 9

    PlaybackState &pb = m_state.playback; // 11
    pb.repeatCount = 0;
    m_timers.Timer2->setInterval(SentencePlayback::pauseInterval(pb.Combo3Text));
    // 13: the picker texts per mode; missing ones stay empty (read as 0).
    pb.studyRepeats = m_settings.studyRepeats.value_or(pb.studyRepeats);
    pb.studyPause = m_settings.studyPause.value_or(pb.studyPause);
    pb.browseRepeats = m_settings.browseRepeats.value_or(pb.browseRepeats);
    pb.browsePause = m_settings.browsePause.value_or(pb.browsePause);
    m_state.panel.canvasTop = 0; // 14
    m_state.panel.canvasHeight = m_state.panelGeometry.viewportHeight;
    refreshPanel();

    m_catalogue->fillLessons(m_settings.lessonIndex.value_or(-1)); // 15, 16
    m_menu->moveMarkerTo(1);
    refreshView();
    show();                 // 17
    loadlesson();           // 18
    m_followRead.prepare(); // 19

    // 20: a changed value runs the option's click handler; the value it has runs nothing.
    const std::pair<int, std::optional<int>> checks[] = {{1, m_settings.englishHint},
                                                         {2, m_settings.chineseHint},
                                                         {3, m_settings.showChinese},
                                                         {4, m_settings.followReadHint}};
    for (const auto &[check, value] : checks) {
        if (value)
            m_view.setCheckValue(check, *value);
    }
    if (m_settings.passMark) // 21, held to the lowest pass mark without a word
        m_area->Combo5()->setEditText(allowedPassMark(*m_settings.passMark));
    // The options may have moved the focus to Combo4; sentence study types.
    focusTypingBox();
}

OrvessaSettings TrainerWindow::liveSettings() const {
    OrvessaSettings live;
    const StudyViewState &v = m_state.view;
    const PlaybackState &pb = m_state.playback;
    live.lessonIndex = m_catalogue->lessonIndex();
    live.englishHint = v.Check1.value;
    live.chineseHint = v.Check2.value;
    live.studyRepeats = pb.studyRepeats;
    live.studyPause = pb.studyPause;
    live.browseRepeats = pb.browseRepeats;
    live.browsePause = pb.browsePause;
    live.showChinese = v.Check3.value;
    live.followReadHint = v.Check4.value;
    live.bookTitle = m_catalogue->bookTitle();
    live.passMark = m_area->Combo5()->currentText();
    return live;
}

void TrainerWindow::closeEvent(QCloseEvent *event) {
    unload();
    QWidget::closeEvent(event); // the close is never cancelled
}

void TrainerWindow::unload() {
    if (m_unloaded)
        return;
    m_unloaded = true;
    m_wavePoll.stop();
    // An import still running stops and takes its files back before the program ends.
    if (m_importDialog)
        m_importDialog->close();
    // Closing while the pass mark is being typed: the rule of a finished edit, silently and
    // before the record is written (the edit's own end would speak over a closing window).
    m_area->Combo5()->setEditText(allowedPassMark(m_area->Combo5()->currentText()));
    stopSample();
    if (m_timers.Timer3)
        m_timers.Timer3->stop();
    m_core.unload(orvessaSettingsRecord(liveSettings()));
}

void TrainerWindow::loadlesson() {
    LessonSelection selection;
    selection.places = m_places;
    selection.bookTitle = m_catalogue->bookTitle();
    selection.listIndex = m_catalogue->lessonIndex();
    selection.lessonName = m_catalogue->lessonName();
    // Told before the load, which shows the new lesson's first sentence with its control.
    const bool fromDisk = selection.listIndex >= 0 && isSafeBookTitle(selection.bookTitle);
    m_retimer.lessonOpening(
        m_places, fromDisk ? ContentFile::lessonText(selection.bookTitle, selection.listIndex + 1)
                           : QString());
    m_loader.loadlesson(selection);
}

void TrainerWindow::menuItemReleased(int item) {
    const int mode = FunctionMenu::studyModeOf(item);
    if (mode == 0)
        return;
    // Item 7 starts another program: the learner's mode, page and marker stay as they are,
    // so coming back finds them working.
    if (item == 7) {
        startCompanion();
        return;
    }
    stopSample();
    m_state.studyMode = mode;
    if (item == 1)
        m_view.ty();
    if (mode != 8)
        m_player.VoicePause();
    focusCombo4();
    m_playback.stopWatch();
    m_view.cc();
    if (mode == 8)
        m_dictation.start();
    if (item == 6) {
        m_state.view.Picture11Visible = true;
        m_menu->setItem7Enabled(true);
    }
    m_menu->moveMarkerTo(item);
    refreshPanel();
    refreshView();
}

void TrainerWindow::startCompanion() {
    if (!m_menu->item7Enabled())
        return;
    const QString path = programPath(m_places.programDir(), QStringLiteral("sorvik"));
    // Disabled first: a second press before the mouse moves on starts nothing.
    m_menu->setItem7Enabled(false);
    if (launcher.startDetached(path))
        return;
    // Nothing started, so there is nothing to guard: the item stays ready to try again.
    m_menu->setItem7Enabled(true);
    messageBox(QFileInfo::exists(path) ? QStringLiteral("无法启动口语练习程序。")
                                       : QStringLiteral("没有找到口语练习程序。"),
               QString(), MessageIcon::None);
}

void TrainerWindow::startMini() {
    launcher.startDetached(programPath(m_places.programDir(), QStringLiteral("mini")));
}

void TrainerWindow::openMoreSoftware() {
    launcher.openUrl(QUrl::fromLocalFile(m_places.shippedPath(u"help/index.html")));
}

// 录音音量调节: the learner sees the microphone's level on the page at once, and gets the
// desktop's own input settings (which microphone, how loud) where a tool for them is there.
void TrainerWindow::showInputLevel() {
    InputLevelMeter *meter = m_area->levelMeter();
    meter->show();
    const VoiceRecorder::Start watched = m_followRead.onLabel13();
    if (watched == VoiceRecorder::Start::Started)
        meter->setLevel(0, false);
    else
        meter->setResting(FollowReadComparison::noticeFor(watched));
    openSoundInputSettings(launcher);
}

void TrainerWindow::openSample() {
    const QString path = m_places.shippedPath(u"Sound/英语900句/demo.mp3");
    if (!QFileInfo::exists(path)) {
        messageBox(QStringLiteral("没有找到示例录音。"), QString(), MessageIcon::None);
        return;
    }
    if (launcher.openUrl(QUrl::fromLocalFile(path)))
        return;
    // No desktop player for it: the sample plays here, through the engine and at the speed
    // the page has chosen, which is what the learner came to hear.
    const VoiceEngine engine = engineOf(m_player.backend());
    if (!m_samplePlayer || m_sampleEngine != engine) {
        m_samplePlayer = engines.make ? engines.make(engine) : nullptr;
        m_sampleEngine = engine;
    }
    if (!m_samplePlayer) {
        messageBox(QStringLiteral("无法播放示例录音。"), QString(), MessageIcon::None);
        return;
    }
    m_player.VoicePause();
    m_samplePlayer->setRate(m_player.rate());
    m_samplePlayer->open(path);
    m_samplePlayer->play();
}

void TrainerWindow::stopSample() {
    if (m_samplePlayer)
        m_samplePlayer->pause();
}

void TrainerWindow::chooseEngine(int engine) {
    if (engine != 0 && engine != 1)
        return;
    const VoiceEngine wanted = engine == 0 ? VoiceEngine::MediaPlayer : VoiceEngine::FallbackDevice;
    focusCombo4();
    if (wanted == engineOf(m_player.backend()))
        return;
    std::unique_ptr<VoiceBackend> next = engines.make ? engines.make(wanted) : nullptr;
    if (!next) {
        // It could not be made after all: shown as unavailable from now on.
        if (m_enginesAvailable)
            (*m_enginesAvailable)[size_t(engine)] = false;
        refreshView();
        return;
    }
    stopSample();
    m_player.switchBackend(std::move(next));
    refreshView();
}

void TrainerWindow::showEngines() {
    const bool media = engineOf(m_player.backend()) == VoiceEngine::MediaPlayer;
    // Asking may cost a probe of each engine: only once the page is first opened.
    if (!m_enginesAvailable && engines.available && m_state.view.Picture11Visible) {
        m_enginesAvailable = std::array{engines.available(VoiceEngine::MediaPlayer),
                                        engines.available(VoiceEngine::FallbackDevice)};
    }
    const std::array<bool, 2> available = !engines.available   ? std::array{media, !media}
                                          : m_enginesAvailable ? *m_enginesAvailable
                                                               : std::array{true, true};
    m_area->showEngines(media ? 0 : 1, available);
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
    case 8:
        m_followRead.onCommand8();
        break;
    case 9:
        m_followRead.onCommand9();
        break;
    case 10:
        m_followRead.onCommand10();
        break;
    case 11:
        m_followRead.onCommand11();
        break;
    case 12:
        m_followRead.onCommand12();
        break;
    case 13:
        m_followRead.onCommand13();
        break;
    case 14:
        m_followRead.onCommand14();
        break;
    case 15:
        m_followRead.onCommand15();
        break;
    case 16:
        m_view.reset();
        break;
    case 22:
        m_dictation.replay();
        break;
    case 23:
        m_dictation.hint();
        break;
    case 24:
        m_dictation.firstSentence();
        break;
    case 25:
        m_dictation.redo();
        break;
    case 28:
        m_dictation.showResults();
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
    m_area->timingBar()->showTimes(m_retimer.shownTimes(), m_retimer.canRestore(),
                                   m_retimer.problem());
    showEngines();
    refreshFollowRead();
    QLineEdit *typing = m_area->Text2();
    if (typing->text() != m_state.view.Text2.text) {
        const QSignalBlocker blocker(typing);
        typing->setText(m_state.view.Text2.text);
    }
}

// The waveforms follow the page's sentence; they are decoded only while the page shows.
void TrainerWindow::refreshFollowRead() {
    const bool shown = m_state.studyMode == 5 && m_state.view.Picture4Visible;
    if (!shown) {
        m_wavePoll.stop();
        m_area->levelMeter()->hide();
        return;
    }
    const std::optional<SentenceTimes> times = m_state.sentences.times(m_state.currentSentence);
    if (times)
        m_followSounds.setSentence(m_player.voiceFile, times->start, times->end,
                                   m_state.view.Label10.text);
    else
        m_followSounds.setSentence(QString(), 0, 0);

    const QString hint = m_recorder.isRecording() ? QStringLiteral("正在录音……读完后按“停止”。")
                                                  : QStringLiteral("按“录音”，跟着读这一句。");
    if (m_wavesShown != m_followSounds.revision() || m_waveHint != hint) {
        m_wavesShown = m_followSounds.revision();
        m_waveHint = hint;
        showFollowReadSounds();
    }
    if (!m_wavePoll.isActive()) {
        m_wavePoll.start();
        m_recorder.prepare(); // the page has just been opened: 录音 may come next
        m_followSounds.pageOpened();
    }
    showWavePositions();
}

void TrainerWindow::showFollowReadSounds() {
    VoiceWaveView *waves = m_area->waveView();
    using Model = FollowReadSounds::Model;
    switch (m_followSounds.modelStatus()) {
    case Model::Ready:
        waves->setModel(m_followSounds.model());
        break;
    case Model::Reading:
        waves->setModel({}, QStringLiteral("正在读取本句的声音……"));
        break;
    case Model::Failed:
        waves->setModel({}, QStringLiteral("无法读取本句的声音。"));
        break;
    case Model::None:
        waves->setModel({}, QStringLiteral("本句没有声音。"));
        break;
    }
    const PlaybackShape shape = m_followSounds.shape();
    const bool none = m_followSounds.recording().isEmpty();
    waves->setRecording(m_followSounds.recording(), shape.gain, shape.skipMs,
                        none ? m_waveHint : QString());
    const bool judging = m_followSounds.judging() == FollowReadSounds::Judging::Running;
    m_area->showFeedback(m_followSounds.english(), m_followSounds.feedback(),
                         judging ? QStringLiteral("正在分析您的录音……") : QString());
}

void TrainerWindow::showWavePositions() {
    VoiceBackend &backend = m_player.backend();
    const double perSecond = m_player.toPlayerUnits(1.0);
    const double model = backend.isPlaying() && perSecond > 0
                             ? backend.position() / perSecond - m_followSounds.sentenceStart()
                             : -1;
    const qint64 heard = m_recorder.playbackPositionMs();
    const double voice = heard < 0 ? -1 : (heard - m_followSounds.shape().skipMs) / 1000.0;
    m_area->waveView()->setPositions(model, std::max(-1.0, voice));
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

bool TrainerWindow::isBackground(const QWidget *widget) const {
    if (widget == this || widget == m_area || widget == m_catalogue || widget == m_menu)
        return true;
    // The panels and cards of the area are plain frames; a scroll area is a frame too.
    return widget && widget->metaObject() == &QFrame::staticMetaObject;
}

void TrainerWindow::hideHoverFrame() {
    for (QWidget *line : m_hoverFrame)
        line->hide();
}

bool TrainerWindow::hoverFrameVisible() const {
    return m_hoverFrame[0]->isVisibleTo(this);
}

void TrainerWindow::backgroundHovered() {
    hideHoverFrame();
    m_menu->setItem7Enabled(true);
}

void TrainerWindow::mousePressEvent(QMouseEvent *event) {
    // Presses on the labels and panels come here too; only the background drags, and a
    // press with any button records the origin.
    const QWidget *pressed = childAt(event->position().toPoint());
    m_dragArmed = !pressed || isBackground(pressed);
    if (m_dragArmed) {
        m_dragOrigin = event->globalPosition();
        m_dragWindowPos = pos();
    }
    QWidget::mousePressEvent(event);
}

void TrainerWindow::mouseMoveEvent(QMouseEvent *event) {
    // Only the left button moves the window.
    if (m_dragArmed && (event->buttons() & Qt::LeftButton))
        move(m_dragWindowPos + (event->globalPosition() - m_dragOrigin).toPoint());
    QWidget::mouseMoveEvent(event);
}

bool TrainerWindow::eventFilter(QObject *watched, QEvent *event) {
    // Every press disarms the drag; only one that reaches the window's own handler on the
    // background arms it again. A control that takes the press keeps it from the window,
    // and a move it passes on must not drag from an older press on the background.
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease) {
        auto *widget = qobject_cast<QWidget *>(watched);
        if (widget && widget->window() == this)
            m_dragArmed = false;
    }
    // Moves without a button reach only widgets that track the mouse, but every one passes
    // the application's filters: the hover frame hears them here.
    if (event->type() == QEvent::MouseMove) {
        auto *widget = qobject_cast<QWidget *>(watched);
        if (widget && widget->window() == this) {
            if (isBackground(widget))
                backgroundHovered();
            else if (qobject_cast<QLabel *>(widget) || qobject_cast<PictureLabel *>(widget) ||
                     widget == m_catalogue->List1()->viewport() ||
                     widget == lessonPanel()->canvas())
                hideHoverFrame();
        }
    }
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
