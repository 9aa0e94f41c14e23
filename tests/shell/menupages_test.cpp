#include "audio/fakevoicebackend.h"
#include "audio/voiceplayer.h"
#include "content/settingsrecord.h"
#include "shell/catalogueview.h"
#include "shell/functionmenu.h"
#include "shell/keycapture.h"
#include "shell/studyarea.h"
#include "shell/trainerwindow.h"
#include "support/programdirfixture.h"
#include "support/qstringprinter.h"
#include "support/windowfakes.h"
#include "text/fonts.h"
#include "widgets/lessonpanel.h"
#include "widgets/picturelabel.h"
#include "widgets/textbutton.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

// The window as a pointer meets it: presses are delivered where the window's own hit test
// (childAt) says they land, as a real pointer's are, never handed to a control directly.
namespace {

void sendAt(QWidget *window, QEvent::Type type, QPoint at, Qt::MouseButtons held) {
    QWidget *target = window->childAt(at);
    if (!target)
        target = window;
    const QPoint local = target->mapFrom(window, at);
    QMouseEvent event(type, QPointF(local), window->mapToGlobal(QPointF(at)), Qt::LeftButton, held,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

// A left click at a point of the window.
void clickAt(QWidget *window, QPoint at) {
    sendAt(window, QEvent::MouseButtonPress, at, Qt::LeftButton);
    sendAt(window, QEvent::MouseButtonRelease, at, Qt::NoButton);
}

// A left click on the middle of what the learner sees as w.
void clickOn(QWidget *window, QWidget *w) {
    clickAt(window, w->mapTo(window, w->rect().center()));
}

// What a learner can see and point at: controls and texts, not the cards and frames
// drawn behind them, nor what lets the pointer through.
bool isControl(QWidget *w) {
    if (w->testAttribute(Qt::WA_TransparentForMouseEvents))
        return false;
    if (auto *label = qobject_cast<QLabel *>(w))
        return !label->text().isEmpty() || !label->pixmap().isNull();
    return qobject_cast<QAbstractButton *>(w) || qobject_cast<QComboBox *>(w) ||
           qobject_cast<QLineEdit *>(w) || qobject_cast<QAbstractItemView *>(w) ||
           dynamic_cast<AccessibleControl *>(w);
}

// The visible controls whose middle the pointer does not reach: another widget lies over
// them there.
QStringList coveredControls(QWidget *window) {
    QStringList covered;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (!w->isVisibleTo(window) || !isControl(w) || w->window() != window)
            continue;
        const QPoint middle = w->mapTo(window, w->rect().center());
        QWidget *hit = window->childAt(middle);
        if (hit != w && !w->isAncestorOf(hit)) {
            covered << QStringLiteral("%1 '%2' under %3 '%4'")
                           .arg(QString::fromLatin1(w->metaObject()->className()), w->objectName(),
                                hit ? QString::fromLatin1(hit->metaObject()->className())
                                    : QStringLiteral("nothing"),
                                hit ? hit->objectName() : QString());
        }
    }
    return covered;
}

class MenuPagesTest : public ::testing::Test, protected TrainerWindowFakes {
protected:
    void SetUp() override {
        installFontSubstitutions();
        ASSERT_TRUE(dir.isValid());
        programdir::copyDemoContent(dir.path());
    }

    void start(VoiceBackend::Unit unit = VoiceBackend::Unit::Seconds) {
        player = std::make_unique<VoicePlayer>(Program::Orvessa,
                                               std::make_unique<FakeVoiceBackend>(unit));
        window = std::make_unique<TrainerWindow>(DataPlaces::portable(dir.path()), *player, sounds,
                                                 recorder, timers());
        window->messageSink = [this](const QString &text, const QString &, MessageIcon) {
            messages << text;
        };
        window->launcher.startDetached = [this](const QString &path) {
            started << path;
            return companionStarts;
        };
        window->launcher.openUrl = [this](const QUrl &url) {
            opened << url;
            return desktopOpens;
        };
        window->engines.available = [this](VoiceEngine engine) {
            return engine == VoiceEngine::MediaPlayer ? mediaPlayerAvailable : fallbackAvailable;
        };
        window->engines.make = [this](VoiceEngine engine) -> std::unique_ptr<VoiceBackend> {
            ++enginesMade;
            return std::make_unique<FakeVoiceBackend>(engine == VoiceEngine::MediaPlayer
                                                          ? VoiceBackend::Unit::Seconds
                                                          : VoiceBackend::Unit::Milliseconds);
        };
        window->startup();
    }

    FakeVoiceBackend &fake() { return static_cast<FakeVoiceBackend &>(player->backend()); }
    TrainerState &state() { return window->state(); }
    StudyArea *area() const { return window->studyArea(); }
    QWidget *findShown(const char *name) const {
        auto *w = window->findChild<QWidget *>(QString::fromLatin1(name));
        return w && w->isVisibleTo(window.get()) ? w : nullptr;
    }
    void menu(int item) { clickOn(window.get(), window->functionMenu()->itemArea(item)); }
    // A letter typed into the typing box, as the dictation's first key is.
    void typeLetter() {
        QKeyEvent event(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QApplication::sendEvent(area()->Text2(), &event);
    }
    // Every visible widget of the study area that is not the voice options page or on it.
    QStringList shownBesideThePage() const {
        QWidget *page = window->findChild<QWidget *>(QStringLiteral("Picture11"));
        QStringList shown;
        for (QWidget *w : area()->findChildren<QWidget *>()) {
            if (w->isVisibleTo(window.get()) && w != page && !page->isAncestorOf(w))
                shown << QString::fromLatin1(w->metaObject()->className()) + u' ' + w->objectName();
        }
        return shown;
    }

    QTemporaryDir dir;
    std::unique_ptr<VoicePlayer> player;
    std::unique_ptr<TrainerWindow> window;
    QStringList messages;
    QStringList started;
    QList<QUrl> opened;
    bool companionStarts = true;
    bool desktopOpens = true;
    bool mediaPlayerAvailable = true;
    bool fallbackAvailable = true;
    int enginesMade = 0;
};

// Whatever mode comes before, each page shows only what is its own, and every control that
// shows is the one a pointer reaches at its middle: nothing lies under another widget.
TEST_F(MenuPagesTest, EveryVisibleControlIsWhatThePointerReaches) {
    start();
    window->show();
    const std::vector<int> journeys[] = {
        {1},    {2},    {3},    {4},    {5},       {8},    {6},    {1, 6},
        {2, 6}, {8, 6}, {5, 6}, {8, 5}, {8, 6, 5}, {6, 8}, {2, 7}, {8, 7},
    };
    for (const std::vector<int> &items : journeys) {
        std::string trace;
        for (int item : items) {
            trace += std::to_string(item) + ' ';
            menu(item);
            if (item == 8) {
                typeLetter(); // the first key of the test shows the key-hint bar
                EXPECT_NE(findShown("Picture12"), nullptr);
            }
        }
        SCOPED_TRACE(trace);
        EXPECT_EQ(coveredControls(window.get()).join(u'\n').toStdString(), "");
        // The keys go to what the learner can see (or to the one-pixel key catcher).
        QWidget *focus = window->focusWidget();
        EXPECT_TRUE(!focus || focus->isVisibleTo(window.get()))
            << focus->objectName().toStdString();
        // The follow-read page is the area: the dictation's key-hint bar is not over it.
        if (items.back() == 5) {
            EXPECT_EQ(findShown("Picture12"), nullptr);
            EXPECT_NE(findShown("Picture4"), nullptr);
        }
    }
    // The follow-read page's own sentence moves keep the keys off the covered typing box.
    QApplication::setActiveWindow(window.get());
    EXPECT_TRUE(window->isActiveWindow());
    menu(1);
    menu(5);
    clickOn(window.get(), area()->command(14));
    ASSERT_EQ(state().currentSentence, 2);
    EXPECT_EQ(window->focusWidget(), window->Combo4());
}

// After any mode, the voice options page is all the area shows: no dictation buttons,
// counters or key hints, no full-text reading or display options, no shortcut line; and a
// click where one of those lay does nothing.
TEST_F(MenuPagesTest, TheVoiceOptionsPageCoversWhatLiesUnderIt) {
    start();
    window->show();
    struct Row {
        int before;
        int command; // a button of the mode before, clicked where it lay
    };
    const Row rows[] = {{1, 4}, {2, 6}, {8, 22}, {5, 8}, {3, 16}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.before);
        menu(row.before);
        if (row.before == 8)
            typeLetter();
        QPushButton *button = area()->command(row.command);
        ASSERT_TRUE(button->isVisibleTo(window.get()));
        const QPoint where = button->mapTo(window.get(), button->rect().center());
        menu(6);
        EXPECT_EQ(shownBesideThePage().join(u'\n').toStdString(), "");
        EXPECT_NE(findShown("SampleButton"), nullptr);
        const int replays = state().dictation.replayCount;
        fake().calls.clear();
        clickAt(window.get(), where);
        EXPECT_EQ(state().dictation.replayCount, replays);
        EXPECT_EQ(fake().calls.filter(QStringLiteral("play")), QStringList());
        EXPECT_FALSE(recorder.isRecording());
        EXPECT_EQ(state().studyMode, 6);
    }
    // Leaving the page brings back the mode's own controls.
    menu(8);
    EXPECT_NE(findShown("Command22"), nullptr);
    EXPECT_EQ(findShown("Picture11"), nullptr);
    menu(2);
    EXPECT_NE(findShown("Command6"), nullptr);
}

// The page's speed options are the main window's speed: a click in either place changes
// the rate, and both places show the speed in force.
TEST_F(MenuPagesTest, PageSpeedIsTheMainWindowsSpeed) {
    start();
    window->show();
    struct Row {
        bool onPage; // clicked on the voice options page, else on sentence study's Label20
        int k;       // 0 slow, 1 normal, 2 fast
        double rate;
    };
    const Row rows[] = {{true, 0, 0.5}, {false, 2, 2.0}, {true, 1, 1.0}, {false, 0, 0.5}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.k);
        menu(row.onPage ? 6 : 1);
        clickOn(window.get(), row.onPage ? area()->pageSpeedOption(row.k) : area()->Label20(row.k));
        EXPECT_EQ(fake().rate, row.rate);
        for (int page : {6, 1}) {
            menu(page);
            for (int k = 0; k < 3; ++k) {
                const QString picture = k == row.k ? "bitmap/t.jpg" : "bitmap/f.jpg";
                EXPECT_EQ(area()->pageSpeedOption(k)->picturePath(), picture) << page << k;
                EXPECT_EQ(area()->Label20(k)->picturePath(), picture) << page << k;
            }
        }
    }
}

// The engine options switch the lesson player at once, keeping the lesson, the sentence
// and the place, whether it plays or not; units follow the engine (playerKind), and
// nothing of it is stored.
TEST_F(MenuPagesTest, EngineOptionsSwitchTheLessonPlayerKeepingItsPlace) {
    start();
    window->show();
    const QString record = orvessaSettingsRecord(window->liveSettings());
    const QString lesson = player->voiceFile;
    ASSERT_FALSE(lesson.isEmpty());
    QPushButton *next = area()->command(1);
    clickOn(window.get(), next);
    clickOn(window.get(), next);
    ASSERT_EQ(state().currentSentence, 3);
    const SentenceTimes times = *state().sentences.times(3);

    struct Row {
        int engine;
        bool playing;
        int playerKind;
        bool switches; // a new engine is made; the one in force is kept as it is
    };
    const Row rows[] = {{1, false, 1, true},
                        {0, false, 2, true},
                        {1, true, 1, true},
                        {1, true, 1, false},
                        {0, true, 2, true}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.engine);
        menu(6);
        const double seconds = fake().position() / player->toPlayerUnits(1.0);
        if (row.playing)
            fake().play();
        const int made = enginesMade;
        clickOn(window.get(), area()->engineOption(row.engine));
        EXPECT_EQ(player->playerKind, row.playerKind);
        EXPECT_EQ(enginesMade, made + (row.switches ? 1 : 0));
        EXPECT_EQ(fake().openedFile, lesson);
        EXPECT_EQ(fake().isPlaying(), row.playing);
        EXPECT_NEAR(fake().position() / player->toPlayerUnits(1.0), seconds, 0.001);
        // The times of the sentence shown are in the new engine's units.
        EXPECT_NEAR(player->voiceStart / player->toPlayerUnits(1.0), times.start, 0.001);
        EXPECT_NEAR(player->voiceEnd / player->toPlayerUnits(1.0), times.end, 0.001);
        for (int engine = 0; engine < 2; ++engine) {
            EXPECT_EQ(area()->engineOption(engine)->picturePath(),
                      engine == row.engine ? "bitmap/t.jpg" : "bitmap/f.jpg");
        }
        fake().pause();
        menu(1);
        EXPECT_EQ(state().currentSentence, 3);
    }
    EXPECT_EQ(orvessaSettingsRecord(window->liveSettings()), record);
}

