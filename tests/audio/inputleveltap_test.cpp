#include "audio/inputleveltap.h"

#include <QBuffer>
#include <QtEndian>
#include <gtest/gtest.h>
#include <vector>

namespace {

QByteArray samples(const std::vector<int> &values) {
    QByteArray bytes(qsizetype(values.size()) * 2, '\0');
    for (size_t i = 0; i < values.size(); ++i)
        qToLittleEndian(qint16(values[i]), bytes.data() + 2 * i);
    return bytes;
}

struct PeakCase {
    const char *name;
    std::vector<int> values;
    double peak;
    bool clipped;
};

class Peaks : public ::testing::TestWithParam<PeakCase> {};

// The level is the loudest sample of either sign; clipping is a sample at either extreme.
TEST_P(Peaks, LoudestSampleAndClipping) {
    const PeakCase &c = GetParam();
    const InputPeak p = peakOf(samples(c.values));
    EXPECT_NEAR(p.peak, c.peak, 1e-4);
    EXPECT_EQ(p.clipped, c.clipped);
}

INSTANTIATE_TEST_SUITE_P(InputLevelTap, Peaks,
                         ::testing::Values(PeakCase{"silence", {0, 0, 0}, 0, false},
                                           PeakCase{"none", {}, 0, false},
                                           PeakCase{"negative", {100, -16384, 200}, 0.5, false},
                                           PeakCase{"positiveTop", {32767, 0}, 1.0, true},
                                           PeakCase{"negativeBottom", {-32768}, 1.0, true},
                                           PeakCase{"nearlyTop", {32000}, 0.9766, false}),
                         [](const auto &info) { return std::string(info.param.name); });

// What goes through reaches the file unchanged, however the writes split the samples, and
// the level since the last look is measured over all of it.
TEST(InputLevelTap, PassesEverythingOnAndMeasuresAcrossSplitWrites) {
    QBuffer file;
    file.open(QIODevice::WriteOnly);
    InputLevelTap tap;
    tap.setTarget(&file);
    tap.open(QIODevice::WriteOnly);
    const QByteArray bytes = samples({10, -20, 16384, -32768, 5});
    EXPECT_FALSE(tap.heardSinceTake());
    // Split inside the third sample and inside the fourth.
    EXPECT_EQ(tap.write(bytes.left(5)), 5);
    EXPECT_EQ(tap.write(bytes.mid(5, 2)), 2);
    EXPECT_EQ(tap.write(bytes.mid(7)), bytes.size() - 7);
    EXPECT_EQ(file.data(), bytes);
    EXPECT_TRUE(tap.heardSinceTake());
    const InputPeak p = tap.take();
    EXPECT_DOUBLE_EQ(p.peak, 1.0);
    EXPECT_TRUE(p.clipped);
    EXPECT_FALSE(tap.heardSinceTake());
    EXPECT_EQ(tap.take().peak, 0);

    // Without a file the samples are only measured.
    InputLevelTap check;
    check.open(QIODevice::WriteOnly);
    EXPECT_EQ(check.write(samples({8192})), 2);
    EXPECT_NEAR(check.take().peak, 0.25, 1e-4);
}

} // namespace
