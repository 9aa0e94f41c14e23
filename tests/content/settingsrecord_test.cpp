#include "content/richtext.h"
#include "content/settingsrecord.h"

#include "contentfixtures.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

using Fields = std::vector<std::optional<QString>>;

Fields fields(std::initializer_list<const char *> texts) {
    Fields result;
    for (const char *text : texts) {
        result.push_back(text ? std::optional<QString>(QString::fromUtf8(text)) : std::nullopt);
    }
    return result;
}

const Fields exampleRecord =
    fields({"3", "1", "0", "2", "3", "1", "0", "1", "0", "英语900句", "80"});

TEST(CutSettingsFields, ExampleRecordInBothStorageForms) {
    for (const char *name : {"set_plain.dat", "set_rtf.dat"}) {
        SCOPED_TRACE(name);
        const QString text = plainTextFromFileBytes(contentFixture(name));
        EXPECT_EQ(cutSettingsFields(text, orvessaSettingsFields), exampleRecord);
    }
}

TEST(CutSettingsFields, MiniRecord) {
    const QString text = plainTextFromFileBytes(contentFixture("mnset_plain.dat"));
    EXPECT_EQ(
        cutSettingsFields(text, miniSettingsFields),
        fields({"0", "1", "1", "3", "2", "1", "0", "第十课", "0", "英语900句", "12615808", "0"}));
}

TEST(CutSettingsFields, MissingLastSeparatorLosesOnlyThePassMark) {
    const QString text = plainTextFromFileBytes(contentFixture("set_truncated.dat"));
    Fields expected = exampleRecord;
    expected.back() = std::nullopt;
    EXPECT_EQ(cutSettingsFields(text, orvessaSettingsFields), expected);
}

TEST(CutSettingsFields, ShortAndOddRecords) {
    const std::tuple<const char *, QString, int, Fields> cases[] = {
        {"no separator at all", QStringLiteral("商务英语900句"), 3,
         fields({nullptr, nullptr, nullptr})},
        {"empty text", QString(), 2, fields({nullptr, nullptr})},
        // A record cut short after five fields: the later fields keep their targets'
        // values instead of being handed fields 1 to 5 a second time.
        {"five of eleven", QStringLiteral("3\\1\\0\\2\\3\\"), 11,
         fields({"3", "1", "0", "2", "3", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr})},
        {"empty fields", QStringLiteral("\\\\x\\"), 3, fields({"", "", "x"})},
        {"extra fields are ignored", QStringLiteral("a\\b\\c\\d\\"), 2, fields({"a", "b"})},
        {"paragraph end after the record", QStringLiteral("a\\b\\\r\n"), 2, fields({"a", "b"})},
        {"text after the last separator", QStringLiteral("a\\b"), 2, fields({"a", nullptr})},
        {"no fields asked for", QStringLiteral("a\\"), 0, Fields()},
        {"negative count", QStringLiteral("a\\"), -3, Fields()},
    };
    for (const auto &[name, text, count, expected] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(cutSettingsFields(text, count), expected);
    }
}

TEST(LeadingNumber, ReadsTheLongestNumericPrefix) {
    const std::pair<const char *, double> cases[] = {
        {"3", 3},      {"02", 2},      {" 3x", 3},     {"\t\r\n 7", 7}, {"-1", -1},
        {"+4", 4},     {"1.5", 1.5},   {"1.5.2", 1.5}, {".5", 0.5},     {"5.", 5},
        {"-.5", -0.5}, {"1e3", 1000},  {"1E-2", 0.01}, {"2e", 2},       {"2e+", 2},
        {"2ex", 2},    {"1e+2x", 100}, {"abc", 0},     {"", 0},         {" ", 0},
        {"-", 0},      {".", 0},       {"-.", 0},      {"x3", 0},       {"3 4", 3},
        {"1,5", 1},    {"1e999", 0},   {"-1e999", 0},  {"80\\", 80},    {"１", 0},
    };
    for (const auto &[text, expected] : cases) {
        SCOPED_TRACE(text);
        EXPECT_DOUBLE_EQ(leadingNumber(QString::fromUtf8(text)), expected);
    }
    EXPECT_TRUE(std::isfinite(leadingNumber(QString(400, u'9'))));
}

TEST(WholeNumber, ThirtyTwoBitDecimalsOnly) {
    const std::pair<const char *, std::optional<qint32>> cases[] = {
        {"12615808", 12615808},
        {"0", 0},
        {" 42 ", 42},
        {"-7", -7},
        {"+7", 7},
        {"007", 7},
        {"2147483647", 2147483647},
        {"-2147483648", std::numeric_limits<qint32>::min()},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"99999999999999999999", std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
        {"12x", std::nullopt},
        {"1 2", std::nullopt},
        {"1.0", std::nullopt},
        {"0x10", std::nullopt},
        {"abc", std::nullopt},
    };
    for (const auto &[text, expected] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(wholeNumber(QString::fromUtf8(text)), expected);
    }
}

} // namespace
