#include "audio/wavclip.h"
#include "media/wavheader.h"

#include <QBuffer>
#include <QtEndian>
#include <gtest/gtest.h>
#include <ostream>
#include <string>

namespace {

quint32 u32(const QByteArray &bytes, int at) {
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

quint16 u16(const QByteArray &bytes, int at) {
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}

struct HeaderCase {
    PcmLayout layout;
    qint64 dataBytes;
    quint32 storedData; // what the data size field must say
    quint32 byteRate;
    quint16 blockAlign;
};

void PrintTo(const HeaderCase &c, std::ostream *out) {
    *out << c.layout.sampleRate << " Hz, " << c.layout.channels << " ch, " << c.layout.bitsPerSample
         << " bits, " << c.dataBytes << " bytes";
}

std::string caseName(const ::testing::TestParamInfo<HeaderCase> &info) {
    const HeaderCase &c = info.param;
    return std::to_string(c.layout.sampleRate) + "Hz_" + std::to_string(c.layout.channels) + "ch_" +
           std::to_string(c.layout.bitsPerSample) + "bit_" + std::to_string(info.index);
}

class WavHeaderFormat : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(WavHeaderFormat, FieldsMatchTheLayoutAndSize) {
    const HeaderCase c = GetParam();
    const QByteArray h = wavHeader(c.layout, c.dataBytes);
    ASSERT_EQ(h.size(), wavHeaderBytes);
    EXPECT_EQ(h.mid(0, 4), "RIFF");
    EXPECT_EQ(u32(h, 4), c.storedData + 36);
    EXPECT_EQ(h.mid(8, 8), "WAVEfmt ");
    EXPECT_EQ(u32(h, 16), 16u);
    EXPECT_EQ(u16(h, 20), 1u);
    EXPECT_EQ(u16(h, 22), c.layout.channels);
    EXPECT_EQ(u32(h, 24), quint32(c.layout.sampleRate));
    EXPECT_EQ(u32(h, 28), c.byteRate);
    EXPECT_EQ(u16(h, 32), c.blockAlign);
    EXPECT_EQ(u16(h, 34), c.layout.bitsPerSample);
    EXPECT_EQ(h.mid(36, 4), "data");
    EXPECT_EQ(u32(h, 40), c.storedData);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, WavHeaderFormat,
    ::testing::Values(
        // What the recorder asks for first, empty as written before recording.
        HeaderCase{{16000, 1, 16}, 0, 0, 32000, 2},
        HeaderCase{{48000, 1, 16}, 96000, 96000, 96000, 2},
        HeaderCase{{44100, 2, 16}, 176400, 176400, 176400, 4},
        HeaderCase{{44100, 2, 24}, 600, 600, 264600, 6},
        // A frame cut short by a stop is not counted as a frame.
        HeaderCase{{44100, 1, 16}, 1001, 1000, 88200, 2},
        HeaderCase{{44100, 2, 24}, 605, 600, 264600, 6}, HeaderCase{{8000, 1, 8}, -5, 0, 8000, 1},
        // Past 4 GB the sizes stop at the last whole frame that fits the field.
        HeaderCase{{48000, 1, 16}, qint64(1) << 33, 0xFFFFFFDAu, 96000, 2}),
    caseName);

TEST(WavHeader, InvalidLayoutsGiveNoHeader) {
    for (const PcmLayout &layout : {PcmLayout{0, 1, 16}, PcmLayout{44100, 0, 16},
                                    PcmLayout{44100, 1, 0}, PcmLayout{44100, 1, 12}}) {
        EXPECT_TRUE(wavHeader(layout, 100).isEmpty())
            << layout.sampleRate << " Hz " << layout.channels << " ch " << layout.bitsPerSample;
    }
}

// Written empty, samples appended, then patched: the file decodes to exactly those samples,
// and writing on after the patch appends instead of overwriting the header.
TEST(WavHeader, PatchedFileDecodesToTheWrittenSamples) {
    const PcmLayout layout{16000, 1, 16};
    QByteArray bytes;
    QBuffer file(&bytes);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_EQ(file.write(wavHeader(layout, 0)), wavHeaderBytes);
    QByteArray samples;
    for (qint16 s : {qint16(0), qint16(16384), qint16(-16384), qint16(32767)}) {
        char le[2];
        qToLittleEndian(s, le);
        samples.append(le, 2);
    }
    file.write(samples);
    ASSERT_TRUE(patchWavHeader(file, layout, file.size() - wavHeaderBytes));
    EXPECT_EQ(file.pos(), file.size());
    EXPECT_EQ(bytes.size(), wavHeaderBytes + samples.size());
    EXPECT_EQ(u32(bytes, 40), quint32(samples.size()));
    EXPECT_EQ(bytes.mid(wavHeaderBytes), samples);

    const auto decoded = decodeWav(bytes);
    ASSERT_TRUE(std::holds_alternative<PcmClip>(decoded));
    const PcmClip &clip = std::get<PcmClip>(decoded);
    EXPECT_EQ(clip.sampleRate, 16000);
    EXPECT_EQ(clip.channels, 1);
    ASSERT_EQ(clip.frames(), 4);
    EXPECT_FLOAT_EQ(clip.samples[1], 0.5f);
    EXPECT_FLOAT_EQ(clip.samples[2], -0.5f);
}

TEST(WavHeader, PatchFailsOnAReadOnlyDevice) {
    QByteArray bytes = wavHeader({16000, 1, 16}, 0);
    QBuffer file(&bytes);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_FALSE(patchWavHeader(file, {16000, 1, 16}, 10));
}

} // namespace
