#include "audio/fakevoicebackend.h"
#include "audio/voiceplayer.h"
#include "content/resultstext.h"
#include "shell/catalogueview.h"
#include "shell/functionmenu.h"
#include "shell/keycapture.h"
#include "shell/resultspanel.h"
#include "shell/sentencetimingbar.h"
#include "shell/studyarea.h"
#include "shell/trainerwindow.h"
#include "study/pure/lettercheck.h"
#include "support/programdirfixture.h"
#include "support/windowfakes.h"
#include "text/fontmeasurer.h"
#include "text/fonts.h"
#include "widgets/inputlevelmeter.h"
#include "widgets/lessonpanel.h"
#include "widgets/picturelabel.h"
#include "widgets/sentencecanvas.h"
#include "widgets/textbutton.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

using programdir::addDemoBookAs;
using programdir::copyDemoContent;
using programdir::demoBook;
using programdir::demoContent;
using programdir::gbk;
using programdir::writeFile;
const QString otherBook = QStringLiteral("新英语900句");  // listed, given the demo's lessons
const QString bareBook = QStringLiteral("英语会话300句"); // listed, no lesson-name list

void sendMouse(QWidget *target, QEvent::Type type, QPoint pos = {5, 5},
               Qt::MouseButton button = Qt::LeftButton) {
    QMouseEvent event(type, QPointF(pos), target->mapToGlobal(QPointF(pos)), button,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : button, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

void click(QWidget *target) {
    sendMouse(target, QEvent::MouseButtonPress);
    sendMouse(target, QEvent::MouseButtonRelease);
}

void sendKey(QWidget *target, int key, const QString &text = QString()) {
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &event);
}

class TrainerWindowTest : public ::testing::Test, protected TrainerWindowFakes {
protected:
    void SetUp() override {
        installFontSubstitutions();
        ASSERT_TRUE(dir.isValid());
        programDir = dir.path();
        copyDemoContent(programDir);
        // A second book with the demo's lessons under another listed title.
        addDemoBookAs(programDir, programDir, otherBook, QStringLiteral("^甲^乙^丙^丁^"));
        // Lesson 2 remembered; both hints on; study mode repeats once without pause.
        writeFile(programDir + QStringLiteral("/SETTING/set.dat"),
                  gbk(QStringLiteral("1\\1\\1\\1\\0\\2\\1\\1\\1\\") + demoBook +
                      QStringLiteral("\\60\\")));
    }

    void start() {
        player = std::make_unique<VoicePlayer>(
            Program::Orvessa, std::make_unique<FakeVoiceBackend>(VoiceBackend::Unit::Seconds));
        const DataPlaces places = userDir.isEmpty()
                                      ? DataPlaces::portable(programDir)
                                      : DataPlaces::withUserFolder(programDir, userDir);
        window = std::make_unique<TrainerWindow>(places, *player, sounds, recorder, timers());
        window->messageSink = [this](const QString &text, const QString &, MessageIcon) {
            messages << text;
        };
        QObject::connect(&window->loader(), &LessonLoader::lessonLoaded, [this] { ++loads; });
        window->startup();
    }

    // A fresh window on the same program directory.
    void restart() {
        window.reset();
        player.reset();
        messages.clear();
        loads = 0;
        start();
    }

    // Lets the player run and every timer fire for a while; returns the seeks and plays the
    // player was asked for meanwhile.
    QStringList runTimers(int ms = 6000) {
        fake().calls.clear();
        for (int t = 0; t < ms; t += 10) {
            fake().advance(10);
            for (ManualTicker *timer : {&endShot, &Timer1, &Timer2})
                timer->tick();
        }
        QStringList started = fake().calls.filter(QStringLiteral("seek "));
        started << fake().calls.filter(QStringLiteral("play"));
        return started;
    }
    bool anyUnderline() const {
        for (const SentenceRow &row : window->state().rows) {
            if (row.Line3.visible)
                return true;
        }
        return false;
    }

    FakeVoiceBackend &fake() { return static_cast<FakeVoiceBackend &>(player->backend()); }
    bool shown(QWidget *w) const { return w && w->isVisibleTo(window.get()); }
    bool shown(const char *name) const {
        return shown(window->findChild<QWidget *>(QString::fromLatin1(name)));
    }
    QPushButton *command(int n) const { return window->studyArea()->command(n); }
    QListWidget *list() const { return window->catalogue()->List1(); }
    QTreeWidget *tree() const { return window->catalogue()->TreeView1(); }
    void menu(int item) { click(window->functionMenu()->itemArea(item)); }
    void release(int row, RowElement element, Qt::MouseButton button = Qt::LeftButton) {
        Q_EMIT window->lessonPanel()->canvas()->rowReleased(RowHit{row, element}, button);
    }

    QTemporaryDir dir;
    QString programDir;
    QString userDir; // empty: the portable layout
    std::unique_ptr<VoicePlayer> player;
    std::unique_ptr<TrainerWindow> window;
    QStringList messages;
    int loads = 0;
};

TEST_F(TrainerWindowTest, StartsInSentenceStudyOnTheRememberedLesson) {
    start();
    const TrainerState &s = window->state();
    EXPECT_EQ(s.studyMode, 1);
    EXPECT_EQ(loads, 1);
    EXPECT_EQ(s.lessonIndex, 1);
    EXPECT_EQ(window->catalogue()->Combo1()->currentText(), demoBook);
    EXPECT_EQ(window->catalogue()->Combo1()->count(), 15);
    ASSERT_EQ(list()->count(), 6);
    EXPECT_EQ(list()->currentRow(), 1);
    EXPECT_EQ(s.currentSentence, 1);
    EXPECT_FALSE(s.view.Label1.text.isEmpty());
    EXPECT_EQ(window->findChild<QLabel *>(QStringLiteral("Label1"))->text(), s.view.Label1.text);
    EXPECT_EQ(window->findChild<QLabel *>(QStringLiteral("Label7_5"))->text(),
              QStringLiteral("1 / %1").arg(s.sentenceCount));
    EXPECT_TRUE(messages.isEmpty());

    // The tree: the root reads the book, its lessons below, node index + 2 selected.
    ASSERT_EQ(tree()->topLevelItemCount(), 1);
    QTreeWidgetItem *root = tree()->topLevelItem(0);
    EXPECT_EQ(root->text(0), demoBook);
    EXPECT_EQ(root->data(0, Qt::UserRole).toString(), QStringLiteral("新概念英语第一册"));
    EXPECT_TRUE(root->isExpanded());
    EXPECT_EQ(root->childCount(), 6);
    EXPECT_EQ(tree()->currentItem(), root->child(1));
    EXPECT_EQ(root->child(3)->background(0).color(), QColor(249, 252, 255));

    // Sentence study: the view, not the panel; the typing box has the keys.
    EXPECT_FALSE(shown(window->lessonPanel()));
    EXPECT_TRUE(shown(command(1)));
    EXPECT_TRUE(shown(window->studyArea()->Combo2()));
    EXPECT_EQ(window->studyArea()->Combo2()->currentText(), QStringLiteral("1"));
    EXPECT_EQ(window->focusWidget(), window->studyArea()->Text2());
    EXPECT_EQ(window->functionMenu()->markerLeft(), 390 - 60);
    // Both hints remembered on: the English sentence, not its mask.
    EXPECT_TRUE(shown("Label1"));
    EXPECT_FALSE(shown("Label51"));
}

TEST_F(TrainerWindowTest, MenuItemsLayTheAreaOutForTheirMode) {
    start();
    struct Row {
        int item;
        const char16_t *title;
        bool panel, buttons, fullText, reset, followRead, voiceOptions;
    };
    const Row rows[] = {
        {2, u"全文浏览", true, false, true, false, false, false},
        {3, u"回想中文", true, false, false, true, false, false},
        {4, u"回想英文", true, false, false, true, false, false},
        {5, u"跟读对比", false, false, false, false, true, false},
        {8, u"听写测试", false, false, false, false, false, false},
        {6, u"听写测试", false, false, false, false, false, true}, // cc keeps the last mode's
        {1, u"句子学习", false, true, false, false, false, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.item);
        fake().calls.clear();
        menu(row.item);
        const TrainerState &s = window->state();
        EXPECT_EQ(s.studyMode, row.item);
        EXPECT_EQ(window->findChild<QLabel *>(QStringLiteral("Label7_12"))->text(),
                  QString::fromUtf16(row.title));
        EXPECT_EQ(shown(window->lessonPanel()), row.panel);
        EXPECT_EQ(shown(command(4)), row.buttons);
        EXPECT_EQ(shown(window->studyArea()->Combo2()), row.buttons);
        EXPECT_EQ(shown(command(6)), row.fullText);
        EXPECT_EQ(shown(window->studyArea()->twin(3)), row.fullText);
        EXPECT_EQ(shown(command(16)), row.reset);
        EXPECT_EQ(shown("Picture4"), row.followRead);
        EXPECT_EQ(shown("Picture11"), row.voiceOptions);
        EXPECT_EQ(window->functionMenu()->markerLeft(), FunctionMenu::itemLeft(row.item) - 60);
        // Every mode but the dictation pauses the player and stops the sentence-end watch;
        // the dictation plays its first sentence.
        if (row.item == 8)
            EXPECT_EQ(fake().calls.first(), QStringLiteral("seek %1").arg(player->voiceStart));
        else
            EXPECT_TRUE(fake().calls.contains(QStringLiteral("pause")));
        EXPECT_EQ(Timer1.isActive(), row.item == 8);
        if (row.item == 2 || row.item == 3 || row.item == 4) {
            EXPECT_EQ(window->focusWidget(), window->Combo4());
        }
    }
    EXPECT_EQ(window->focusWidget(), window->studyArea()->Text2());
}

TEST_F(TrainerWindowTest, BookSwitchLoadsTheFirstLessonOnTimer3) {
    start();
    QComboBox *combo = window->catalogue()->Combo1();
    const int index = combo->findText(otherBook);
    ASSERT_GE(index, 0);
    combo->setCurrentIndex(index);
    Q_EMIT combo->activated(index);

    EXPECT_EQ(list()->count(), 4);
    EXPECT_EQ(list()->item(0)->text(), QStringLiteral("甲"));
    EXPECT_EQ(list()->currentRow(), 0);
    EXPECT_TRUE(Timer3.isActive());
    EXPECT_EQ(loads, 1); // deferred until the tick

    Timer3.tick();
    EXPECT_FALSE(Timer3.isActive());
    EXPECT_EQ(loads, 2);
    EXPECT_EQ(window->state().lessonIndex, 0);
    EXPECT_EQ(window->state().Label37.text, QStringLiteral("甲"));
    EXPECT_TRUE(player->voiceFile.endsWith(otherBook + QStringLiteral("/1.mp3")));
    EXPECT_FALSE(Timer3.tick()); // it stopped itself

    // The tree follows the book, so that a node loads the lesson it names.
    QTreeWidgetItem *root = tree()->topLevelItem(0);
    EXPECT_EQ(root->text(0), otherBook);
    ASSERT_EQ(root->childCount(), 4);
    EXPECT_EQ(tree()->currentItem(), root->child(0));
    window->catalogue()->treeNodeClicked(3);
    EXPECT_EQ(root->child(1)->text(0), QStringLiteral("乙"));
    EXPECT_EQ(window->state().Label37.text, QStringLiteral("乙"));
}

// Installed: the shipped settings are the starting point, a book the learner added in their
// own folder loads like a shipped one, and the close writes only into that folder, whose
// record the next start reads.
TEST_F(TrainerWindowTest, AnInstalledWindowKeepsTheLearnersFilesInTheirFolder) {
    QTemporaryDir home;
    userDir = home.path();
    addDemoBookAs(programDir, userDir, bareBook, QStringLiteral("^一^二^"));
    const QString shippedSettings = programDir + QStringLiteral("/SETTING/set.dat");
    QFile shipped(shippedSettings);
    ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
    const QByteArray shippedBytes = shipped.readAll();
    shipped.close();

    start();
    EXPECT_EQ(window->state().lessonIndex, 1); // from the shipped record
    QComboBox *combo = window->catalogue()->Combo1();
    combo->setCurrentIndex(combo->findText(bareBook));
    Q_EMIT combo->activated(combo->currentIndex());
    Timer3.tick();
    EXPECT_EQ(list()->count(), 2);
    EXPECT_EQ(window->state().sentenceCount, 9);
    EXPECT_EQ(player->voiceFile,
              userDir + QStringLiteral("/Sound/") + bareBook + QStringLiteral("/1.mp3"));
    // The learner's recordings go beside their settings, never over the shipped file.
    EXPECT_EQ(window->followRead().recordingPath(), userDir + QStringLiteral("/Recorder.wav"));
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
    window->close();
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();

    ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
    EXPECT_EQ(shipped.readAll(), shippedBytes);
    const QString own = userDir + QStringLiteral("/SETTING/set.dat");
    const OrvessaSettingsFields saved = parseOrvessaSettings(readSettingsFile(own));
    EXPECT_EQ(saved.bookTitle, bareBook);
    EXPECT_EQ(saved.lessonIndex, 0);

    start();
    EXPECT_EQ(window->catalogue()->bookTitle(), bareBook);
    EXPECT_EQ(list()->count(), 2);
}

// A title without its lesson-name list is listed greyed as not installed; choosing it keeps
// the book the learner has and says why in a calm line. Remembered from an earlier run, it
// shows an empty list and a note, and the window runs.
TEST_F(TrainerWindowTest, BookWithoutLessonListLeavesANoteAndRuns) {
    start();
    QComboBox *combo = window->catalogue()->Combo1();
    const int index = combo->findText(bareBook);
    EXPECT_EQ(combo->itemData(index, Qt::AccessibleDescriptionRole).toString(),
              QStringLiteral("未安装"));
    EXPECT_TRUE(combo->itemData(combo->findText(demoBook), Qt::AccessibleDescriptionRole)
                    .toString()
                    .isEmpty());
    combo->setCurrentIndex(index);
    Q_EMIT combo->activated(index);
    EXPECT_EQ(window->catalogue()->bookTitle(), demoBook);
    EXPECT_EQ(list()->count(), 6);
    EXPECT_FALSE(Timer3.isActive());
    EXPECT_TRUE(shown(window->catalogue()->note()));
    EXPECT_TRUE(window->catalogue()->note()->text().contains(QStringLiteral("未安装")));
    EXPECT_TRUE(messages.isEmpty());

    writeFile(
        programDir + QStringLiteral("/SETTING/set.dat"),
        gbk(QStringLiteral("0\\1\\1\\1\\0\\2\\1\\1\\1\\") + bareBook + QStringLiteral("\\60\\")));
    restart();
    EXPECT_EQ(window->catalogue()->bookTitle(), bareBook);
    EXPECT_EQ(list()->count(), 0);
    const TrainerState &s = window->state();
    EXPECT_EQ(s.sentenceCount, 0);
    EXPECT_FALSE(s.panel.note.isEmpty());
    EXPECT_TRUE(messages.isEmpty());
    // Sentence study says so too, and its moves do nothing.
    auto *note = window->findChild<QLabel *>(QStringLiteral("SentenceNote"));
    EXPECT_TRUE(shown(note));
    EXPECT_EQ(note->text(), s.panel.note);
    click(command(1));
    sendKey(window->studyArea()->Text2(), Qt::Key_F1);
    EXPECT_EQ(s.currentSentence, 0);
}

TEST_F(TrainerWindowTest, TreeRootDoesNothingAndAChildLoadsItsLesson) {
    start();
    QTreeWidgetItem *root = tree()->topLevelItem(0);
    Q_EMIT tree()->itemClicked(root, 0);
    EXPECT_EQ(loads, 1);
    EXPECT_EQ(window->state().lessonIndex, 1);

    Q_EMIT tree()->itemClicked(root->child(2), 0); // node 4
    EXPECT_EQ(loads, 2);
    EXPECT_EQ(window->state().lessonIndex, 2);
    EXPECT_EQ(list()->currentRow(), 2);
    EXPECT_EQ(list()->toolTip(), QStringLiteral("当前课程：") + list()->item(2)->text());
}

TEST_F(TrainerWindowTest, ListReleaseReloadsTheLoadedLesson) {
    start();
    TrainerState &s = window->state();
    click(command(1));
    click(command(1));
    EXPECT_EQ(s.currentSentence, 3);

    sendMouse(list()->viewport(), QEvent::MouseButtonRelease);
    EXPECT_EQ(loads, 2);
    EXPECT_EQ(s.lessonIndex, 1);
    EXPECT_EQ(s.currentSentence, 1);
    EXPECT_FALSE(s.Command2.enabled);
    EXPECT_EQ(list()->toolTip(), QStringLiteral("当前课程：") + list()->item(1)->text());
}

TEST_F(TrainerWindowTest, FullTextClickPlaysThatSentenceUnderlined) {
    start();
    menu(2);
    TrainerState &s = window->state();
    ASSERT_GE(s.sentenceCount, 3);
    fake().calls.clear();
    release(3, RowElement::EnglishLine);
    const SentenceTimes times = *s.sentences.times(3);
    EXPECT_EQ(fake().calls,
              (QStringList{QStringLiteral("seek %1").arg(times.start), QStringLiteral("play")}));
    EXPECT_TRUE(s.row(3).Line3.visible);
    EXPECT_TRUE(Timer1.isActive());
    EXPECT_EQ(s.playback.readingSentence, 3);
    EXPECT_EQ(window->focusWidget(), window->Combo4());

    // A click on the panel background silences it and drops the underline.
    release(0, RowElement::Background);
    EXPECT_FALSE(Timer1.isActive());
    EXPECT_EQ(fake().calls.last(), QStringLiteral("pause"));
    EXPECT_FALSE(s.row(3).Line3.visible);
}

TEST_F(TrainerWindowTest, ReadingButtonsFollowTheState) {
    start();
    menu(2);
    click(command(6));
    EXPECT_EQ(command(6)->text(), QStringLiteral("停止朗读"));
    EXPECT_TRUE(command(7)->isEnabled());
    EXPECT_TRUE(window->state().row(1).Line3.visible);
    click(command(7));
    EXPECT_EQ(command(7)->text(), QStringLiteral("继续朗读"));
    menu(1); // a mode change ends reading
    EXPECT_EQ(command(6)->text(), QStringLiteral("全文朗读"));
    EXPECT_FALSE(command(7)->isEnabled());
}

TEST_F(TrainerWindowTest, RecallEnglishRevealsByClickAndResets) {
    start();
    menu(4);
    TrainerState &s = window->state();
    const RowTemplate &tpl = s.rowTemplate;
    EXPECT_EQ(s.row(2).Label6.colour, tpl.hiddenColour(false));
    release(2, RowElement::EnglishLine);
    EXPECT_EQ(s.row(2).Label6.colour, tpl.shownColour(false));
    EXPECT_TRUE(s.row(2).Line3.visible);
    release(4, RowElement::EnglishClickArea);
    EXPECT_FALSE(s.row(2).Line3.visible);
    EXPECT_TRUE(s.row(4).Line3.visible);

    click(command(16));
    EXPECT_EQ(s.row(2).Label6.colour, tpl.hiddenColour(false));
    EXPECT_EQ(s.row(4).Label6.colour, tpl.hiddenColour(false));
    EXPECT_EQ(s.panel.canvasTop, 0);
}

TEST_F(TrainerWindowTest, WindowSeesShortcutKeysFirstAndTypingChecks) {
    start();
    TrainerState &s = window->state();
    QLineEdit *typing = window->studyArea()->Text2();
    sendKey(typing, Qt::Key_PageDown);
    EXPECT_EQ(s.currentSentence, 2);
    sendKey(typing, Qt::Key_PageUp);
    EXPECT_EQ(s.currentSentence, 1);
    sendKey(typing, Qt::Key_PageUp); // 上一句 is disabled on sentence 1
    EXPECT_EQ(s.currentSentence, 1);

    // Typing the sentence and Enter moves on; a wrong letter is selected instead.
    typing->setText(s.view.Label1.text);
    sendKey(typing, Qt::Key_Return, QStringLiteral("\r"));
    EXPECT_EQ(s.currentSentence, 2);
    EXPECT_TRUE(typing->text().isEmpty());
    // A wrong first letter.
    const QString letters = checkLetters(s.view.Label1.text);
    typing->setText(letters.startsWith(u'q') ? QStringLiteral("z") : QStringLiteral("q"));
    sendKey(typing, Qt::Key_Return, QStringLiteral("\r"));
    EXPECT_EQ(s.currentSentence, 2);
    EXPECT_TRUE(sounds.played.last().endsWith(QStringLiteral("wrong.wav")));
    EXPECT_EQ(typing->selectedText().size(), 1);

    sendKey(typing, Qt::Key_F1);
    EXPECT_EQ(s.currentSentence, 1);
}

TEST_F(TrainerWindowTest, OptionTwinsAndSpeedLabels) {
    start();
    StudyArea *area = window->studyArea();
    click(area->twin(1));
    EXPECT_EQ(window->state().view.Check1.value, 0);
    EXPECT_FALSE(shown("Label1"));
    EXPECT_TRUE(shown("Label51"));
    EXPECT_EQ(area->twin(1)->picturePath(), QStringLiteral("bitmap/0.jpg"));

    fake().calls.clear();
    click(area->Label20(0));
    EXPECT_EQ(fake().calls, QStringList{QStringLiteral("rate 0.5")});
    EXPECT_EQ(area->Label20(0)->picturePath(), QStringLiteral("bitmap/t.jpg"));
    EXPECT_EQ(area->Label20(1)->picturePath(), QStringLiteral("bitmap/f.jpg"));
}

TEST_F(TrainerWindowTest, Combo4ArrowKeysScrollTheLessonPanel) {
    start();
    menu(2);
    TrainerState &s = window->state();
    // A lesson taller than the viewport, so that the panel can move.
    s.panel.canvasHeight = s.panelGeometry.viewportHeight + 2000;
    EXPECT_EQ(window->focusWidget(), window->Combo4());
    sendKey(window->Combo4(), Qt::Key_Down);
    // About 500 twips down, to where a row starts.
    EXPECT_LT(s.panel.canvasTop, 0);
    const int offset = -s.panel.canvasTop;
    bool atARow = false;
    for (size_t k = 0; k < s.rows.size(); ++k)
        atARow = atARow || rowStartTwips(s.rows, k) == offset;
    EXPECT_TRUE(atARow) << offset;
    EXPECT_EQ(window->lessonPanel()->canvas()->canvasTop(), s.panel.canvasTop);
    sendKey(window->Combo4(), Qt::Key_Up);
    EXPECT_EQ(s.panel.canvasTop, 0);
}

TEST_F(TrainerWindowTest, ALoadLeavesNothingOfThePreviousLessonPlaying) {
    struct Case {
        const char *name;
        std::function<void()> load;
    };
    const Case cases[] = {
        {"the same lesson again",
         [&] { sendMouse(list()->viewport(), QEvent::MouseButtonRelease); }},
        {"a book whose lesson-name list names none",
         [&] {
             writeFile(programDir + QStringLiteral("/SETTING/BookList/") + bareBook +
                           QStringLiteral(".dat"),
                       QByteArray());
             QComboBox *combo = window->catalogue()->Combo1();
             Q_EMIT combo->activated(combo->findText(bareBook));
             Timer3.tick();
         }},
        {"a refused title",
         [&] {
             window->catalogue()->Combo1()->setEditText(QStringLiteral("../") + demoBook);
             window->loadlesson();
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        restart();
        menu(2);
        release(3, RowElement::EnglishLine);
        ASSERT_TRUE(Timer1.isActive());
        ASSERT_TRUE(fake().isPlaying());

        c.load();
        EXPECT_EQ(loads, 2);
        EXPECT_FALSE(Timer1.isActive());
        EXPECT_FALSE(Timer2.isActive());
        EXPECT_FALSE(fake().isPlaying());
        EXPECT_EQ(runTimers(), QStringList());
    }
}

TEST_F(TrainerWindowTest, ALoadDuringFullTextReadingEndsIt) {
    for (const int mode : {2, 3, 4}) {
        for (const bool betweenPlays : {false, true}) {
            SCOPED_TRACE(testing::Message()
                         << "mode " << mode << (betweenPlays ? ", pausing" : ""));
            restart();
            menu(mode);
            window->reader().onCommand6();
            ASSERT_EQ(window->state().playback.Command6Caption, QStringLiteral("停止朗读"));
            ASSERT_TRUE(Timer1.isActive());
            if (betweenPlays) {
                const SentenceTimes times = *window->state().sentences.times(1);
                fake().advance(int((times.end - times.start) * 1000) + 40);
                Timer1.tick();
                ASSERT_TRUE(Timer2.isActive());
            }

            sendMouse(list()->viewport(), QEvent::MouseButtonRelease);
            EXPECT_EQ(loads, 2);
            EXPECT_EQ(command(6)->text(), QStringLiteral("全文朗读"));
            EXPECT_EQ(command(7)->text(), QStringLiteral("暂停朗读"));
            EXPECT_FALSE(command(7)->isEnabled());
            EXPECT_FALSE(Timer1.isActive());
            EXPECT_FALSE(Timer2.isActive());
            EXPECT_EQ(runTimers(), QStringList());
            EXPECT_EQ(command(6)->text(), QStringLiteral("全文朗读"));
            EXPECT_FALSE(anyUnderline());
        }
    }
}

TEST_F(TrainerWindowTest, MovingTheSentenceViewStopsAPanelSentenceFirst) {
    // A sentence started from the panel or by reading owns voiceStart/voiceEnd while it
    // plays or waits to repeat; ty must not put another sentence's times under it.
    struct Case {
        const char *name;
        int mode;
        std::function<void()> startSentence;
        int key;
    };
    const Case cases[] = {
        {"full-text click, F1", 2, [&] { release(3, RowElement::EnglishLine); }, Qt::Key_F1},
        {"full-text click, Page Up", 2, [&] { release(3, RowElement::EnglishLine); },
         Qt::Key_PageUp},
        {"play icon, F1", 4, [&] { release(3, RowElement::PlayIcon); }, Qt::Key_F1},
        {"reading, Page Up", 2, [&] { click(command(6)); }, Qt::Key_PageUp},
    };
    for (const Case &c : cases) {
        for (const bool betweenPlays : {false, true}) {
            SCOPED_TRACE(testing::Message() << c.name << (betweenPlays ? ", pausing" : ""));
            restart();
            TrainerState &s = window->state();
            // Sentence 3 in the single-sentence view, so that Page Up has somewhere to go.
            sendKey(window->studyArea()->Text2(), Qt::Key_PageDown);
            sendKey(window->studyArea()->Text2(), Qt::Key_PageDown);
            ASSERT_EQ(s.currentSentence, 3);
            menu(c.mode);
            c.startSentence();
            ASSERT_TRUE(Timer1.isActive());
            const double end = player->voiceEnd;
            if (betweenPlays) {
                fake().advance(int((end - player->voiceStart) * 1000) + 40);
                Timer1.tick();
                ASSERT_TRUE(Timer2.isActive());
            }

            sendKey(window->Combo4(), c.key);
            EXPECT_NE(s.currentSentence, 3);
            EXPECT_FALSE(Timer1.isActive());
            EXPECT_FALSE(Timer2.isActive());
            EXPECT_FALSE(fake().isPlaying());
            EXPECT_FALSE(anyUnderline());
            EXPECT_EQ(command(6)->text(), QStringLiteral("全文朗读"));
            EXPECT_EQ(runTimers(), QStringList());
        }
    }
}

TEST_F(TrainerWindowTest, BookSelectorStepsFromTheShownTitle) {
    // A remembered book that is not the first title.
    writeFile(
        programDir + QStringLiteral("/SETTING/set.dat"),
        gbk(QStringLiteral("0\\1\\1\\1\\0\\2\\1\\1\\1\\") + otherBook + QStringLiteral("\\60\\")));
    // The keys and the wheel pass over the titles that are not installed: up reaches the
    // demo book, down finds none below and stays.
    struct Step {
        int key;
        int wheel;
        QString book;
    };
    for (const Step &step : {Step{Qt::Key_Up, 0, demoBook}, Step{Qt::Key_Down, 0, otherBook},
                             Step{0, 120, demoBook}, Step{0, -120, otherBook}}) {
        SCOPED_TRACE(step.key ? step.key : step.wheel);
        restart();
        Timer3.stop();
        QComboBox *combo = window->catalogue()->Combo1();
        const int shown = combo->findText(otherBook);
        ASSERT_GT(shown, 0);
        ASSERT_LT(shown, combo->count() - 1);
        EXPECT_EQ(combo->currentIndex(), shown);

        if (step.key) {
            sendKey(combo, step.key);
        } else {
            QWheelEvent wheel(QPointF(5, 5), combo->mapToGlobal(QPointF(5, 5)), QPoint(),
                              QPoint(0, step.wheel), Qt::NoButton, Qt::NoModifier,
                              Qt::NoScrollPhase, false);
            QApplication::sendEvent(combo, &wheel);
        }
        EXPECT_EQ(combo->currentText(), step.book);
        EXPECT_EQ(window->catalogue()->bookTitle(), step.book);
        EXPECT_EQ(Timer3.isActive(), step.book != otherBook); // the switch's deferred load
    }
    // A remembered title that is not listed shows as it is, with no item current.
    writeFile(programDir + QStringLiteral("/SETTING/set.dat"),
              gbk(QStringLiteral("0\\1\\1\\1\\0\\2\\1\\1\\1\\未列出的书\\60\\")));
    restart();
    EXPECT_EQ(window->catalogue()->Combo1()->currentText(), QStringLiteral("未列出的书"));
    EXPECT_EQ(window->catalogue()->Combo1()->currentIndex(), -1);
}

TEST_F(TrainerWindowTest, FollowReadEnglishLineTakesTheWidthTyComputed) {
    start();
    menu(5);
    TrainerState &s = window->state();
    const FontMeasurer measurer;
    const int available = s.view.followRead.availableWidth();
    // Sentences that fit, that are a little wider than 8000 twips but fit the panel, and that
    // wrap into several lines.
    QString justOver;
    while (measurer.widthTwips(justOver, LineFont::English) <= 8000)
        justOver += justOver.size() % 6 == 5 ? u' ' : u'i';
    ASSERT_LE(measurer.widthTwips(justOver, LineFont::English), available);
    const QString longer =
        QStringLiteral("The quick brown fox jumps over the lazy dog again. ").repeated(5).trimmed();
    QLabel *label = window->findChild<QLabel *>(QStringLiteral("Label10"));
    ASSERT_TRUE(label);
    for (const QString &english : {QStringLiteral("Short one."), justOver, longer}) {
        SCOPED_TRACE(english.toStdString());
        s.sentences = SentenceTable::fromText(QStringLiteral("*%1#中文。#1#2#*").arg(english));
        s.sentenceCount = 1;
        s.currentSentence = 1;
        window->studyView().ty();
        const FollowReadLabel &l = s.view.Label10;
        EXPECT_EQ(l.text, english);
        EXPECT_EQ(label->text(), english);
        EXPECT_EQ(label->geometry(), QRect(l.left / 15, l.top / 15, l.width / 15, l.height / 15));
        EXPECT_EQ(label->wordWrap(), !l.autoSize);
        // The text wraps into no more lines than ty made room for.
        if (l.autoSize) {
            EXPECT_LE(label->fontMetrics().horizontalAdvance(english), label->width() + 1);
        } else {
            const int lineSpacing = label->fontMetrics().lineSpacing();
            EXPECT_LE((label->heightForWidth(label->width()) + lineSpacing / 2) / lineSpacing,
                      l.lines);
        }
    }
}

// The follow-read page's buttons as the learner presses them in the window: the recorder,
// the page's states and its moves go through the window's wiring.
TEST_F(TrainerWindowTest, FollowReadPageRecordsComparesAndMoves) {
    start();
    menu(5);
    StudyArea *area = window->studyArea();
    const auto enabled = [&] {
        QString out;
        for (int number : {11, 8, 10, 12, 9, 13, 14, 15})
            out += area->command(number)->isEnabled() ? u'1' : u'0';
        return out;
    };
    const auto press = [&](int number) { area->command(number)->click(); };
    QLabel *notice = area->findChild<QLabel *>(QStringLiteral("FollowReadNotice"));
    ASSERT_TRUE(notice);
    EXPECT_TRUE(area->command(8)->isVisible());
    EXPECT_EQ(area->command(12)->text(), QStringLiteral("您的发音"));
    EXPECT_EQ(enabled(), QStringLiteral("11000011"));

    press(8);
    EXPECT_EQ(recorder.calls.last(),
              QStringLiteral("record ") + programDir + QStringLiteral("/Recorder.wav"));
    EXPECT_EQ(enabled(), QStringLiteral("11100011"));
    press(10);
    EXPECT_EQ(enabled(), QStringLiteral("11011011"));
    press(9);
    EXPECT_EQ(enabled(), QStringLiteral("11110011"));
    EXPECT_TRUE(player->backend().isPlaying()) << "the loop starts with the model";

    press(14);
    EXPECT_EQ(window->state().currentSentence, 2);
    EXPECT_EQ(enabled(), QStringLiteral("11000111"));
    EXPECT_FALSE(player->backend().isPlaying());

    recorder.nextStart = VoiceRecorder::Start::NoInputDevice;
    press(8);
    EXPECT_FALSE(notice->isHidden());
    EXPECT_EQ(notice->text(), QStringLiteral("没有找到录音设备，无法录音。"));
    EXPECT_EQ(enabled(), QStringLiteral("11000111"));

    // Closing the window completes a recording under way.
    recorder.nextStart = VoiceRecorder::Start::Started;
    press(8);
    EXPECT_TRUE(notice->isHidden());
    window->close();
    EXPECT_FALSE(recorder.isRecording());
}

// The follow-read page plays, draws and judges the sentence it shows, whatever the lesson
// panel played before the page was opened.
TEST_F(TrainerWindowTest, FollowReadPagePlaysTheSentenceItShows) {
    struct Case {
        const char *name;
        int mode;
        std::function<void()> playEight;
    };
    const Case cases[] = {
        {"line", 2, [this] { release(8, RowElement::EnglishLine); }},
        {"playIcon", 4, [this] { release(8, RowElement::PlayIcon); }},
        {"fullTextReading", 2,
         [this] {
             release(8, RowElement::EnglishLine);
             click(command(6));
         }},
    };
    start();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        menu(c.mode);
        c.playEight();
        ASSERT_TRUE(player->backend().isPlaying());
        menu(5);
        const TrainerState &state = window->state();
        const auto shownTimes = state.sentences.times(state.currentSentence);
        ASSERT_TRUE(shownTimes);
        ASSERT_NE(state.currentSentence, 8);
        EXPECT_EQ(window->studyArea()->findChild<QLabel *>(QStringLiteral("Label10"))->text(),
                  state.view.Label1.text);
        EXPECT_EQ(window->followReadSounds().sentenceStart(), shownTimes->start) << "drawn";
        for (int button : {11, 9}) {
            if (button == 9) {
                click(command(8));
                click(command(10));
            }
            fake().calls.clear();
            click(command(button));
            const QStringList seeks = fake().calls.filter(QStringLiteral("seek "));
            ASSERT_EQ(seeks.size(), 1) << "Command" << button;
            EXPECT_DOUBLE_EQ(seeks.first().mid(5).toDouble(), shownTimes->start)
                << "Command" << button;
            EXPECT_DOUBLE_EQ(player->voiceEnd, shownTimes->end) << "Command" << button;
        }
        click(command(10));
    }
}

// Whatever changes the shown sentence ends the loop, silences both players and takes the
// recording away, as 上一句 and 下一句 do.
TEST_F(TrainerWindowTest, EveryChangeOfTheShownSentenceEndsTheLoop) {
    struct Case {
        const char *name;
        std::function<void()> change;
        int sentence;
    };
    const Case cases[] = {
        {"pageUp", [this] { sendKey(window->Combo4(), Qt::Key_PageUp); }, 2},
        {"f1", [this] { sendKey(window->Combo4(), Qt::Key_F1); }, 1},
        {"首句", [this] { click(command(15)); }, 1},
        {"上一句", [this] { click(command(13)); }, 2},
        {"lessonLoad", [this] { window->loadlesson(); }, 1},
    };
    start();
    menu(5);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        click(command(14));
        click(command(14));
        ASSERT_EQ(window->state().currentSentence, 3);
        click(command(8));
        click(command(10));
        click(command(9));
        ASSERT_FALSE(command(9)->isEnabled()) << "looping";
        ASSERT_TRUE(player->backend().isPlaying());
        c.change();
        EXPECT_EQ(window->state().currentSentence, c.sentence);
        EXPECT_FALSE(player->backend().isPlaying());
        EXPECT_FALSE(recorder.isPlaying());
        for (int number : {9, 10, 12})
            EXPECT_FALSE(command(number)->isEnabled()) << "Command" << number;
        EXPECT_TRUE(command(8)->isEnabled());
        runTimers(3000);
        EXPECT_FALSE(recorder.isPlaying()) << "the loop stays ended";
        click(command(15));
    }
}

// Leaving the page ends a recording as 停止 does and leaves the new page's player alone; the
// time limit, when it comes, ends nothing on the page the learner went to.
TEST_F(TrainerWindowTest, LeavingThePageEndsARecording) {
    start();
    for (int item : {1, 2, 3, 8}) {
        SCOPED_TRACE(item);
        menu(5);
        click(command(8));
        ASSERT_TRUE(recorder.isRecording());
        menu(item);
        EXPECT_FALSE(recorder.isRecording());
        EXPECT_FALSE(recordLimit.isActive());
        EXPECT_TRUE(command(12)->isEnabled()) << "the take is kept, as 停止 keeps it";
        EXPECT_EQ(recorder.calls.last(), QStringLiteral("stop recording"));
    }
    // 全文朗读 on the browsing page plays on through a limit that fires anyway.
    menu(5);
    click(command(8));
    menu(2);
    click(command(6));
    ASSERT_TRUE(player->backend().isPlaying());
    recordLimit.tick();
    EXPECT_TRUE(player->backend().isPlaying());
    EXPECT_EQ(command(6)->text(), QStringLiteral("停止朗读"));
}

// 录音音量调节>> shows the microphone's level on the page and opens the desktop's input
// settings where a tool for them is installed.
TEST_F(TrainerWindowTest, Label13ShowsTheLevelAndOpensTheInputSettings) {
    start();
    QStringList tools;
    window->launcher.startTool = [&tools](const QString &name, const QStringList &arguments) {
        tools << name + u' ' + arguments.join(u' ');
        return name == QStringLiteral("pavucontrol-qt");
    };
    menu(5);
    InputLevelMeter *meter = window->studyArea()->levelMeter();
    EXPECT_FALSE(shown(meter));
    Q_EMIT window->studyArea()->Label13()->released();
    EXPECT_TRUE(shown(meter));
    EXPECT_EQ(tools, QStringList({QStringLiteral("pavucontrol --tab=4"),
                                  QStringLiteral("pavucontrol-qt --tab=4")}));
    EXPECT_EQ(recorder.calls.last(),
              QStringLiteral("watch %1").arg(FollowReadComparison::levelWatchMs));

    Q_EMIT recorder.inputLevel(0.5, false);
    EXPECT_TRUE(meter->live());
    EXPECT_EQ(meter->statusText(), QStringLiteral("音量合适"));
    Q_EMIT recorder.inputLevel(1.0, true);
    EXPECT_TRUE(meter->clipping());
    EXPECT_EQ(meter->statusText(), QStringLiteral("音量过大"));
    Q_EMIT recorder.inputLevel(0, false); // the watch is over
    EXPECT_FALSE(meter->live());
    EXPECT_TRUE(shown(meter));

    // No microphone: the meter says so instead of showing nothing.
    recorder.nextStart = VoiceRecorder::Start::NoInputDevice;
    Q_EMIT window->studyArea()->Label13()->released();
    EXPECT_EQ(meter->statusText(), QStringLiteral("没有找到录音设备，无法录音。"));
    menu(1);
    EXPECT_FALSE(shown(meter));
    EXPECT_EQ(recorder.calls.last(), QStringLiteral("watch 0")) << "the level check ends";
}

// The demo lesson typed sentence by sentence: every box passes, the next sentence waits for
// it, and the last one hands the lesson to the results store once.
// The whole run as a learner types it, into the book's results: the lesson passed gets its
// ★ in the file, the others keep theirs, a restart shows it and 清除 takes it back.
TEST_F(TrainerWindowTest, DictationOfAWholeDemoLessonCompletesItOnce) {
    start();
    int completions = 0;
    DictationHooks &hooks = window->dictation().hooks();
    hooks.lessonCompleted = [&completions, marks = hooks.lessonCompleted] {
        ++completions;
        marks();
    };
    menu(8);
    const TrainerState &s = window->state();
    ASSERT_GT(s.sentenceCount, 1);
    QLineEdit *typing = window->studyArea()->Text2();
    EXPECT_FALSE(shown("Picture12"));
    EXPECT_TRUE(shown("sentencePoints"));
    EXPECT_EQ(window->focusWidget(), typing);

    std::vector<int> sentenceAtMessage;
    window->messageSink = [&](const QString &text, const QString &title, MessageIcon icon) {
        messages << text;
        sentenceAtMessage.push_back(s.currentSentence);
        EXPECT_EQ(title, QStringLiteral("本句成绩"));
        EXPECT_EQ(icon, MessageIcon::Information);
    };
    for (int i = 1; i <= s.sentenceCount; ++i) {
        ASSERT_EQ(s.currentSentence, i);
        typing->setText(s.view.Label1.text.toUpper());
        sendKey(typing, Qt::Key_Return);
        EXPECT_TRUE(shown("Picture12"));
        EXPECT_EQ(window->findChild<QLabel *>(QStringLiteral("Label33"))->text(),
                  QString::number(i));
    }
    ASSERT_EQ(messages.size(), s.sentenceCount);
    for (int i = 0; i < s.sentenceCount; ++i) {
        const bool last = i + 1 == s.sentenceCount;
        EXPECT_TRUE(messages[i].startsWith(
            last ? QStringLiteral(
                       "本句得分：100分，恭喜您本课已过关，请按回车键查看本册成绩。\r\n\r\n")
                 : QStringLiteral("本句得分：100分，恭喜您已过关，请按回车键进入下一句。\r\n\r\n")))
            << i;
        EXPECT_EQ(sentenceAtMessage[size_t(i)], i + 1);
    }
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(s.passedCount, s.sentenceCount);
    EXPECT_EQ(s.Picture10Left,
              s.dictationGeometry.Picture9Width - s.dictationGeometry.Picture10Width);
    const QString resultsFile =
        programDir + QStringLiteral("/SETTING/Results/") + demoBook + QStringLiteral(".dat");
    const QString passed = QStringLiteral("^☆第1课 问候与介绍^★第2课 购物^☆第3课 问路^☆第4课 在餐馆"
                                          "^☆第5课 天气^☆第6课 工作与办公室^");
    EXPECT_EQ(resultsTextFromFile(readSettingsFile(resultsFile)), passed);
    EXPECT_TRUE(window->Picture8()->isVisibleTo(window.get()));

    // Enter once more on the completed lesson changes nothing.
    sendKey(typing, Qt::Key_Return);
    EXPECT_EQ(messages.size(), s.sentenceCount);
    EXPECT_EQ(completions, 1);

    // "5" typed into the pass-mark picker is refused when the edit ends.
    window->messageSink = [this](const QString &text, const QString &, MessageIcon) {
        messages << text;
    };
    QLineEdit *passMark = window->studyArea()->Combo5()->lineEdit();
    passMark->setFocus();
    passMark->selectAll();
    sendKey(passMark, Qt::Key_5, QStringLiteral("5"));
    EXPECT_EQ(passMark->text(), QStringLiteral("5"));
    sendKey(passMark, Qt::Key_Return);
    EXPECT_EQ(messages.last(), QStringLiteral("最低值不能低于60分！"));
    EXPECT_EQ(window->studyArea()->Combo5()->currentText(), QStringLiteral("60"));

    window->close();
    start();
    window->showResults();
    QListWidget *List2 = window->Picture8()->List2();
    ASSERT_EQ(List2->count(), 6);
    EXPECT_EQ(List2->item(1)->text(), QStringLiteral("★第2课 购物"));
    window->Picture8()->Command26()->click();
    EXPECT_EQ(List2->item(1)->text(), QStringLiteral("☆第2课 购物"));
    EXPECT_EQ(resultsTextFromFile(readSettingsFile(resultsFile)),
              QString(passed).replace(u'★', u'☆'));
}

// In a test, a review entry of the sentence under test replays it as 复读 does (counted and
// deducted); entries of other sentences wait for the end of the test, as the page says.
TEST_F(TrainerWindowTest, TheReviewListDuringATestCountsAsReplay) {
    start();
    menu(8);
    const TrainerState &s = window->state();
    ASSERT_EQ(s.currentSentence, 1);
    fake().calls.clear();
    Q_EMIT window->Picture8()->reviewSentenceRequested(s.lessonIndex, 2);
    EXPECT_EQ(s.currentSentence, 1);
    EXPECT_TRUE(fake().calls.isEmpty()) << fake().calls.join(u' ').toStdString();
    Q_EMIT window->Picture8()->reviewSentenceRequested(s.lessonIndex, 1);
    EXPECT_EQ(s.dictation.replayCount, 1);
    EXPECT_EQ(s.dictation.sentencePoints, 95);
    EXPECT_TRUE(fake().isPlaying());
    window->showResults();
    window->Picture8()->showPage(ResultsPanel::Page::Review);
    EXPECT_TRUE(window->Picture8()
                    ->findChild<QLabel *>(QStringLiteral("ResultsLegend"))
                    ->text()
                    .contains(QStringLiteral("测试后")));
}

// A lesson without sentences leaves nothing of the one before in the dictation: no sentence
// to show or reveal, and neither a hint nor a typing is scored.
TEST_F(TrainerWindowTest, AnEmptyLessonHasNothingToTest) {
    writeFile(programDir + QStringLiteral("/book/") + demoBook + QStringLiteral("/3.dat"),
              QByteArray());
    start();
    menu(8);
    const TrainerState &s = window->state();
    ASSERT_FALSE(s.view.Label1.text.isEmpty());
    list()->setCurrentRow(2);
    sendMouse(list()->viewport(), QEvent::MouseButtonRelease);
    ASSERT_EQ(s.sentenceCount, 0);
    EXPECT_TRUE(s.view.Label1.text.isEmpty());
    EXPECT_TRUE(s.view.Label51.text.isEmpty());
    QLineEdit *typing = window->studyArea()->Text2();
    sendKey(typing, Qt::Key_F8);
    sendKey(typing, Qt::Key_A, QStringLiteral("a"));
    sendKey(typing, Qt::Key_Return);
    EXPECT_EQ(s.dictation, DictationCounters{});
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
}

// Every key the typing box takes, an edit or a caret move, clicks and ends a dictation hint;
// Escape and the function keys do neither.
TEST_F(TrainerWindowTest, EveryKeyTheTypingBoxTakesClicksAndEndsAHint) {
    struct Case {
        int key;
        Qt::KeyboardModifiers modifiers;
        const char *text;
        bool typing;
    } cases[] = {{Qt::Key_A, Qt::NoModifier, "a", true},
                 {Qt::Key_Left, Qt::NoModifier, "", true},
                 {Qt::Key_Right, Qt::NoModifier, "", true},
                 {Qt::Key_Home, Qt::NoModifier, "", true},
                 {Qt::Key_End, Qt::ShiftModifier, "", true},
                 {Qt::Key_Delete, Qt::NoModifier, "", true},
                 {Qt::Key_V, Qt::ControlModifier, "\x16", true},
                 {Qt::Key_Escape, Qt::NoModifier, "\x1b", false},
                 {Qt::Key_F12, Qt::NoModifier, "", false}};
    start();
    menu(8);
    const TrainerState &s = window->state();
    QLineEdit *typing = window->studyArea()->Text2();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.key);
        sendKey(typing, Qt::Key_F8); // a hint: the sentence shows until the next key
        ASSERT_TRUE(s.view.Label1.visible);
        sounds.played.clear();
        QKeyEvent event(QEvent::KeyPress, c.key, c.modifiers, QString::fromLatin1(c.text));
        QApplication::sendEvent(typing, &event);
        EXPECT_EQ(!sounds.played.isEmpty() && sounds.played.last().endsWith(u"type.wav"), c.typing);
        EXPECT_EQ(s.view.Label1.visible, !c.typing);
    }
}