// An engine that cannot sound here is shown disabled, says why, and ignores clicks and
// accessible presses; the engine in force stays chosen.
TEST_F(MenuPagesTest, AnEngineNotAvailableIsShownDisabled) {
    struct Row {
        VoiceBackend::Unit inForce;
        bool mediaPlayer, fallback;
        int disabled; // the option shown disabled, -1 none
    };
    const Row rows[] = {{VoiceBackend::Unit::Seconds, true, false, 1},
                        {VoiceBackend::Unit::Milliseconds, false, true, 0},
                        {VoiceBackend::Unit::Seconds, true, true, -1}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.disabled);
        mediaPlayerAvailable = row.mediaPlayer;
        fallbackAvailable = row.fallback;
        enginesMade = 0;
        start(row.inForce);
        window->show();
        menu(6);
        const int inForce = row.inForce == VoiceBackend::Unit::Seconds ? 0 : 1;
        for (int engine = 0; engine < 2; ++engine) {
            PictureLabel *option = area()->engineOption(engine);
            EXPECT_EQ(option->isEnabled(), engine != row.disabled) << engine;
            EXPECT_EQ(option->accessiblePart(AccessibleControl::self).enabled,
                      engine != row.disabled);
            clickOn(window.get(), option);
        }
        if (row.disabled >= 0) {
            EXPECT_EQ(enginesMade, 0);
            EXPECT_EQ(player->playerKind, inForce == 0 ? 2 : 1);
            EXPECT_EQ(area()->engineOption(inForce)->picturePath(), "bitmap/t.jpg");
            QLabel *note = window->findChild<QLabel *>(QStringLiteral("EngineNote"));
            EXPECT_TRUE(note->text().contains(u"无法")) << note->text().toStdString();
        } else {
            EXPECT_EQ(enginesMade, 1); // the other engine was chosen, then the first again
        }
        window.reset();
        player.reset();
    }
}

