#include "audio/fakevoicebackend.h"
#include "audio/fakevoicerecorder.h"
#include "audio/shortsound.h"
#include "audio/ticker.h"
#include "audio/voiceplayer.h"
#include "content/settingsfile.h"
#include "content/settingsrecord.h"
#include "desktop/quitsignals.h"
#include "shell/catalogueview.h"
#include "shell/displaycheck.h"
#include "shell/functionmenu.h"
#include "shell/studyarea.h"
#include "shell/trainerprogram.h"
#include "support/programdirfixture.h"
#include "text/fonts.h"
#include "widgets/chromebutton.h"
#include "widgets/lessonpanel.h"
#include "widgets/picturelabel.h"
#include "widgets/sentencecanvas.h"
#include "widgets/textbutton.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <QProcess>
#include <QThread>

#include <csignal>
#include <functional>
#include <memory>
#include <signal.h>
#include <sys/types.h>

namespace {

using programdir::copyDemoContent;
using programdir::demoBook;
using programdir::demoContent;
using programdir::gbk;
using programdir::writeFile;
// The record of the settings file's own example: lesson 4, English hints on, Chinese hints
// off, 2 repeats with 3 s in sentence study, once without pause in browsing, Chinese lines
// on, the follow-read Chinese hint off, pass mark 80.
const QString exampleRecord = QStringLiteral("3\\1\\0\\2\\3\\1\\0\\1\\0\\英语900句\\80\\");

void sendMouse(QWidget *target, QEvent::Type type, QPoint pos, Qt::MouseButton button,
               Qt::MouseButtons held) {
    QMouseEvent event(type, QPointF(pos), target->mapToGlobal(QPointF(pos)), button, held,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

void press(QWidget *target, Qt::MouseButton button = Qt::LeftButton, QPoint pos = {3, 3}) {
    sendMouse(target, QEvent::MouseButtonPress, pos, button, button);
}
void releaseOn(QWidget *target, Qt::MouseButton button = Qt::LeftButton, QPoint pos = {3, 3}) {
    sendMouse(target, QEvent::MouseButtonRelease, pos, button, Qt::NoButton);
}
void moveOver(QWidget *target, QPoint pos = {4, 4}, Qt::MouseButtons held = Qt::NoButton) {
    sendMouse(target, QEvent::MouseMove, pos, Qt::NoButton, held);
}
void click(QWidget *target) {
    press(target);
    releaseOn(target);
}

class TrainerProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        installFontSubstitutions();
        ASSERT_TRUE(dir.isValid());
        programDir = dir.path();
        copyDemoContent(programDir);
        setRecord(exampleRecord);
    }

    QString settingsFile() const { return programDir + QStringLiteral("/SETTING/set.dat"); }
    void setRecord(const QString &record) { writeFile(settingsFile(), gbk(record)); }

    void start() {
        TrainerProgramParts parts;
        parts.programDir = programDir;
        parts.chooseBackend = [] {
            return ChosenBackend{std::make_unique<FakeVoiceBackend>(VoiceBackend::Unit::Seconds),
                                 1};
        };
        parts.readScreen = [this] { return screen; };
        parts.makeRecorder = [] { return std::make_unique<FakeVoiceRecorder>(); };
        parts.timers = WindowTimers{&Timer1, &Timer2, &Timer3, &endShot};
        parts.messageSink = [this](const QString &text, const QString &, MessageIcon) {
            messages << text;
            windowVisibleAtMessage
                << (program && program->window() && program->window()->isVisible());
        };
        parts.launcher.startDetached = [this](const QString &path) {
            started << path;
            return programsExist;
        };
        parts.launcher.openUrl = [this](const QUrl &url) {
            opened << url;
            return true;
        };
        program = std::make_unique<TrainerProgram>(std::move(parts), sounds);
        program->start();
    }

    TrainerWindow *window() const { return program->window(); }
    const TrainerState &state() const { return window()->state(); }
    FakeVoiceBackend &fake() {
        return static_cast<FakeVoiceBackend &>(program->player()->backend());
    }
    bool shown(const char *name) const {
        auto *w = window()->findChild<QWidget *>(QString::fromLatin1(name));
        return w && w->isVisibleTo(window());
    }
    QWidget *item(int i) const { return window()->functionMenu()->itemArea(i); }
    void menu(int i) { click(item(i)); }

    QTemporaryDir dir;
    QString programDir;
    ScreenReading screen; // 96 dpi, a large screen
    RecordingShortSoundPlayer sounds;
    ManualTicker Timer1{30};
    ManualTicker Timer2{10};
    ManualTicker Timer3{10};
    ManualTicker endShot{1};
    std::unique_ptr<TrainerProgram> program;
    QStringList messages;
    QList<bool> windowVisibleAtMessage;
    QStringList started;
    QList<QUrl> opened;
    bool programsExist = true;
};

TEST_F(TrainerProgramTest, RestoresTheRecordAndWritesItBackOnClose) {
    start();
    const TrainerState &s = state();
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(s.studyMode, 1);
    EXPECT_EQ(program->player()->WmpEnable, 1);
    EXPECT_EQ(program->player()->playerKind, 2);
    EXPECT_TRUE(window()->isVisible());
    EXPECT_TRUE(window()->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(window()->size(), QSize(780, 555));

    CatalogueView *catalogue = window()->catalogue();
    EXPECT_EQ(catalogue->Combo1()->currentText(), demoBook);
    EXPECT_EQ(catalogue->List1()->currentRow(), 3);
    EXPECT_EQ(catalogue->TreeView1()->currentItem(),
              catalogue->TreeView1()->topLevelItem(0)->child(3));
    EXPECT_EQ(s.lessonIndex, 3);
    EXPECT_EQ(s.currentSentence, 1);

    // The options and their pictures: English hint on, Chinese hint off, Chinese lines on,
    // the follow-read Chinese hint off.
    const StudyViewState &v = s.view;
    EXPECT_EQ(v.Check1.value, 1);
    EXPECT_EQ(v.Check2.value, 0);
    EXPECT_EQ(v.Check3.value, 1);
    EXPECT_EQ(v.Check4.value, 0);
    StudyArea *area = window()->studyArea();
    EXPECT_EQ(area->twin(1)->picturePath(), QStringLiteral("bitmap/1.jpg"));
    EXPECT_EQ(area->twin(2)->picturePath(), QStringLiteral("bitmap/0.jpg"));
    EXPECT_EQ(v.Image13.path, QStringLiteral("bitmap/0.jpg"));
    EXPECT_TRUE(shown("Label1"));
    EXPECT_FALSE(shown("Label2")); // Chinese hint off
    EXPECT_EQ(area->Combo5()->currentText(), QStringLiteral("80"));
    EXPECT_EQ(s.playback.studyRepeats, QStringLiteral("2"));
    EXPECT_EQ(s.playback.studyPause, QStringLiteral("3"));
    EXPECT_EQ(s.playback.browseRepeats, QStringLiteral("1"));
    EXPECT_EQ(s.playback.browsePause, QStringLiteral("0"));
    EXPECT_EQ(area->Combo2()->currentText(), QStringLiteral("2"));

    QFile::remove(settingsFile());
    window()->close();
    EXPECT_TRUE(window()->unloaded());
    EXPECT_EQ(
        orvessaSettingsRecord(parseOrvessaSettings(readSettingsFile(settingsFile())).appliedTo({})),
        exampleRecord);
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(fake().calls.last(), QStringLiteral("pause")); // playback ended
}

// What killed writes left where the program writes goes at start-up, once it is a minute
// old; the demo book's list, moved aside by an import that was killed, is back in the
// catalogue with the learner's lesson selected.
TEST_F(TrainerProgramTest, StartUpClearsWhatKilledWritesLeft) {
    const QString list =
        programDir + QStringLiteral("/SETTING/BookList/") + demoBook + QStringLiteral(".dat");
    const QString old = programDir + QStringLiteral("/SETTING/set.dat.k3x9a.tmp");
    const QString young = programDir + QStringLiteral("/SETTING/set.dat.young1.tmp");
    const QString conversion = programDir + QStringLiteral("/Sound/") + demoBook +
                               QStringLiteral("/.9.mp3.importing.Ab12Cd");
    ASSERT_TRUE(QFile::rename(list, list + QStringLiteral(".previous")));
    writeFile(old, "x");
    writeFile(young, "x");
    writeFile(conversion, QByteArray(4096, 'x'));
    for (const QString &path : {list + QStringLiteral(".previous"), old, conversion}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-120),
                                     QFileDevice::FileModificationTime));
    }
    start();
    EXPECT_EQ(window()->catalogue()->Combo1()->currentText(), demoBook);
    EXPECT_EQ(window()->catalogue()->List1()->currentRow(), 3);
    EXPECT_TRUE(QFileInfo::exists(list));
    EXPECT_FALSE(QFileInfo::exists(list + QStringLiteral(".previous")));
    EXPECT_FALSE(QFileInfo::exists(old));
    EXPECT_FALSE(QFileInfo::exists(conversion));
    EXPECT_TRUE(QFileInfo::exists(young)); // perhaps mini saving right now
    window()->close();
}

