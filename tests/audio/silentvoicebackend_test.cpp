#include "audio/silentvoicebackend.h"

#include <QTemporaryFile>
#include <gtest/gtest.h>

namespace {

struct Clocked {
    qint64 now = 1000;
    SilentVoiceBackend backend{[this] { return now; }};
};

TEST(SilentVoiceBackend, RunsInRealTimeAtTheRateAndHoldsWhenPaused) {
    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    Clocked c;
    c.backend.open(file.fileName());
    c.backend.setPosition(2500);
    c.now += 300;
    EXPECT_EQ(c.backend.position(), 2500) << "moves only while playing";
    c.backend.play();
    c.now += 400;
    EXPECT_EQ(c.backend.position(), 2900);
    c.backend.setRate(2.0);
    c.now += 100;
    EXPECT_EQ(c.backend.position(), 3100);
    c.backend.pause();
    c.now += 1000;
    EXPECT_EQ(c.backend.position(), 3100);
    c.backend.play();
    c.now += 50;
    EXPECT_EQ(c.backend.position(), 3200);
}

TEST(SilentVoiceBackend, NoFileMeansNothingMoves) {
    for (const QString &path : {QString(), QStringLiteral("/no/such/lesson.mp3")}) {
        Clocked c;
        c.backend.open(path);
        c.backend.setPosition(1000);
        c.backend.play();
        c.now += 500;
        EXPECT_EQ(c.backend.position(), 0);
        EXPECT_FALSE(c.backend.isPlaying());
    }
}

} // namespace