// "点此试听" opens the sample with the desktop's player; where the desktop has none, the
// sample plays here, at the speed in force, and stops when the page is left.
TEST_F(MenuPagesTest, TheSamplePlaysHereWhenTheDesktopCannotOpenIt) {
    const QString sample = QStringLiteral("/Sound/英语900句/demo.mp3");
    for (bool desktop : {true, false}) {
        SCOPED_TRACE(desktop);
        desktopOpens = desktop;
        opened.clear();
        start();
        window->show();
        menu(6);
        clickOn(window.get(), area()->pageSpeedOption(0));
        clickOn(window.get(), area()->sampleButton());
        ASSERT_EQ(opened.size(), 1);
        EXPECT_EQ(opened.first(), QUrl::fromLocalFile(dir.path() + sample));
        auto *own = static_cast<FakeVoiceBackend *>(window->samplePlayer());
        if (desktop) {
            EXPECT_EQ(own, nullptr);
        } else {
            ASSERT_NE(own, nullptr);
            EXPECT_EQ(own->openedFile, dir.path() + sample);
            EXPECT_TRUE(own->isPlaying());
            EXPECT_EQ(own->rate, 0.5);
            EXPECT_FALSE(fake().isPlaying()); // the lesson keeps still meanwhile
            menu(1);
            EXPECT_FALSE(own->isPlaying());
        }
        EXPECT_EQ(messages, QStringList());
        window.reset();
        player.reset();
    }
    // Without the sample file the learner is told, and nothing is opened.
    QFile::remove(dir.path() + sample);
    opened.clear();
    start();
    menu(6);
    clickOn(window.get(), area()->sampleButton());
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_EQ(messages, QStringList{QStringLiteral("没有找到示例录音。")});
}

