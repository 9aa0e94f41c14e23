#include "audio/clipstream.h"
#include "audio/qtshortsoundplayer.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <gtest/gtest.h>

namespace {

QByteArray readBytes(ClipStream &stream, qint64 n) {
    QByteArray bytes(qsizetype(n), 'x');
    EXPECT_EQ(stream.read(bytes.data(), n), n) << "the stream never runs dry";
    return bytes;
}

TEST(ClipStream, PlaysTheClipThenSilence) {
    ClipStream stream;
    EXPECT_EQ(readBytes(stream, 4), QByteArray(4, '\0'));
    stream.start("abcdef");
    EXPECT_TRUE(stream.isPlaying());
    EXPECT_EQ(readBytes(stream, 4), QByteArray("abcd"));
    EXPECT_EQ(readBytes(stream, 4), QByteArray("ef\0\0", 4));
    EXPECT_FALSE(stream.isPlaying());
    EXPECT_GE(stream.bytesAvailable(), ClipStream::endless);
}

TEST(ClipStream, ANewClipCutsOffTheOnePlayingAtTheNextRead) {
    ClipStream stream;
    stream.start("aaaaaaaa");
    readBytes(stream, 3);
    stream.start("bbb");
    EXPECT_EQ(readBytes(stream, 5), QByteArray("bbb\0\0", 5));
    stream.start("ccc");
    stream.stop();
    EXPECT_FALSE(stream.isPlaying());
    EXPECT_EQ(readBytes(stream, 2), QByteArray(2, '\0'));
}

TEST(ClipStream, UnsignedSamplesAreSilentAtTheirMiddle) {
    ClipStream stream;
    stream.setSilence(char(0x80));
    stream.start("z");
    EXPECT_EQ(readBytes(stream, 3), QByteArray("z\x80\x80"));
}

// Without an audio output every sound is dropped quietly; with one (a developer's machine),
// only readable wave files reach it.
TEST(QtShortSoundPlayer, MissingOrBrokenFilesPlayNothing) {
    QtShortSoundPlayer player;
    const QString data = QStringLiteral(ORVESSA_TEST_DATA_DIR);
    for (const QString &path :
         {QString(), data + QStringLiteral("/shortsound/none.wav"),
          data + QStringLiteral("/audio/tone.mp3"), data + QStringLiteral("/shortsound")})
        player.play(path);
    const bool haveDevice = !QMediaDevices::defaultAudioOutput().isNull();
    EXPECT_EQ(player.hasOutput(), haveDevice);
    player.play(data + QStringLiteral("/shortsound/s16_mono_44k.wav"));
    EXPECT_EQ(player.hasOutput(), haveDevice);
}

} // namespace