QByteArray fileBytes(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Fixing a sentence's times by ear: a step moves the shown sentence's time by 50 ms, writes
// the lesson file where the program writes (the file itself when portable; the learner's copy
// when installed, the shipped file untouched), plays the sentence again from its new Start
// to its new End, and is what the next start loads. "还原" gives back the bytes as opened.
TEST_F(TrainerWindowTest, TimingStepsRewriteTheLessonAndPlayTheSentenceAgain) {
    const QString lesson = QStringLiteral("/book/") + demoBook + QStringLiteral("/2.dat");
    const QByteArray opened = fileBytes(programDir + lesson);
    ASSERT_TRUE(opened.contains("#3.25#4.70#"));
    struct Case {
        const char *name;
        bool installed;
        int button; // of the timing bar
        const char *times;
        const char *seek;
        double start;
        double end;
    } cases[] = {
        {"portable, Start later", false, 1, "#3.30#4.70#", "seek 3.3", 3.30, 4.70},
        {"installed, Start earlier", true, 0, "#3.20#4.70#", "seek 3.2", 3.20, 4.70},
        {"installed, End later", true, 3, "#3.25#4.75#", "seek 3.25", 3.25, 4.75},
        {"portable, End earlier", false, 2, "#3.25#4.65#", "seek 3.25", 3.25, 4.65},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir home;
        userDir = c.installed ? home.path() : QString();
        writeFile(programDir + lesson, opened);
        restart();
        command(1)->click(); // sentence 2
        const TrainerState &s = window->state();
        ASSERT_EQ(s.currentSentence, 2);
        SentenceTimingBar *bar = window->studyArea()->timingBar();
        ASSERT_TRUE(shown(bar));
        EXPECT_EQ(bar->timesLabel()->text(), QStringLiteral("00:03.250 – 00:04.700"));
        EXPECT_EQ(bar->button(c.button)->accessibleName(),
                  (QStringList{QStringLiteral("开始 \u2212"), QStringLiteral("开始 +"),
                               QStringLiteral("结束 \u2212"), QStringLiteral("结束 +")})
                      .at(c.button));
        EXPECT_FALSE(bar->button(4)->isEnabled());

        fake().calls.clear();
        bar->button(c.button)->click();
        const QByteArray changed = QByteArray(opened).replace("#3.25#4.70#", c.times);
        const QString written = (c.installed ? userDir : programDir) + lesson;
        EXPECT_EQ(fileBytes(written), changed);
        if (c.installed)
            EXPECT_EQ(fileBytes(programDir + lesson), opened);
        else
            EXPECT_FALSE(QFileInfo::exists(home.path() + lesson));
        // The loaded lesson plays the new times at once.
        ASSERT_TRUE(s.sentences.times(2));
        EXPECT_DOUBLE_EQ(s.sentences.times(2)->start, c.start);
        EXPECT_DOUBLE_EQ(s.sentences.times(2)->end, c.end);
        EXPECT_DOUBLE_EQ(player->voiceEnd, c.end);
        EXPECT_EQ(fake().calls.filter(QStringLiteral("seek ")), QStringList{c.seek});
        EXPECT_TRUE(fake().calls.contains(QStringLiteral("play")));
        EXPECT_TRUE(bar->button(4)->isEnabled());
        EXPECT_TRUE(bar->noteLabel()->text().contains(QStringLiteral("50 毫秒")));

        // The next start reads the changed lesson (the learner's copy first).
        restart();
        command(1)->click();
        ASSERT_TRUE(window->state().sentences.times(2));
        EXPECT_DOUBLE_EQ(window->state().sentences.times(2)->start, c.start);
        bar = window->studyArea()->timingBar();
        EXPECT_FALSE(bar->button(4)->isEnabled()); // opened with these times
        window->retimer().step(SentenceRetimer::Edge::Start, 50);

        // Undo: the times as this lesson was opened with, byte for byte.
        fake().calls.clear();
        bar->button(4)->click();
        EXPECT_EQ(fileBytes(written), changed);
        EXPECT_DOUBLE_EQ(window->state().sentences.times(2)->start, c.start);
        EXPECT_FALSE(bar->button(4)->isEnabled());
        EXPECT_TRUE(fake().calls.contains(QStringLiteral("play")));
        EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
    }
    // Only sentence study has the control: the other pages show neither it nor its note.
    SentenceTimingBar *bar = window->studyArea()->timingBar();
    EXPECT_TRUE(shown(bar->noteLabel()));
    for (int item : {2, 3, 4, 5, 8}) {
        SCOPED_TRACE(item);
        menu(item);
        EXPECT_FALSE(shown(bar));
        EXPECT_FALSE(shown(bar->noteLabel()));
    }
}

// A step that cannot be written or would make no sense keeps the file, the loaded times and
// the player as they were and says why in one calm line under the control.
TEST_F(TrainerWindowTest, ATimingStepThatFailsKeepsTheTimesAndSaysWhy) {
    const QString lesson =
        programDir + QStringLiteral("/book/") + demoBook + QStringLiteral("/2.dat");
    const QByteArray opened = fileBytes(lesson);
    struct Case {
        const char *name;
        int button;
        std::function<void(TrainerWindow &)> before;
        const char *says;
    } cases[] = {
        // The permission bits are the learner's wish, honoured even for root.
        {"read-only lesson file", 3,
         [&](TrainerWindow &) {
             QFile::setPermissions(lesson, QFileDevice::ReadOwner | QFileDevice::ReadGroup);
         },
         "只读"},
        {"End at the end of the audio", 3,
         [](TrainerWindow &w) { w.retimer().audioSeconds = [](const QString &) { return 4.70; }; },
         "末尾"},
        {"Start at 0", 0,
         [](TrainerWindow &w) { w.retimer().step(SentenceRetimer::Edge::Start, -3250); }, "最前面"},
        {"Start onto End", 1,
         [](TrainerWindow &w) { w.retimer().step(SentenceRetimer::Edge::Start, 1400); },
         "早于结束"},
        {"the file written by someone else since", 1,
         [&](TrainerWindow &) {
             writeFile(lesson, QByteArray(opened).replace("#3.25#", "#3.26#"));
         },
         "重新打开"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::setPermissions(lesson, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        writeFile(lesson, opened);
        restart();
        command(1)->click();
        c.before(*window);
        const TrainerState &s = window->state();
        const SentenceTimes was = *s.sentences.times(2);
        const QByteArray onDisk = fileBytes(lesson);
        SentenceTimingBar *bar = window->studyArea()->timingBar();
        const QString timesShown = bar->timesLabel()->text();
        fake().calls.clear();
        bar->button(c.button)->click();
        EXPECT_EQ(fileBytes(lesson), onDisk);
        EXPECT_DOUBLE_EQ(s.sentences.times(2)->start, was.start);
        EXPECT_DOUBLE_EQ(s.sentences.times(2)->end, was.end);
        EXPECT_EQ(bar->timesLabel()->text(), timesShown);
        EXPECT_TRUE(fake().calls.filter(QStringLiteral("seek ")).isEmpty());
        EXPECT_TRUE(bar->noteLabel()->text().contains(QString::fromUtf8(c.says)))
            << bar->noteLabel()->text().toStdString();
        EXPECT_FALSE(bar->noteLabel()->text().contains(u'\n'));
        EXPECT_TRUE(messages.isEmpty());
        // The line belongs to the sentence it failed on.
        command(1)->click();
        EXPECT_FALSE(bar->noteLabel()->text().contains(QString::fromUtf8(c.says)));
    }
    QFile::setPermissions(lesson, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

} // namespace