// Item 7 starts the companion program and is no study mode: the mode, its page and the
// selection marker stay as they were. When the program is not there the learner is told
// in one line and the item stays ready.
TEST_F(MenuPagesTest, CompanionLeavesTheModeAndSaysWhenItIsMissing) {
    struct Row {
        int mode;
        bool present; // the program file exists
        bool starts;  // and starts
        const char16_t *message;
    };
    const Row rows[] = {{8, true, true, nullptr},
                        {2, false, false, u"没有找到口语练习程序。"},
                        {5, true, false, u"无法启动口语练习程序。"},
                        {6, false, false, u"没有找到口语练习程序。"}};
    const QString companion = dir.path() + QStringLiteral("/sorvik");
    for (const Row &row : rows) {
        SCOPED_TRACE(row.mode);
        QFile::remove(companion);
        if (row.present)
            programdir::writeFile(companion, "#!/bin/sh\n");
        companionStarts = row.starts;
        messages.clear();
        started.clear();
        start();
        window->show();
        menu(row.mode);
        const int markerLeft = window->functionMenu()->markerLeft();
        fake().calls.clear();
        menu(7);
        EXPECT_EQ(started, QStringList{companion});
        EXPECT_EQ(state().studyMode, row.mode);
        EXPECT_EQ(window->functionMenu()->currentItem(), row.mode);
        EXPECT_EQ(window->functionMenu()->markerLeft(), markerLeft);
        EXPECT_NE(findShown("MenuMarker"), nullptr);
        EXPECT_FALSE(fake().calls.contains(QStringLiteral("pause")));
        EXPECT_EQ(messages,
                  row.message ? QStringList{QString::fromUtf16(row.message)} : QStringList());
        // Started, it guards against a second start until the mouse moves on; not
        // started, it is ready at once.
        EXPECT_EQ(window->functionMenu()->item7Enabled(), !row.starts);
        window.reset();
        player.reset();
    }
}

