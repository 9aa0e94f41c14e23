#include "audio/wavclip.h"

#include <QAudioFormat>
#include <QFile>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

namespace {

QByteArray fixture(const char *name) {
    QFile file(QStringLiteral(ORVESSA_TEST_DATA_DIR "/shortsound/") + QString::fromLatin1(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return file.readAll();
}

float peak(const PcmClip &clip) {
    float top = 0;
    for (float s : clip.samples)
        top = std::max(top, std::abs(s));
    return top;
}

struct FixtureCase {
    const char *file;
    int rate;
    int channels;
    long long frames;
};

class WavFixture : public ::testing::TestWithParam<FixtureCase> {};

// 10 ms of a half-scale sine in every sample format the decoder takes.
TEST_P(WavFixture, DecodesRateChannelsFramesAndLevel) {
    const FixtureCase c = GetParam();
    const auto decoded = decodeWav(fixture(c.file));
    ASSERT_TRUE(std::holds_alternative<PcmClip>(decoded));
    const PcmClip &clip = std::get<PcmClip>(decoded);
    EXPECT_EQ(clip.sampleRate, c.rate);
    EXPECT_EQ(clip.channels, c.channels);
    EXPECT_EQ(clip.frames(), c.frames);
    EXPECT_NEAR(peak(clip), 0.5, 0.02);
    if (c.channels == 2) { // sox writes the same tone into both channels
        EXPECT_FLOAT_EQ(clip.samples[10], clip.samples[11]);
    }
}

INSTANTIATE_TEST_SUITE_P(
    WavClip, WavFixture,
    ::testing::Values(FixtureCase{"s16_mono_44k.wav", 44100, 1, 441},
                      FixtureCase{"u8_stereo_8k.wav", 8000, 2, 80},
                      FixtureCase{"s24_mono_22k.wav", 22050, 1, 220},    // extensible
                      FixtureCase{"f32_stereo_48k.wav", 48000, 2, 480}), // with a fact chunk
    [](const auto &info) {
        std::string name = info.param.file;
        return name.substr(0, name.find('.'));
    });

// A canonical 44-byte header with its data chunk, built field by field.
QByteArray wave(quint16 tag, quint16 channels, quint32 rate, quint16 bits, QByteArray samples,
                QByteArray extraChunks = {}) {
    auto le16 = [](quint16 v) {
        QByteArray b(2, 0);
        qToLittleEndian(v, b.data());
        return b;
    };
    auto le32 = [](quint32 v) {
        QByteArray b(4, 0);
        qToLittleEndian(v, b.data());
        return b;
    };
    QByteArray fmt = le16(tag) + le16(channels) + le32(rate) + le32(rate * channels * (bits / 8)) +
                     le16(quint16(channels * (bits / 8))) + le16(bits);
    QByteArray body = "WAVE" + QByteArray("fmt ") + le32(quint32(fmt.size())) + fmt + extraChunks +
                      "data" + le32(quint32(samples.size())) + samples;
    return "RIFF" + le32(quint32(body.size())) + body;
}

QByteArray s16(std::initializer_list<qint16> values) {
    QByteArray bytes;
    for (qint16 v : values) {
        char b[2];
        qToLittleEndian(v, b);
        bytes.append(b, 2);
    }
    return bytes;
}

TEST(WavClip, SixteenBitSamplesMapToMinusOneToOne) {
    const auto decoded = decodeWav(wave(1, 1, 8000, 16, s16({0, 16384, -32768, 32767})));
    ASSERT_TRUE(std::holds_alternative<PcmClip>(decoded));
    const std::vector<float> expected{0.0f, 0.5f, -1.0f, 32767 / 32768.0f};
    EXPECT_EQ(std::get<PcmClip>(decoded).samples, expected);
}

TEST(WavClip, PaddedOddChunksAreSkipped) {
    // A 3-byte LIST chunk takes a pad byte; the data after it must still be found.
    const QByteArray list = QByteArray("LIST") + QByteArray("\x03\0\0\0", 4) + "abc" + '\0';
    const auto decoded = decodeWav(wave(1, 1, 8000, 16, s16({100, 200}), list));
    ASSERT_TRUE(std::holds_alternative<PcmClip>(decoded));
    EXPECT_EQ(std::get<PcmClip>(decoded).frames(), 2);
}

TEST(WavClip, ATruncatedDataChunkKeepsTheWholeFramesPresent) {
    QByteArray bytes = wave(1, 2, 8000, 16, s16({1, 2, 3, 4, 5, 6}));
    bytes.chop(3); // the last frame loses 3 of its 4 bytes
    const auto decoded = decodeWav(bytes);
    ASSERT_TRUE(std::holds_alternative<PcmClip>(decoded));
    EXPECT_EQ(std::get<PcmClip>(decoded).frames(), 2);
}

TEST(WavClip, LongFilesAreCutToTheClipLimit) {
    const int rate = 100;
    QByteArray samples((maxClipSeconds + 5) * rate * 2, '\0');
    const auto decoded = decodeWav(wave(1, 1, rate, 16, samples));
    ASSERT_TRUE(std::holds_alternative<PcmClip>(decoded));
    EXPECT_EQ(std::get<PcmClip>(decoded).frames(), maxClipSeconds * rate);
}

TEST(WavClip, BrokenFloatSamplesPlayAsSilenceOrFullScale) {
    QByteArray samples;
    for (float v : {std::nanf(""), INFINITY, 3.0f, -0.25f}) {
        char b[4];
        std::memcpy(b, &v, 4);
        samples.append(b, 4);
    }
    const auto decoded = decodeWav(wave(3, 1, 8000, 32, samples));
    ASSERT_TRUE(std::holds_alternative<PcmClip>(decoded));
    EXPECT_EQ(std::get<PcmClip>(decoded).samples, (std::vector<float>{0, 0, 1, -0.25f}));
}

struct BadCase {
    const char *name;
    QByteArray bytes;
    WavError error;
};

class BadWave : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadWave, IsRefusedWithItsReason) {
    const auto decoded = decodeWav(GetParam().bytes);
    ASSERT_TRUE(std::holds_alternative<WavError>(decoded));
    EXPECT_EQ(std::get<WavError>(decoded), GetParam().error);
}

QByteArray headerOnly() {
    return wave(1, 1, 8000, 16, {});
}

QByteArray dataBeforeFormat() {
    QByteArray bytes = wave(1, 1, 8000, 16, s16({1, 2}));
    const qsizetype fmtAt = bytes.indexOf("fmt ");
    const QByteArray fmt = bytes.mid(fmtAt, 24);
    bytes.remove(fmtAt, 24);
    return bytes + fmt;
}

QByteArray hugeChunkSize() {
    QByteArray bytes = wave(1, 1, 8000, 16, s16({1, 2}));
    bytes.replace(bytes.indexOf("fmt "), 8, QByteArray("junk\xff\xff\xff\xff", 8));
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    WavClip, BadWave,
    ::testing::Values(
        BadCase{"empty", {}, WavError::NotWave},
        BadCase{"mp3", QByteArray("ID3\x04\0\0\0\0\0\0", 10), WavError::NotWave},
        BadCase{"riffButNotWave", QByteArray("RIFF\4\0\0\0AVI ", 12), WavError::NotWave},
        BadCase{"noChannels", wave(1, 0, 8000, 16, s16({1})), WavError::UnsupportedFormat},
        BadCase{"noRate", wave(1, 1, 0, 16, s16({1})), WavError::UnsupportedFormat},
        BadCase{"twelveBits", wave(1, 1, 8000, 12, s16({1})), WavError::UnsupportedFormat},
        BadCase{"compressed", wave(2, 1, 8000, 16, s16({1})), WavError::UnsupportedFormat},
        BadCase{"tooManyChannels", wave(1, 300, 8000, 16, s16({1})), WavError::UnsupportedFormat},
        BadCase{"noSamples", headerOnly(), WavError::NoSamples},
        BadCase{"dataBeforeFormat", dataBeforeFormat(), WavError::NoFormat},
        BadCase{"formatChunkSwallowsTheFile", hugeChunkSize(), WavError::NoFormat},
        BadCase{"headerCutShort", headerOnly().left(30), WavError::NoFormat}),
    [](const auto &info) { return std::string(info.param.name); });

QAudioFormat format(int rate, int channels, QAudioFormat::SampleFormat sampleFormat) {
    QAudioFormat f;
    f.setSampleRate(rate);
    f.setChannelCount(channels);
    f.setSampleFormat(sampleFormat);
    return f;
}

TEST(WavClip, RenderSpreadsMonoAndResamples) {
    PcmClip clip{4, 1, {0.0f, 0.5f, 1.0f, -1.0f}};
    const QByteArray out = renderClip(clip, format(8, 2, QAudioFormat::Int16));
    ASSERT_EQ(out.size(), 8 * 2 * 2);
    std::vector<qint16> s(8 * 2);
    std::memcpy(s.data(), out.constData(), size_t(out.size()));
    // Every second output frame lies half way between two input frames.
    const std::vector<qint16> expected{0,     0,     8192, 8192, 16384,  16384,  24575,  24575,
                                       32767, 32767, 0,    0,    -32767, -32767, -32767, -32767};
    EXPECT_EQ(s, expected);
}

TEST(WavClip, RenderFoldsStereoIntoMonoAndWritesEachSampleFormat) {
    PcmClip clip{8000, 2, {1.0f, 0.0f, -0.5f, -0.5f}};
    const QByteArray u8 = renderClip(clip, format(8000, 1, QAudioFormat::UInt8));
    EXPECT_EQ(u8, QByteArray("\xc0\x40", 2)); // 0.5 and -0.5 around 128
    const QByteArray f32 = renderClip(clip, format(8000, 1, QAudioFormat::Float));
    ASSERT_EQ(f32.size(), 8);
    float first;
    std::memcpy(&first, f32.constData(), 4);
    EXPECT_FLOAT_EQ(first, 0.5f);
    const QByteArray s32 = renderClip(clip, format(8000, 1, QAudioFormat::Int32));
    EXPECT_EQ(s32.size(), 8);
}

TEST(WavClip, RenderRefusesWhatItCannotWrite) {
    const PcmClip clip{8000, 1, {0.1f}};
    EXPECT_TRUE(renderClip(clip, QAudioFormat()).isEmpty());
    EXPECT_TRUE(renderClip(clip, format(8000, 0, QAudioFormat::Int16)).isEmpty());
    EXPECT_TRUE(renderClip(PcmClip{}, format(8000, 1, QAudioFormat::Int16)).isEmpty());
}

} // namespace
