#include "audio/fakevoicebackend.h"
#include "audio/voiceplayer.h"
#include "support/qstringprinter.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

struct Rig {
    explicit Rig(Program program, VoiceBackend::Unit unit = VoiceBackend::Unit::Seconds)
        : player(program, std::make_unique<FakeVoiceBackend>(unit)),
          fake(static_cast<FakeVoiceBackend &>(player.backend())) {}
    VoicePlayer player;
    FakeVoiceBackend &fake;
};

// A lesson load followed by one sentence, the way the callers drive the player.
void loadAndPlaySentence(VoicePlayer &p, double startSeconds, double endSeconds) {
    p.VoiceSet();
    p.voiceFile = QStringLiteral("/lessons/1.mp3");
    p.VoiceOpen();
    p.voiceStart = p.toPlayerUnits(startSeconds);
    p.voiceEnd = p.toPlayerUnits(endSeconds);
    p.VoiceSetPosition();
    p.VoicePlay();
}

TEST(VoicePlayer, KindAndFlagFollowTheBackendUnit) {
    Rig media(Program::Orvessa, VoiceBackend::Unit::Seconds);
    EXPECT_EQ(media.player.playerKind, 2);
    EXPECT_EQ(media.player.WmpEnable, 1);
    Rig fallback(Program::Orvessa, VoiceBackend::Unit::Milliseconds);
    EXPECT_EQ(fallback.player.playerKind, 1);
    EXPECT_EQ(fallback.player.WmpEnable, 0);
}

TEST(VoicePlayer, WithoutAnyBackendEveryProcedureIsHarmless) {
    VoicePlayer p(Program::Orvessa, nullptr);
    EXPECT_EQ(p.playerKind, 1);
    p.VoicePlay();
    p.VoiceGetPosition();
    loadAndPlaySentence(p, 1.0, 2.0); // the file does not exist
    p.VoiceGetPosition();
    EXPECT_EQ(p.voicePosition, 0);
}

// The fallback device gets milliseconds: a sentence from 2.5 s to 4.1 s is sought
// with 2500 and ends when the position reaches 4100.
TEST(VoicePlayer, FallbackSeeksAndEndsInMilliseconds) {
    Rig r(Program::Orvessa, VoiceBackend::Unit::Milliseconds);
    loadAndPlaySentence(r.player, 2.5, 4.1);
    EXPECT_EQ(r.player.voiceEnd, 4100);
    EXPECT_EQ(r.fake.calls.filter(QStringLiteral("seek")), QStringList{"seek 2500"});
    r.fake.advance(1599);
    r.player.VoiceGetPosition();
    EXPECT_LT(r.player.voicePosition, r.player.voiceEnd);
    r.fake.advance(1);
    r.player.VoiceGetPosition();
    EXPECT_GE(r.player.voicePosition, r.player.voiceEnd);
    EXPECT_EQ(r.player.voicePosition, 4100);
}

TEST(VoicePlayer, MediaPlayerSeeksInSeconds) {
    Rig r(Program::Orvessa, VoiceBackend::Unit::Seconds);
    loadAndPlaySentence(r.player, 2.5, 4.1);
    EXPECT_EQ(r.fake.calls.filter(QStringLiteral("seek")), QStringList{"seek 2.5"});
    r.fake.advance(1600);
    r.player.VoiceGetPosition();
    EXPECT_NEAR(r.player.voicePosition, 4.1, 1e-9);
}

// The fallback's From and Position are 32-bit integers: the nearest one, ties to even,
// saturating instead of wrapping.
TEST(VoicePlayer, FallbackPositionsAreRoundedToInt32) {
    struct Case {
        double voiceStart;
        double from;
    };
    const Case cases[] = {
        {4.1 * 1000, 4100}, // 4099.9999999999995
        {1.2344 * 1000, 1234},
        {1.2346 * 1000, 1235},
        {1234.5, 1234},
        {1235.5, 1236},
        {-0.4, 0},
        {-2.6, -3},
        {3.0e12, 2147483647.0},
        {-3.0e12, -2147483648.0},
        {std::nan(""), 0},
    };
    for (const Case &c : cases) {
        Rig r(Program::Orvessa, VoiceBackend::Unit::Milliseconds);
        r.player.voiceStart = c.voiceStart;
        r.player.VoiceSetPosition();
        EXPECT_EQ(r.fake.position(), c.from) << c.voiceStart;
    }
}

TEST(VoicePlayer, FallbackReadsWholeMilliseconds) {
    Rig r(Program::Orvessa, VoiceBackend::Unit::Milliseconds);
    loadAndPlaySentence(r.player, 0, 1);
    r.fake.setPosition(1234.6);
    r.player.VoiceGetPosition();
    EXPECT_EQ(r.player.voicePosition, 1235);
}