TEST_F(TrainerProgramTest, WithoutSettingsTheInitialValuesAreWritten) {
    QFile::remove(settingsFile());
    start();
    EXPECT_EQ(window()->catalogue()->Combo1()->currentText(), QStringLiteral("商务英语900句"));
    EXPECT_EQ(window()->catalogue()->List1()->count(), 0);
    EXPECT_EQ(window()->catalogue()->TreeView1()->currentItem(),
              window()->catalogue()->TreeView1()->topLevelItem(0));
    EXPECT_EQ(window()->studyArea()->Combo5()->currentText(), QStringLiteral("60"));
    window()->close();
    EXPECT_EQ(readSettingsFile(settingsFile()),
              QStringLiteral("-1\\1\\1\\\\\\\\\\1\\1\\商务英语900句\\60\\\r\n"));
}

TEST_F(TrainerProgramTest, RecordsCutShortAndOddTextsRoundTrip) {
    struct Row {
        const char16_t *record;
        int lessonRow;          // List1's selection after start-up
        const char16_t *pass;   // Combo5's text
        const char16_t *stored; // the record written on close
    };
    const Row rows[] = {
        // The last separator missing: everything but the pass mark.
        {u"3\\1\\0\\2\\3\\1\\0\\1\\0\\英语900句\\80", 3, u"60",
         u"3\\1\\0\\2\\3\\1\\0\\1\\0\\英语900句\\60\\"},
        // Numbers read as numbers: "02" goes back as 2; a pass mark that is no item kept.
        {u"0\\1\\1\\02\\ 4x\\1\\0\\1\\1\\英语900句\\85\\", 0, u"85",
         u"0\\1\\1\\2\\4\\1\\0\\1\\1\\英语900句\\85\\"},
        // No lesson: the list without selection, the tree's root current.
        {u"-1\\1\\1\\1\\0\\1\\0\\1\\1\\英语900句\\70\\", -1, u"70",
         u"-1\\1\\1\\1\\0\\1\\0\\1\\1\\英语900句\\70\\"},
        // A pass mark below 60, empty or no number is held at 60 from the start.
        {u"3\\1\\0\\2\\3\\1\\0\\1\\0\\英语900句\\5\\", 3, u"60",
         u"3\\1\\0\\2\\3\\1\\0\\1\\0\\英语900句\\60\\"},
        {u"3\\1\\0\\2\\3\\1\\0\\1\\0\\英语900句\\\\", 3, u"60",
         u"3\\1\\0\\2\\3\\1\\0\\1\\0\\英语900句\\60\\"},
        {u"3\\1\\0\\2\\3\\1\\0\\1\\0\\英语900句\\abc\\", 3, u"60",
         u"3\\1\\0\\2\\3\\1\\0\\1\\0\\英语900句\\60\\"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(QString::fromUtf16(row.record).toStdString());
        setRecord(QString::fromUtf16(row.record));
        start();
        EXPECT_EQ(window()->catalogue()->List1()->currentRow(), row.lessonRow);
        if (row.lessonRow < 0) {
            EXPECT_EQ(window()->catalogue()->TreeView1()->currentItem(),
                      window()->catalogue()->TreeView1()->topLevelItem(0));
        }
        EXPECT_EQ(window()->studyArea()->Combo5()->currentText(), QString::fromUtf16(row.pass));
        window()->close();
        EXPECT_EQ(readSettingsFile(settingsFile()), QString::fromUtf16(row.stored) + "\r\n");
        program.reset();
    }

    // Closed while "5" is still being typed: 60 is stored, and nothing is said over the
    // closing window.
    setRecord(QString::fromUtf16(rows[0].stored));
    start();
    QLineEdit *passMark = window()->studyArea()->Combo5()->lineEdit();
    passMark->setFocus();
    passMark->setText(QStringLiteral("5"));
    messages.clear();
    window()->close();
    EXPECT_TRUE(readSettingsFile(settingsFile()).endsWith(QStringLiteral("\\60\\\r\n")));
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
}

TEST_F(TrainerProgramTest, AFailedSaveIsToldOnceAndTheWindowStillCloses) {
    start();
    const QString setting = programDir + QStringLiteral("/SETTING");
    ASSERT_TRUE(QDir(setting).removeRecursively());
    window()->close();
    EXPECT_TRUE(window()->unloaded());
    EXPECT_FALSE(window()->isVisible());
    EXPECT_EQ(messages.size(), 1);
    EXPECT_FALSE(QFileInfo::exists(settingsFile()));
    // A second close saves nothing more.
    window()->close();
    EXPECT_EQ(messages.size(), 1);
}

TEST_F(TrainerProgramTest, DisplayCheckTellsBeforeTheWindowShowsOnlyWhereScalingCannotHelp) {
    struct Row {
        double logicalDpi, ratio;
        QSize available;
        bool message;
    };
    const Row rows[] = {
        {96, 1.0, {1024, 700}, false},  // the design
        {96, 1.5, {1280, 700}, false},  // 144 dpi, scaled by Qt, fits
        {96, 1.25, {1024, 720}, false}, // 120 dpi, scaled
        {96, 1.5, {700, 500}, true},    // scaled, but the screen is too small for it
        {144, 1.0, {1600, 900}, true},  // 144 dpi with Qt's scaling turned off
        {96, 1.0, {640, 480}, false},   // 96 dpi: never the dpi message
    };
    for (const Row &row : rows) {
        ScreenReading reading;
        reading.logicalDpi = row.logicalDpi;
        reading.devicePixelRatio = row.ratio;
        reading.available = row.available;
        EXPECT_EQ(displayMessageNeeded(reading, TrainerProgram::designSize), row.message)
            << row.logicalDpi << " x " << row.ratio;
    }
    EXPECT_EQ((ScreenReading{96, 1.5, {}}.screenDpi()), 144);

    screen = ScreenReading{120, 1.0, {1920, 1080}};
    start();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0], displayMessageText());
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("您的系统DPI非标准值")));
    EXPECT_EQ(messages[0].count(QStringLiteral("\r\n")), 4);
    EXPECT_FALSE(windowVisibleAtMessage[0]);
    // Start-up went on normally.
    EXPECT_TRUE(window()->isVisible());
    EXPECT_EQ(state().lessonIndex, 3);
}

