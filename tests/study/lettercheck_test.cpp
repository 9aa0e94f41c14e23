#include "study/pure/lettercheck.h"
#include "study/pure/maskedsentence.h"

#include <gtest/gtest.h>

namespace {

struct CheckCase {
    const char *name;
    const char16_t *sentence;
    const char16_t *typing;
    bool right;
    int selectionStart;
    int selectionLength;
    const char16_t *typedLetters;
};

class TypingCheck : public ::testing::TestWithParam<CheckCase> {};

TEST_P(TypingCheck, VerdictSelectionAndLetters) {
    const CheckCase c = GetParam();
    const LetterCheck check = checkTyping(QStringView(c.sentence), QStringView(c.typing));
    EXPECT_EQ(check.right, c.right);
    EXPECT_EQ(check.selectionStart, c.selectionStart);
    EXPECT_EQ(check.selectionLength, c.selectionLength);
    EXPECT_EQ(check.typedLetters, QString::fromUtf16(c.typedLetters));
    EXPECT_EQ(check.targetLetters, checkLetters(QStringView(c.sentence)));
}

INSTANTIATE_TEST_SUITE_P(
    LetterCheck, TypingCheck,
    ::testing::Values(
        // Case, blanks and punctuation are ignored on both sides; the caret ends after the
        // last character.
        CheckCase{"caseAndPunctuationIgnored", u"Hello world.", u"HELLO, world!!", true, 14, 0,
                  u"helloworld"},
        CheckCase{"digitsAreNotLetters", u"Lesson 5", u"lesson", true, 6, 0, u"lesson"},
        CheckCase{"noLettersEmptyBox", u"5 + 5 = 10.", u"", true, 0, 0, u""},
        CheckCase{"noLettersAnyNonLetters", u"5 + 5 = 10.", u"10 !", true, 4, 0, u""},
        CheckCase{"emptyBoxIsWrong", u"Hello world.", u"", false, 0, 0, u""},
        CheckCase{"incompleteCaretAtEnd", u"Good morning.", u"Good mornin", false, 11, 0,
                  u"goodmornin"},
        CheckCase{"wrongLastLetterSelected", u"Good morning.", u"Good mornink", false, 11, 1,
                  u"goodmornink"},
        CheckCase{"firstWrongLetterStopsScan", u"Good morning.", u"Gxod morning", false, 1, 1,
                  u"gx"},
        CheckCase{"surplusLetterSelected", u"Hi.", u"Hi there", false, 3, 1, u"hit"},
        CheckCase{"surplusAfterPunctuation", u"Hi.", u"Hi!!x", false, 4, 1, u"hix"},
        CheckCase{"surplusNonLettersAreRight", u"Hi.", u"hi ... ", true, 7, 0, u"hi"},
        CheckCase{"letterForNonLetterSentence", u"2 + 2", u"four", false, 0, 1, u"f"},
        // Letters outside a-z are not letters, on either side.
        CheckCase{"accentedLettersIgnored", u"Café au lait.", u"cafe au lait", false, 3, 1,
                  u"cafe"},
        CheckCase{"accentedTypedLikeSentence", u"Café au lait.", u"Café au lait", true, 12, 0,
                  u"cafaulait"},
        CheckCase{"kelvinSignIsNotK", u"OK", u"o\u212A", false, 2, 0, u"o"},
        CheckCase{"fullwidthIsNotALetter", u"A", u"\uFF21", false, 1, 0, u""},
        CheckCase{"chineseTypingIsIgnored", u"Yes.", u"是Yes", true, 4, 0, u"yes"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(LetterCheck, CheckLettersKeepOnlyLowerCaseAsciiLetters) {
    EXPECT_EQ(checkLetters(u"It's 5 O'Clock, Mr. Ödön!"), QStringLiteral("itsoclockmrdn"));
    EXPECT_EQ(checkLetters(u""), QString());
}

struct MaskCase {
    const char *name;
    const char16_t *english;
    const char16_t *masked;
};

class Masking : public ::testing::TestWithParam<MaskCase> {};

TEST_P(Masking, LettersBecomeBlanksInPlace) {
    const MaskCase c = GetParam();
    const QString english = QString::fromUtf16(c.english);
    const QString masked = maskedSentence(english);
    EXPECT_EQ(masked, QString::fromUtf16(c.masked));
    EXPECT_EQ(masked.size(), english.size());
}

INSTANTIATE_TEST_SUITE_P(
    LetterCheck, Masking,
    ::testing::Values(MaskCase{"apostrophesDigitsPunctuation", u"It's 5 o'clock.",
                               u"__'_ 5 _'_____."},
                      MaskCase{"empty", u"", u""}, MaskCase{"bothCases", u"AbZz", u"____"},
                      MaskCase{"chineseAndAccentsStay", u"你好, Tom! Café", u"你好, ___! ___é"},
                      MaskCase{"surrogatePairKeepsLength", u"\U0001F600a b", u"\U0001F600_ _"},
                      MaskCase{"controlCharactersStay", u"a\tb\r\n", u"_\t_\r\n"}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
