#include "shell/sentencemarks.h"

#include <gtest/gtest.h>

namespace {

WordFeedback word(const char *text, WordMark mark = WordMark::Ok) {
    WordFeedback w;
    w.text = QString::fromUtf8(text);
    w.mark = mark;
    return w;
}

// Marked words keep their place in the sentence as written; repeated words are marked where
// they were judged, text is escaped, and words the sentence does not hold are passed over.
TEST(MarkedSentenceHtml, MarksTheJudgedWordsInPlace) {
    const QString leftOut = QStringLiteral("<span style=\"color:#A8641E; text-decoration:underline;"
                                           "\">%1</span><sup style=\"color:#A8641E;\">漏读</sup>");
    const QString unclear =
        QStringLiteral("<span style=\"color:#7A6A2E; text-decoration:underline;"
                       "\">%1</span><sup style=\"color:#7A6A2E;\">不清楚</sup>");
    struct Case {
        QString sentence;
        std::vector<WordFeedback> words;
        QString html;
    } cases[] = {
        {"How are you?",
         {word("How"), word("are"), word("you", WordMark::LeftOut)},
         "How are " + leftOut.arg("you") + "?"},
        {"To be or not to be.",
         {word("To"), word("be"), word("or"), word("not"), word("to", WordMark::Unclear),
          word("be")},
         "To be or not " + unclear.arg("to") + " be."},
        {"I'd say a < b, Zorblatt.",
         {word("I'd", WordMark::LeftOut), word("say"), word("a"), word("b"),
          word("Zorblatt", WordMark::NotChecked)},
         leftOut.arg("I'd") + " say a &lt; b, Zorblatt."},
        {"Hello there.",
         {word("nowhere", WordMark::LeftOut), word("there", WordMark::LeftOut)},
         "Hello " + leftOut.arg("there") + "."},
        {"An apple a day.",
         {word("a", WordMark::LeftOut)},
         "An apple " + leftOut.arg("a") + " day."},
    };
    for (const Case &c : cases)
        EXPECT_EQ(markedSentenceHtml(c.sentence, c.words), c.html) << c.sentence.toStdString();
}

} // namespace
