#include "desktop/singleinstance.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace {

// The first claim holds until its owner goes; a folder that cannot hold a lock turns nobody
// away.
TEST(SingleInstance, OneClaimAtATime) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto first = std::make_unique<SingleInstance>(QStringLiteral("strip"), dir.path());
    EXPECT_TRUE(first->claimed());
    EXPECT_FALSE(SingleInstance(QStringLiteral("strip"), dir.path()).claimed());
    EXPECT_TRUE(SingleInstance(QStringLiteral("other"), dir.path()).claimed());
    first.reset();
    EXPECT_TRUE(SingleInstance(QStringLiteral("strip"), dir.path()).claimed());
    EXPECT_TRUE(SingleInstance(QStringLiteral("strip"), QStringLiteral("/proc/no-such")).claimed());
}

} // namespace