TEST(VoicePlayer, OpeningNeverStartsPlayback) {
    for (Program program : {Program::Orvessa, Program::Mini}) {
        for (auto unit : {VoiceBackend::Unit::Seconds, VoiceBackend::Unit::Milliseconds}) {
            Rig r(program, unit);
            r.player.VoiceSet();
            r.player.voiceFile = QStringLiteral("/lessons/2.mp3");
            r.player.VoiceOpen();
            EXPECT_FALSE(r.fake.isPlaying());
            EXPECT_FALSE(r.fake.calls.contains(QStringLiteral("play")));
            EXPECT_EQ(r.fake.openedFile, QStringLiteral("/lessons/2.mp3"));
        }
    }
}

// The fallback closes the previous file when a lesson is prepared; the media player
// replaces it on open.
TEST(VoicePlayer, VoiceSetClosesOnlyOnTheFallback) {
    Rig fallback(Program::Orvessa, VoiceBackend::Unit::Milliseconds);
    fallback.fake.open(QStringLiteral("/lessons/1.mp3"));
    fallback.player.VoiceSet();
    EXPECT_EQ(fallback.fake.closes, 1);
    EXPECT_TRUE(fallback.fake.openedFile.isEmpty());

    Rig media(Program::Orvessa, VoiceBackend::Unit::Seconds);
    media.fake.open(QStringLiteral("/lessons/1.mp3"));
    media.player.VoiceSet();
    EXPECT_EQ(media.fake.closes, 0);
}

TEST(VoicePlayer, PauseThenPlayResumesWithoutSeeking) {
    for (auto unit : {VoiceBackend::Unit::Seconds, VoiceBackend::Unit::Milliseconds}) {
        Rig r(Program::Orvessa, unit);
        loadAndPlaySentence(r.player, 1.0, 9.0);
        r.fake.advance(700);
        r.player.VoicePause();
        r.player.VoiceGetPosition();
        const double held = r.player.voicePosition;
        r.fake.advance(5000); // time passes while paused
        r.player.VoicePlay();
        r.player.VoiceGetPosition();
        EXPECT_EQ(r.player.voicePosition, held);
        EXPECT_DOUBLE_EQ(r.player.voicePosition, r.player.toPlayerUnits(1.7));
        EXPECT_EQ(r.fake.calls.filter(QStringLiteral("seek")).size(), 1);
        EXPECT_EQ(r.fake.calls.mid(r.fake.calls.size() - 2), (QStringList{"pause", "play"}));
    }
}

TEST(VoicePlayer, MiniVolumeFollowsTheBookTitle) {
    struct Case {
        const char *title;
        int volume;
    };
    const Case cases[] = {
        {"英语900句经典版", 70},   {"英语900句视频版", 50}, {"英语900句", 100}, {"", 100},
        {"英语900句视频版 ", 100},
    };
    Rig r(Program::Mini);
    for (const Case &c : cases) {
        r.player.bookTitle = QString::fromUtf8(c.title);
        r.player.VoiceSet();
        EXPECT_EQ(r.fake.volume, c.volume) << c.title;
    }
    // Switching from the video book back to another book restores full volume.
    r.player.bookTitle = QStringLiteral("英语900句视频版");
    r.player.VoiceSet();
    r.player.bookTitle = QStringLiteral("新概念英语");
    r.player.VoiceSet();
    EXPECT_EQ(r.fake.volume, 100);
}

TEST(VoicePlayer, OnlyMiniOnTheMediaPlayerSetsVolumeAndRate) {
    struct Case {
        Program program;
        VoiceBackend::Unit unit;
        bool setsVolumeAndRate;
    };
    const Case cases[] = {
        {Program::Mini, VoiceBackend::Unit::Seconds, true},
        {Program::Mini, VoiceBackend::Unit::Milliseconds, false},
        {Program::Orvessa, VoiceBackend::Unit::Seconds, false},
        {Program::Orvessa, VoiceBackend::Unit::Milliseconds, false},
    };
    for (const Case &c : cases) {
        Rig r(c.program, c.unit);
        r.player.bookTitle = QStringLiteral("英语900句视频版");
        loadAndPlaySentence(r.player, 0, 1);
        EXPECT_EQ(r.fake.calls.filter(QStringLiteral("volume")).size(), c.setsVolumeAndRate);
        EXPECT_EQ(r.fake.calls.filter(QStringLiteral("rate")).size(), c.setsVolumeAndRate);
    }
}