// The desktop's opener reports success as soon as it has started, also when it then finds
// no application for the file: the launcher asks the desktop first and says no, so the
// window plays the sample itself. Run against a stand-in xdg-mime and xdg-open.
TEST_F(MenuPagesTest, TheDesktopIsAskedForAHandlerBeforeTheSampleIsHandedOver) {
    QTemporaryDir bin;
    ASSERT_TRUE(bin.isValid());
    const QString handlerFile = bin.path() + QStringLiteral("/handler");
    const QString openedFile = bin.path() + QStringLiteral("/opened");
    const auto script = [&](const char *name, const QString &body) {
        const QString path = bin.path() + u'/' + QString::fromLatin1(name);
        programdir::writeFile(path, ("#!/bin/sh\n" + body + u'\n').toUtf8());
        QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner);
    };
    // xdg-mime query default TYPE: the handler file's text, empty when there is none.
    script("xdg-mime", QStringLiteral("cat '%1' 2>/dev/null").arg(handlerFile));
    // xdg-open finds no application: it notes that it ran and fails, as the real one does.
    script("xdg-open", QStringLiteral("touch '%1'; exit 3").arg(openedFile));
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", bin.path().toLocal8Bit() + ':' + path);

    const QString sample = dir.path() + QStringLiteral("/Sound/英语900句/demo.mp3");
    EXPECT_FALSE(desktopHasHandlerFor(sample));
    programdir::writeFile(handlerFile, "player.desktop\n");
    EXPECT_TRUE(desktopHasHandlerFor(sample));
    QFile::remove(handlerFile);

    start();
    window->launcher = ProgramLauncher::system();
    menu(6);
    clickOn(window.get(), area()->sampleButton());
    qputenv("PATH", path);
    EXPECT_FALSE(QFile::exists(openedFile));
    auto *own = static_cast<FakeVoiceBackend *>(window->samplePlayer());
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(own->openedFile, sample);
    EXPECT_TRUE(own->isPlaying());
}

} // namespace