TEST_F(TrainerProgramTest, EveryMenuItemLaysOutItsModeAndMovesTheMarker) {
    start();
    struct Row {
        int item;
        int mode;
        bool lessonPanel, sentenceView, followRead, voiceOptions, passMark;
        bool paused;
    };
    const Row rows[] = {
        {2, 2, true, false, false, false, false, true},
        {3, 3, true, false, false, false, false, true},
        {4, 4, true, false, false, false, false, true},
        {5, 5, false, false, true, false, false, true},
        {8, 8, false, true, false, false, true, false},
        {7, 8, false, true, false, false, true, false}, // no mode: the dictation stays
        {6, 6, false, false, false, true, false, true}, // the page covers the area
        {1, 1, false, true, false, false, false, true},
        {1, 1, false, true, false, false, false, true}, // the current item still rebuilds
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.item);
        moveOver(window()); // item 7 enabled again
        fake().calls.clear();
        menu(row.item);
        EXPECT_EQ(state().studyMode, row.mode);
        EXPECT_EQ(shown("Picture5"), row.lessonPanel);
        EXPECT_EQ(shown("Shape3"), row.sentenceView);
        EXPECT_EQ(shown("Picture4"), row.followRead);
        EXPECT_EQ(shown("Picture11"), row.voiceOptions);
        EXPECT_EQ(shown("PassMark"), row.passMark);
        EXPECT_EQ(fake().calls.contains(QStringLiteral("pause")), row.paused);
        // The sentence-end watch stops; only the dictation starts it again, for sentence 1.
        EXPECT_EQ(Timer1.isActive(), row.mode == 8);
        const int marked = row.item == 7 ? row.mode : row.item; // item 7 keeps the marker
        EXPECT_EQ(window()->functionMenu()->currentItem(), marked);
        EXPECT_EQ(window()->functionMenu()->markerLeft(), FunctionMenu::itemLeft(marked) - 60);
    }
    EXPECT_EQ(started, QStringList{programDir + QStringLiteral("/sorvik")});
}