TEST(VoicePlayer, MiniOpenAppliesTheChosenSpeed) {
    Rig r(Program::Mini);
    r.player.normalPlay = false;
    loadAndPlaySentence(r.player, 0, 1);
    EXPECT_EQ(r.fake.rate, 0.5);
    // The speed survives a change of lesson, and "常速" brings it back to 1.0.
    loadAndPlaySentence(r.player, 0, 1);
    EXPECT_EQ(r.fake.rate, 0.5);
    r.player.normalPlay = true;
    loadAndPlaySentence(r.player, 0, 1);
    EXPECT_EQ(r.fake.rate, 1.0);
    // The rate is set after the file is opened, not before.
    qsizetype open = r.fake.calls.size() - 1;
    while (open >= 0 && !r.fake.calls.at(open).startsWith(QStringLiteral("open ")))
        --open;
    ASSERT_GE(open, 0);
    EXPECT_EQ(r.fake.calls.at(open + 1), QStringLiteral("rate 1"));
}

TEST(VoicePlayer, OrvessaOpenKeepsTheRateSetBefore) {
    Rig r(Program::Orvessa);
    r.player.setRate(2.0);
    loadAndPlaySentence(r.player, 0, 1);
    EXPECT_EQ(r.fake.rate, 2.0);
}

// A sentence that ends past the end of the recording must still be seen to end.
TEST(VoicePlayer, SentencePastTheEndOfTheFileEndsThere) {
    for (auto unit : {VoiceBackend::Unit::Seconds, VoiceBackend::Unit::Milliseconds}) {
        Rig r(Program::Orvessa, unit);
        loadAndPlaySentence(r.player, 5.0, 7.0);
        r.fake.advance(1000);
        r.player.VoiceGetPosition();
        EXPECT_LT(r.player.voicePosition, r.player.voiceEnd);
        r.fake.ended = true; // the recording ran out at 6 s
        r.player.VoiceGetPosition();
        EXPECT_GE(r.player.voicePosition, r.player.voiceEnd);
        // Seeking back for a repeat reads real positions again.
        r.player.VoiceSetPosition();
        r.player.VoiceGetPosition();
        EXPECT_EQ(r.player.voicePosition, r.player.voiceStart);
    }
}

// Another engine takes the lesson over where it stands: the same file at the same place
// and rate, playing on if it played, and the sentence's times in its own units, so the
// sentence under way still ends at its End. The old engine falls silent first.
TEST(VoicePlayer, SwitchingEnginesKeepsTheLessonItsPlaceAndItsSentence) {
    using Unit = VoiceBackend::Unit;
    struct Case {
        Unit from, to;
        bool playing;
        int kind;
        double start, end; // voiceStart, voiceEnd after the switch
        QString seek;      // where the new engine was put
    };
    // Sentence 2.5 s to 4.1 s, 0.6 s of it played (at 0.5: 1.2 s of wall time).
    const Case cases[] = {
        {Unit::Seconds, Unit::Milliseconds, true, 1, 2500, 4100, QStringLiteral("seek 3100")},
        {Unit::Milliseconds, Unit::Seconds, true, 2, 2.5, 4.1, QStringLiteral("seek 3.1")},
        {Unit::Seconds, Unit::Milliseconds, false, 1, 2500, 4100, QStringLiteral("seek 3100")},
        {Unit::Seconds, Unit::Seconds, true, 2, 2.5, 4.1, QStringLiteral("seek 3.1")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(int(c.to) * 2 + int(c.playing));
        Rig r(Program::Orvessa, c.from);
        loadAndPlaySentence(r.player, 2.5, 4.1);
        r.player.setRate(0.5);
        r.fake.advance(1200);
        if (!c.playing)
            r.player.VoicePause();

        const int WmpEnable = r.player.WmpEnable;
        auto next = std::make_unique<FakeVoiceBackend>(c.to);
        FakeVoiceBackend *fresh = next.get();
        r.player.switchBackend(std::move(next));
        EXPECT_EQ(&r.player.backend(), fresh);
        EXPECT_EQ(r.player.playerKind, c.kind);
        EXPECT_EQ(r.player.WmpEnable, WmpEnable); // what start-up found stays
        EXPECT_NEAR(r.player.voiceStart, c.start, 1e-9);
        EXPECT_NEAR(r.player.voiceEnd, c.end, 1e-9);
        const QStringList expected = {QStringLiteral("rate 0.5"),
                                      QStringLiteral("open /lessons/1.mp3"), c.seek};
        EXPECT_EQ(fresh->calls.mid(0, 3), expected);
        EXPECT_EQ(fresh->isPlaying(), c.playing);

        // The sentence ends at its End on the new engine.
        r.player.VoiceGetPosition();
        EXPECT_LT(r.player.voicePosition, r.player.voiceEnd);
        fresh->advance(c.playing ? 2400 : 0);
        r.player.VoiceGetPosition();
        EXPECT_EQ(r.player.voicePosition >= r.player.voiceEnd, c.playing);
    }
    // No engine, no change.
    Rig r(Program::Orvessa); // r.fake is gone after a switch: only used before
    r.player.switchBackend(nullptr);
    EXPECT_EQ(&r.player.backend(), &r.fake);
}

} // namespace
