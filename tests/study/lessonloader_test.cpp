#include "audio/fakevoicebackend.h"
#include "audio/voiceplayer.h"
#include "study/lessonloader.h"
#include "support/fakemeasurer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString book = QStringLiteral("测试课本");

class LessonLoaderTest : public ::testing::Test {
protected:
    void SetUp() override { make(Program::Orvessa); }

    void make(Program program) {
        state = TrainerState::forProgram(program);
        auto backend = std::make_unique<FakeVoiceBackend>(VoiceBackend::Unit::Seconds);
        fake = backend.get();
        player = std::make_unique<VoicePlayer>(program, std::move(backend));
        loader = std::make_unique<LessonLoader>(state, *player, measurer);
        events.clear();
        messages.clear();
        LoaderHooks &hooks = loader->hooks();
        hooks.nextSentence = [this](TrainerState &s) {
            events << QStringLiteral("next");
            LoaderHooks::defaultNextSentence(s);
        };
        hooks.cc = [this](TrainerState &s) {
            events << QStringLiteral("cc");
            LoaderHooks::defaultCc(s);
        };
        hooks.messageBox = [this](const QString &text) {
            events << QStringLiteral("message");
            messages << text;
        };
        hooks.focusCombo4 = [this] { events << QStringLiteral("focus"); };
        QObject::connect(loader.get(), &LessonLoader::lessonLoaded,
                         [this] { events << QStringLiteral("loaded"); });
    }

    LoadResult load(const QString &title, int index, const QString &programDir = dataDir()) {
        return loader->loadlesson(LessonSelection{DataPlaces::portable(programDir), title, index,
                                                  QStringLiteral("第%1课").arg(index + 1)});
    }

    static QString dataDir() { return QStringLiteral(ORVESSA_TEST_DATA_DIR "/loader"); }
    static QString sound(const QString &title, const QString &file) {
        return dataDir() + QStringLiteral("/Sound/") + title + u'/' + file;
    }
    QStringList opened() const { return fake->calls.filter(QStringLiteral("open ")); }

    FakeMeasurer measurer;
    TrainerState state;
    FakeVoiceBackend *fake = nullptr;
    std::unique_ptr<VoicePlayer> player;
    std::unique_ptr<LessonLoader> loader;
    QStringList events;
    QStringList messages;
};

TEST_F(LessonLoaderTest, StepsRunInOrder) {
    make(Program::Mini);
    state.studyMode = 2;
    size_t callsAtNext = 0;
    size_t rowsAtCc = 0;
    loader->hooks().nextSentence = [&](TrainerState &s) {
        callsAtNext = size_t(fake->calls.size());
        events << QStringLiteral("next");
        LoaderHooks::defaultNextSentence(s);
    };
    loader->hooks().cc = [&](TrainerState &s) {
        rowsAtCc = s.rows.size();
        events << QStringLiteral("cc");
    };
    load(book, 2); // lesson 3 has no audio

    // VoiceSet (mini applies the book's volume), then VoiceOpen (and mini's rate).
    EXPECT_EQ(fake->calls, (QStringList{QStringLiteral("volume 100"),
                                        QStringLiteral("open ") + sound(book, "3.mp3"),
                                        QStringLiteral("rate 1")}));
    EXPECT_EQ(callsAtNext, 3u);
    EXPECT_EQ(rowsAtCc, 5u);
    EXPECT_EQ(events, (QStringList{"next", "cc", "focus", "loaded", "message"}));
}

TEST_F(LessonLoaderTest, MissingAudioIsReportedOncePerLoad) {
    LoadResult result = load(book, 2);
    EXPECT_TRUE(result.audioMissing);
    EXPECT_EQ(messages, QStringList{LessonLoader::missingAudioMessage()});
    // The player is still told to open the path; the text loads all the same.
    EXPECT_EQ(player->voiceFile, sound(book, "3.mp3"));
    EXPECT_EQ(opened(), QStringList{QStringLiteral("open ") + sound(book, "3.mp3")});
    EXPECT_EQ(state.sentenceCount, 5);
    EXPECT_FALSE(fake->isPlaying());

    messages.clear();
    result = load(book, 0);
    EXPECT_FALSE(result.audioMissing);
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(player->voiceFile, sound(book, "1.mp3"));
}