TEST_F(TrainerProgramTest, DictationStartsOnSentenceOneWithoutPausing) {
    start();
    TrainerState &s = window()->state();
    QPushButton *next = window()->studyArea()->command(1);
    click(next);
    click(next);
    ASSERT_EQ(s.currentSentence, 3);
    s.passedCount = 2;
    fake().calls.clear();
    menu(8);
    EXPECT_EQ(s.currentSentence, 1);
    EXPECT_EQ(s.passedCount, 0);
    EXPECT_EQ(s.passFraction, 0);
    EXPECT_EQ(s.view.Label1.text, s.sentences.entry(1).english);
    EXPECT_FALSE(fake().calls.contains(QStringLiteral("pause")));
    EXPECT_TRUE(fake().calls.contains(QStringLiteral("play"))); // sentence 1 plays
    EXPECT_TRUE(s.Command1.enabled);
    EXPECT_TRUE(s.Command14.enabled);
    EXPECT_FALSE(s.Command2.enabled);
    EXPECT_FALSE(s.Command13.enabled);
}

TEST_F(TrainerProgramTest, CompanionStartsOnceUntilTheMouseMovesOn) {
    start();
    FunctionMenu *menuStrip = window()->functionMenu();
    menu(7);
    menu(7);
    moveOver(item(7)); // over item 7 itself: still disabled
    menu(7);
    EXPECT_EQ(started.size(), 1);
    EXPECT_FALSE(menuStrip->item7Enabled());
    EXPECT_TRUE(messages.isEmpty());

    moveOver(item(2)); // any other menu item enables it
    EXPECT_TRUE(menuStrip->item7Enabled());
    menu(7);
    EXPECT_EQ(started.size(), 2);
    moveOver(window()->studyArea()); // the background enables it
    EXPECT_TRUE(menuStrip->item7Enabled());
    menu(7);
    menu(6); // the voice options page enables it too
    EXPECT_TRUE(menuStrip->item7Enabled());
    EXPECT_EQ(started.size(), 3);
    // Item 7 lies inside the window.
    EXPECT_TRUE(window()->rect().contains(item(7)->geometry()));
}

TEST_F(TrainerProgramTest, TextButtonsPressInAndStartTheirTargets) {
    start();
    FunctionMenu *strip = window()->functionMenu();
    struct Row {
        TextButton *button;
        QString started;
        QString opened;
    };
    const Row rows[] = {
        {strip->miniButton(), programDir + QStringLiteral("/mini"), QString()},
        {strip->moreButton(), QString(), programDir + QStringLiteral("/help/index.html")},
        {window()->studyArea()->sampleButton(), QString(),
         programDir + QStringLiteral("/Sound/英语900句/demo.mp3")},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.button->caption().toStdString());
        started.clear();
        opened.clear();
        const QPoint rest = row.button->pos();
        press(row.button);
        EXPECT_EQ(row.button->pos(), rest + QPoint(1, 1)); // 15 twips right and down
        EXPECT_TRUE(started.isEmpty() && opened.isEmpty());
        releaseOn(row.button);
        EXPECT_EQ(row.button->pos(), rest);
        EXPECT_EQ(started, row.started.isEmpty() ? QStringList() : QStringList{row.started});
        EXPECT_EQ(opened, row.opened.isEmpty() ? QList<QUrl>()
                                               : QList<QUrl>{QUrl::fromLocalFile(row.opened)});
    }
    // The help page ships with the program.
    EXPECT_TRUE(QFileInfo::exists(QStringLiteral(ORVESSA_SOURCE_DIR "/content/help/index.html")));
}