TEST_F(LessonLoaderTest, GroupTablesChooseTheGroupFile) {
    const QString title = QStringLiteral("英语口语8000句");
    load(title, 39); // lesson 40
    EXPECT_EQ(player->voiceFile, sound(title, "8.mp3"));
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(state.sentenceCount, 2);

    // Beyond the table nothing is chosen: the previous file is opened again.
    load(title, 184);
    EXPECT_EQ(player->voiceFile, sound(title, "8.mp3"));
    EXPECT_EQ(opened().size(), 2);
    EXPECT_EQ(opened().last(), QStringLiteral("open ") + sound(title, "8.mp3"));
    EXPECT_EQ(state.note, LessonNote::MissingFile);

    make(Program::Mini);
    const QString miniTitle = QStringLiteral("常用会话900句");
    load(miniTitle, 87); // lesson 88; mini's group books check nothing
    EXPECT_EQ(player->voiceFile, sound(miniTitle, "6.mp3"));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(LessonLoaderTest, RowsComeFromTheDecodedLesson) {
    load(book, 0);
    ASSERT_EQ(state.rows.size(), 3u);
    EXPECT_EQ(state.sentences.entry(1).english, QStringLiteral("Good morning."));
    EXPECT_EQ(state.row(1).Label6.text, QStringLiteral("Good morning."));
    EXPECT_EQ(state.row(1).Label8.text, QStringLiteral("早上好。"));
    EXPECT_EQ(state.row(1).Label5, QStringLiteral(" Good morning. # 早上好。 #0.50#2.00#\r\n"));
    EXPECT_EQ(state.row(1).Label6.box.top, 240);
    EXPECT_EQ(state.row(3).Label12.text(), QStringLiteral("3."));
    EXPECT_EQ(state.lessonIndex, 0);
    EXPECT_EQ(state.Label7_20.text, QStringLiteral("第1课"));
    EXPECT_EQ(state.Label37.text, QStringLiteral("第1课"));
    // The default cc: full-text browsing with both languages shown.
    for (const SentenceRow &row : state.rows) {
        EXPECT_EQ(row.Label6.colour, state.rowTemplate.shownColour(false));
        EXPECT_EQ(row.Label6.cursor, RowCursor::PointingHand);
        EXPECT_FALSE(row.Label17.visible);
        EXPECT_FALSE(row.Label18.visible);
        EXPECT_FALSE(row.Image2.visible);
        EXPECT_TRUE(row.Label12.visible);
    }
}

TEST_F(LessonLoaderTest, ANewLessonReplacesEveryRow) {
    load(book, 1);
    ASSERT_EQ(state.rows.size(), 30u);
    EXPECT_EQ(state.row(30).Label12.box.left, 165);
    state.row(2).Line3.visible = true;
    state.passedCount = 7;

    load(book, 2);
    EXPECT_EQ(state.sentenceCount, 5);
    EXPECT_EQ(state.sentences.count(), 5);
    ASSERT_EQ(state.rows.size(), 5u);
    for (int i = 1; i <= 5; ++i) {
        EXPECT_EQ(state.row(i).Label6.text, QStringLiteral("Short line %1.").arg(i));
        EXPECT_FALSE(state.row(i).Line3.visible);
    }
    EXPECT_EQ(state.passedCount, 0);
    EXPECT_EQ(state.panel.canvasHeight, state.row(5).Label8.box.bottom() + 130);
}

TEST_F(LessonLoaderTest, ScrollControlsOnlyForATallCanvas) {
    load(book, 0);
    EXPECT_LT(state.panel.canvasHeight, 5818);
    EXPECT_FALSE(state.panel.scrollControlsVisible);

    load(book, 1);
    state.panel.canvasTop = -2000;
    state.panel.thumbTop = 900;
    load(book, 1);
    EXPECT_GT(state.panel.canvasHeight, 5818);
    EXPECT_TRUE(state.panel.scrollControlsVisible);
    EXPECT_EQ(state.panel.canvasTop, 0);
    EXPECT_EQ(state.panel.thumbTop, 255);
}

TEST_F(LessonLoaderTest, ProgressLineReadsZeroOfN) {
    state.passedCount = 4;
    state.passFraction = 0.5;
    load(book, 1);
    EXPECT_EQ(state.passedCount, 0);
    EXPECT_EQ(state.passFraction, 0.0);
    EXPECT_EQ(state.Label33.text, QStringLiteral("0"));
    EXPECT_EQ(state.Label34.text, QStringLiteral("30"));
    // Widths from the measurer: 100 twips per character.
    EXPECT_EQ(state.Label7_36.left, state.Label33.left + 100 + 40);
    EXPECT_EQ(state.Label34.left, state.Label7_36.left + 100 + 40);
    EXPECT_EQ(state.Label34.width, 200);
    EXPECT_EQ(state.Picture10Left, -state.dictationGeometry.Picture10Width);
}

TEST_F(LessonLoaderTest, SentenceButtonsAfterALoad) {
    struct Case {
        int index;
        int count;
        bool next;
    };
    for (const Case c : {Case{0, 3, true}, Case{4, 1, false}}) {
        state.Command2.enabled = state.Command13.enabled = true;
        state.Command1.enabled = state.Command14.enabled = !c.next;
        load(book, c.index);
        EXPECT_EQ(state.sentenceCount, c.count);
        EXPECT_EQ(state.currentSentence, 1);
        EXPECT_FALSE(state.Command2.enabled) << c.count;
        EXPECT_FALSE(state.Command13.enabled) << c.count;
        // On the only sentence there is no next one to go to.
        EXPECT_EQ(state.Command1.enabled, c.next) << c.count;
        EXPECT_EQ(state.Command14.enabled, c.next) << c.count;
    }
}

TEST_F(LessonLoaderTest, EmptyLessonShowsANote) {
    load(book, 0);
    events.clear();
    const LoadResult result = load(book, 3); // 4.dat is empty
    EXPECT_EQ(result.note, LessonNote::EmptyLesson);
    EXPECT_EQ(state.note, LessonNote::EmptyLesson);
    EXPECT_EQ(state.panel.note, QStringLiteral("本课还没有句子。"));
    EXPECT_TRUE(state.rows.empty());
    EXPECT_EQ(state.sentenceCount, 0);
    EXPECT_EQ(state.currentSentence, 0);
    EXPECT_EQ(state.passFraction, 0.0);
    EXPECT_EQ(state.Label34.text, QStringLiteral("0"));
    for (const ControlState *button :
         {&state.Command1, &state.Command2, &state.Command13, &state.Command14})
        EXPECT_FALSE(button->enabled);
    EXPECT_EQ(state.panel.canvasHeight, 5818);
    EXPECT_FALSE(state.panel.scrollControlsVisible);
    EXPECT_EQ(events, (QStringList{"cc", "loaded"}));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(LessonLoaderTest, MissingLessonFileShowsANoteAndNoMessage) {
    load(book, 0);
    const LoadResult result = load(book, 5); // neither 6.dat nor 6.mp3
    EXPECT_EQ(result.note, LessonNote::MissingFile);
    EXPECT_EQ(state.panel.note, QStringLiteral("找不到本课的课文文件。"));
    EXPECT_TRUE(state.rows.empty());
    EXPECT_EQ(state.sentences.count(), 0);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(LessonLoaderTest, UnsafeTitleOrNoSelectionReadsNothing) {
    for (const QString &title : {QStringLiteral("../loader/book/测试课本"), QString(), book}) {
        fake->calls.clear();
        const int index = title == book ? -1 : 0;
        const LoadResult result = load(title, index);
        EXPECT_EQ(result.note, LessonNote::MissingFile) << title.toStdString();
        EXPECT_TRUE(opened().isEmpty()) << title.toStdString();
        EXPECT_TRUE(state.rows.empty());
        EXPECT_TRUE(messages.isEmpty());
    }
}

TEST_F(LessonLoaderTest, UnreadableLessonFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("book/") + book + QStringLiteral("/1.dat")));
    const LoadResult result = load(book, 0, dir.path());
    EXPECT_EQ(result.note, LessonNote::UnreadableFile);
    EXPECT_TRUE(state.rows.empty());
    EXPECT_TRUE(messages.isEmpty()); // the missing audio is not news without a text
}

TEST_F(LessonLoaderTest, MiniRowsGapsAndScrollBar) {
    make(Program::Mini);
    load(book, 1);
    ASSERT_EQ(state.rows.size(), 30u);
    const SentenceRow &first = state.row(1);
    EXPECT_EQ(first.Label6.box.top, -60 + 210 + 115);
    EXPECT_EQ(first.Label8.box.top, first.Label6.box.bottom() + 115);
    EXPECT_EQ(first.Image2.box.top, first.Label6.box.top + 30);
    EXPECT_EQ(state.row(2).Label6.box.top, first.Label8.box.bottom() + 115);
    EXPECT_EQ(state.panel.VScroll1, (ScrollBarState{true, 0, state.panel.canvasHeight - 5818, 0}));
    EXPECT_FALSE(state.panel.scrollControlsVisible);
    EXPECT_FALSE(state.AR2.enabled);
    EXPECT_TRUE(state.AR3.enabled);
    // mini has no title line and no progress line.
    EXPECT_TRUE(state.Label37.text.isEmpty());
    EXPECT_TRUE(state.Label34.text.isEmpty());

    load(book, 0);
    EXPECT_FALSE(state.panel.VScroll1.enabled);
    EXPECT_EQ(state.panel.canvasTop, 0);
}

TEST_F(LessonLoaderTest, ALoadStopsTheTimersAndSilencesAudioItDoesNotReplace) {
    struct Case {
        const char *name;
        QString title;
        int index;
        bool opens;
    };
    const Case cases[] = {
        {"a lesson with audio", book, 0, true},
        {"nothing selected", book, -1, false},
        {"a refused title", QStringLiteral("../loader/book/测试课本"), 0, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        load(book, 1);
        // The previous lesson's sentence is playing.
        fake->play();
        fake->calls.clear();
        events.clear();
        loader->hooks().stopSentenceTimers = [this] { events << QStringLiteral("stop timers"); };
        load(c.title, c.index);
        EXPECT_EQ(events.value(0), QStringLiteral("stop timers"));
        EXPECT_EQ(events.count(QStringLiteral("stop timers")), 1);
        EXPECT_FALSE(fake->isPlaying());
        EXPECT_EQ(opened().size(), c.opens ? 1 : 0);
        EXPECT_EQ(fake->calls.contains(QStringLiteral("pause")), !c.opens);
    }
}

TEST_F(LessonLoaderTest, GroupBookBeyondItsTableStillChecksTheLastGroupFile) {
    const QString title = QStringLiteral("英语口语8000句");
    for (const bool lastGroupThere : {true, false}) {
        SCOPED_TRACE(lastGroupThere ? "39.mp3 there" : "39.mp3 missing");
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString bookDir = dir.path() + QStringLiteral("/book/") + title;
        const QString soundDir = dir.path() + QStringLiteral("/Sound/") + title;
        ASSERT_TRUE(QDir().mkpath(bookDir) && QDir().mkpath(soundDir));
        const QString lesson =
            dataDir() + QStringLiteral("/book/") + title + QStringLiteral("/40.dat");
        ASSERT_TRUE(QFile::copy(lesson, bookDir + QStringLiteral("/40.dat")));
        ASSERT_TRUE(QFile::copy(lesson, bookDir + QStringLiteral("/185.dat")));
        ASSERT_TRUE(QFile::copy(sound(title, "8.mp3"), soundDir + QStringLiteral("/8.mp3")));
        if (lastGroupThere) {
            ASSERT_TRUE(QFile::copy(sound(title, "39.mp3"), soundDir + QStringLiteral("/39.mp3")));
        }

        load(title, 39, dir.path());
        messages.clear();
        const LoadResult result = load(title, 184, dir.path()); // lesson 185
        EXPECT_EQ(result.note, LessonNote::None);
        EXPECT_EQ(result.audioMissing, !lastGroupThere);
        EXPECT_EQ(messages.size(), lastGroupThere ? 0 : 1);
        // No group file is chosen: the previous one is opened again.
        EXPECT_EQ(player->voiceFile, soundDir + QStringLiteral("/8.mp3"));
    }
}

TEST_F(LessonLoaderTest, FocusGoesToCombo4InTheWholeTextModes) {
    for (int mode = 1; mode <= 8; ++mode) {
        state.studyMode = mode;
        events.clear();
        load(book, 0);
        EXPECT_EQ(events.contains(QStringLiteral("focus")), mode >= 2 && mode <= 4) << mode;
        EXPECT_EQ(events.count(QStringLiteral("loaded")), 1);
    }
}

} // namespace