TEST_F(TrainerProgramTest, BackgroundDragsWithTheLeftButtonOnly) {
    start();
    QWidget *w = window();
    w->move(100, 100);
    QWidget *area = window()->studyArea();
    const QPoint at(5, 5);
    // The right button records the origin but does not move the window.
    press(area, Qt::RightButton, at);
    moveOver(area, at + QPoint(30, 20), Qt::RightButton);
    releaseOn(area, Qt::RightButton, at + QPoint(30, 20));
    EXPECT_EQ(w->pos(), QPoint(100, 100));

    press(area, Qt::LeftButton, at);
    moveOver(area, at + QPoint(30, 20), Qt::LeftButton);
    EXPECT_EQ(w->pos(), QPoint(130, 120));
    releaseOn(area, Qt::LeftButton, at + QPoint(30, 20));

    // A press on a control does not drag.
    PictureLabel *twin = window()->studyArea()->twin(1);
    press(twin, Qt::LeftButton, at);
    moveOver(twin, at + QPoint(40, 0), Qt::LeftButton);
    EXPECT_EQ(w->pos(), QPoint(130, 120));
}

TEST_F(TrainerProgramTest, HoverFrameShowsAtStartAndGoesAtTheFirstMove) {
    start();
    EXPECT_TRUE(window()->hoverFrameVisible());
    moveOver(window()->functionMenu()->itemArea(2)); // a menu item is no background
    EXPECT_TRUE(window()->hoverFrameVisible());
    moveOver(window()->findChild<QLabel *>(QStringLiteral("Label37")));
    EXPECT_FALSE(window()->hoverFrameVisible());
}

TEST_F(TrainerProgramTest, CloseAndMinimiseButtons) {
    start();
    window()->functionMenu()->minimiseButton()->click();
    EXPECT_TRUE(window()->isMinimized());
    window()->functionMenu()->closeButton()->click();
    EXPECT_TRUE(window()->unloaded());
    EXPECT_FALSE(window()->isVisible());
}

TEST(QuitSignalsTest, TerminationSignalAsksTheWindowToClose) {
    int requests = 0;
    {
        QuitSignals signals([&requests] { ++requests; });
        ASSERT_TRUE(signals.signalsWatched());
        ASSERT_EQ(::raise(SIGTERM), 0);
        QElapsedTimer clock;
        clock.start();
        while (requests == 0 && clock.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        EXPECT_EQ(requests, 1);
        ASSERT_EQ(::raise(SIGINT), 0);
        clock.restart();
        while (requests == 1 && clock.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        EXPECT_EQ(requests, 2);
    }
}

TEST_F(TrainerProgramTest, EveryChangedControlIsWrittenToItsOwnField) {
    // A second listed book with the demo's lessons, so that the book and lesson can change.
    const QString otherBook = QStringLiteral("新英语900句");
    programdir::addDemoBookAs(programDir, programDir, otherBook, QStringLiteral("^甲^乙^丙^丁^"));
    start();
    StudyArea *area = window()->studyArea();
    const auto pick = [](QComboBox *combo, const char *text) {
        const int index = combo->findText(QString::fromUtf8(text));
        ASSERT_GE(index, 0) << text;
        combo->setCurrentIndex(index); // as a pick in the list does, before it activates
        Q_EMIT combo->activated(index);
    };
    pick(area->Combo2(), "5"); // sentence study
    pick(area->Combo3(), "7");
    click(area->twin(1)); // English hint off
    click(area->twin(2)); // Chinese hint on
    menu(2);
    pick(area->Combo2(), "4"); // full-text browsing
    pick(area->Combo3(), "6");
    click(area->twin(3)); // Chinese lines off
    menu(5);
    click(window()->findChild<PictureLabel *>(QStringLiteral("Label24"))); // follow-read hint on
    area->Combo5()->setCurrentIndex(area->Combo5()->findText(QStringLiteral("90")));
    CatalogueView *catalogue = window()->catalogue();
    pick(catalogue->Combo1(), "新英语900句");
    Timer3.tick();
    catalogue->List1()->setCurrentRow(2);
    catalogue->listReleased();
    ASSERT_EQ(state().lessonIndex, 2);

    window()->close();
    const std::vector<std::optional<QString>> fields =
        cutSettingsFields(readSettingsFile(settingsFile()), orvessaSettingsFields);
    const std::pair<const char *, QString> expected[] = {
        {"lesson index", QStringLiteral("2")},     {"English hint", QStringLiteral("0")},
        {"Chinese hint", QStringLiteral("1")},     {"study repeats", QStringLiteral("5")},
        {"study pause", QStringLiteral("7")},      {"browse repeats", QStringLiteral("4")},
        {"browse pause", QStringLiteral("6")},     {"Chinese lines", QStringLiteral("0")},
        {"follow-read hint", QStringLiteral("1")}, {"book", otherBook},
        {"pass mark", QStringLiteral("90")},
    };
    ASSERT_EQ(fields.size(), std::size(expected));
    for (size_t k = 0; k < fields.size(); ++k)
        EXPECT_EQ(fields[k].value_or(QStringLiteral("<none>")), expected[k].second)
            << "field " << k + 1 << ", " << expected[k].first;
}

TEST_F(TrainerProgramTest, APressOnAControlNeverDragsTheWindow) {
    start();
    QWidget *w = window();
    QWidget *area = window()->studyArea();
    menu(2); // the lesson panel shows
    struct Case {
        const char *name;
        QWidget *target; // nullptr: no press at all, the button comes in held
    };
    const Case cases[] = {
        {"push button", window()->studyArea()->command(6)},
        {"sentence canvas", window()->lessonPanel()->canvas()},
        {"text button", window()->functionMenu()->moreButton()},
        {"no press", nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        w->move(100, 100);
        // An earlier drag of the background, ended.
        press(area, Qt::LeftButton, {5, 5});
        releaseOn(area, Qt::LeftButton, {5, 5});
        QWidget *target = c.target ? c.target : area;
        if (c.target)
            press(target, Qt::LeftButton, {3, 3});
        moveOver(target, {250, 120}, Qt::LeftButton);
        EXPECT_EQ(w->pos(), QPoint(100, 100));
        releaseOn(target, Qt::LeftButton, {250, 120});
    }
}

TEST_F(TrainerProgramTest, HoverFrameGoesOverTheListTheCanvasLabelsAndBackground) {
    struct Case {
        const char *name;
        std::function<QWidget *()> target;
        bool hides;
    };
    const Case cases[] = {
        {"lesson list", [&] { return window()->catalogue()->List1()->viewport(); }, true},
        {"sentence canvas",
         [&] { return static_cast<QWidget *>(window()->lessonPanel()->canvas()); }, true},
        {"label", [&] { return window()->findChild<QWidget *>(QStringLiteral("Label37")); }, true},
        {"background", [&] { return window()->studyArea(); }, true},
        {"menu item", [&] { return window()->functionMenu()->itemArea(2); }, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        program.reset();
        start();
        ASSERT_TRUE(window()->hoverFrameVisible());
        for (int k = 28; k <= 31; ++k) {
            auto *line = window()->findChild<QWidget *>(QStringLiteral("Line%1").arg(k));
            ASSERT_TRUE(line) << k;
            EXPECT_TRUE(line->isVisibleTo(window())) << k;
        }
        moveOver(c.target());
        EXPECT_EQ(window()->hoverFrameVisible(), !c.hides);
        for (int k = 28; k <= 31; ++k) {
            auto *line = window()->findChild<QWidget *>(QStringLiteral("Line%1").arg(k));
            EXPECT_EQ(line->isVisibleTo(window()), !c.hides) << k;
        }
    }
}

// Reads which signals a process catches (/proc/<pid>/status, SigCgt).
bool catchesSigterm(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (SIGTERM - 1)) & 1u;
    }
    return false;
}

// The desktop ending the program: the record is saved and the program ends; when the save
// fails, it says so on standard error instead of waiting in a message box for a click.
TEST(TrainerProgramProcess, TerminationSignalSavesTheRecordAndEndsCleanly) {
    const QString bin = QStringLiteral(ORVESSA_BIN_DIR);
    if (!QFileInfo(bin + QStringLiteral("/orvessa")).isExecutable())
        GTEST_SKIP() << "the program is not built";
    for (const bool saveFails : {false, true}) {
        SCOPED_TRACE(saveFails ? "the save fails" : "the save works");
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString programDir = dir.path();
        copyDemoContent(programDir);
        ASSERT_TRUE(
            QFile::copy(bin + QStringLiteral("/orvessa"), programDir + QStringLiteral("/orvessa")));
        // "02" is written back as 2: the record on disk afterwards is the program's own.
        const QString settings = programDir + QStringLiteral("/SETTING/set.dat");
        writeFile(settings, gbk(QStringLiteral("3\\1\\0\\02\\3\\1\\0\\1\\0\\英语900句\\80\\")));

        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(env);
        process.start(programDir + QStringLiteral("/orvessa"), {});
        ASSERT_TRUE(process.waitForStarted(10000));
        QElapsedTimer clock;
        clock.start();
        while (!catchesSigterm(process.processId()) && clock.elapsed() < 20000 &&
               process.state() == QProcess::Running)
            QThread::msleep(20);
        ASSERT_TRUE(catchesSigterm(process.processId()))
            << "the program never listened for SIGTERM";
        if (saveFails) {
            ASSERT_TRUE(QDir(programDir + QStringLiteral("/SETTING")).removeRecursively());
        }

        ASSERT_EQ(::kill(pid_t(process.processId()), SIGTERM), 0);
        const bool finished = process.waitForFinished(30000);
        if (!finished)
            process.kill();
        ASSERT_TRUE(finished);
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0);
        const QString errors = QString::fromUtf8(process.readAllStandardError());
        EXPECT_EQ(errors.contains(QStringLiteral("设置未能保存")), saveFails)
            << errors.toStdString();
        if (!saveFails) {
            EXPECT_EQ(readSettingsFile(settings),
                      QStringLiteral("3\\1\\0\\2\\3\\1\\0\\1\\0\\英语900句\\80\\\r\n"));
        }
    }
}

} // namespace
