#include "speech/feedbackjudge.h"

#include <QStringList>
#include <functional>
#include <gtest/gtest.h>

namespace {

const QStringList sentence = QString("I would like to book a room for two nights").split(' ');
const QString allRead = "全部读出，没有漏读。", again = "录音不够清楚，请重新录音。";
const SignalQuality clean{32, true};

int at(const QString &word) {
    return int(sentence.indexOf(word));
}

// The model: 300 ms a word after 200 ms of silence, clear with a little scatter. The learner
// reads everything 1.3 times as slowly after a longer lead-in, in a voice the acoustic model
// likes less throughout (each word 1.5 ± 0.3 worse than the model's).
std::pair<SpeechAnalysis, SpeechAnalysis> readings(const QStringList &words) {
    SpeechAnalysis model{true, {}, {}}, learner{true, {}, {}};
    for (int i = 0; i < words.size(); ++i) {
        const int start = 300 * i, end = start + 280;
        const double confidence = -0.4 - 0.1 * (i % 3);
        model.words.push_back({words[i], true, true, 200 + start, 200 + end, confidence});
        learner.words.push_back({words[i], true, true, 600 + start * 13 / 10, 600 + end * 13 / 10,
                                 confidence - 1.5 - 0.3 * (i % 3 - 1)});
    }
    return {model, learner};
}

using Change = std::function<void(SpeechAnalysis &model, SpeechAnalysis &learner)>;
const Change none = [](auto &, auto &) {};

SentenceFeedback judge(const Change &change, const QStringList &words = sentence,
                       SignalQuality signal = clean) {
    auto [model, learner] = readings(words);
    change(model, learner);
    return judgeSentence(model, learner, PitchContour{10, {0, 1}}, PitchContour{20, {2}}, signal);
}

// Moves a word of the recording and those after it by ms.
void delay(SpeechAnalysis &a, int word, int ms) {
    for (size_t i = size_t(word); i < a.words.size(); ++i) {
        a.words[i].startMs += ms;
        a.words[i].endMs += ms;
    }
}

// Lengthens a word of the recording by ms, moving the words after it along.
void lengthen(SpeechAnalysis &a, int word, int ms) {
    a.words[size_t(word)].endMs += ms;
    delay(a, word + 1, ms);
}

// A word left out, as the analysis finds it: skipped by the optional pass, and squeezed by the
// forced alignment into 30 ms between its neighbours.
void leaveOut(SpeechAnalysis &learner, int word) {
    AlignedWord &w = learner.words[size_t(word)];
    w.present = false;
    lengthen(learner, word, 30 - (w.endMs - w.startMs));
}

TEST(JudgeSentence, JudgesOnlyCleanRecordingsThatBothAnalysesCover) {
    auto refused = [](AnalysisFailure why) {
        return [why](SpeechAnalysis &a) {
            a.aligned = false;
            a.error = "refused";
            a.failure = why;
            for (AlignedWord &w : a.words)
                w.present = false;
        };
    };
    auto onModel = [](std::function<void(SpeechAnalysis &)> f) -> Change {
        return [f](auto &m, auto &) { f(m); };
    };
    auto onTake = [](std::function<void(SpeechAnalysis &)> f) -> Change {
        return [f](auto &, auto &l) { f(l); };
    };
    auto nothingKept = [](SpeechAnalysis &l) {
        l.aligned = false;
        for (AlignedWord &w : l.words)
            w.present = false;
    };
    const QString closer = again + "请靠近麦克风，减少周围噪音，完整读出整句。";
    const QString readAll = "无法分析这段录音。请完整读出整句后再录一次。";
    struct Case {
        const char *name;
        SignalQuality signal;
        Change change;
        Unjudged why;
        QString summary;
    } cases[] = {
        {"clean", clean, none, Unjudged::None, allRead},
        {"just clean enough", {15, true}, none, Unjudged::None, allRead},
        {"noisy", {14.9, true}, none, Unjudged::TakeUnclear, closer},
        {"no speech", {40, false}, none, Unjudged::TakeUnclear, closer},
        {"noisy and not aligned",
         {5, true},
         onTake([](auto &l) { l.aligned = false; }),
         Unjudged::TakeUnclear,
         closer},
        {"noisy, and the model silent",
         {5, true},
         onModel(refused(AnalysisFailure::Silent)),
         Unjudged::TakeUnclear,
         closer},
        {"take not forced, words from the optional pass", clean,
         onTake([](auto &l) { l.aligned = false; }), Unjudged::None, allRead},
        {"take not forced, and no word kept either", clean, onTake(nothingKept),
         Unjudged::TakeNotFound, "无法分析这段录音：没有听出这句话。请完整读出整句后再录一次。"},
        {"model not aligned", clean, onModel([](auto &m) { m.aligned = false; }),
         Unjudged::ModelNotMatched, "无法分析示范录音：示范录音与句子对不上。"},
        {"model's recogniser failed", clean, onModel([](auto &m) { m.error = "no model"; }),
         Unjudged::ModelFailed, "无法分析示范录音：语音识别出错。"},
        {"model: no word known", clean, onModel(refused(AnalysisFailure::NoKnownWord)),
         Unjudged::ModelNoKnownWord, "无法分析示范录音：句中没有可以检查的英语单词。"},
        {"model too short", clean, onModel(refused(AnalysisFailure::TooShort)),
         Unjudged::ModelTooShort, "无法分析示范录音：示范录音太短。"},
        {"model silent", clean, onModel(refused(AnalysisFailure::Silent)), Unjudged::ModelSilent,
         "无法分析示范录音：示范录音没有声音。"},
        {"model refused at the wrong rate", clean, onModel(refused(AnalysisFailure::Recogniser)),
         Unjudged::ModelFailed, "无法分析示范录音：语音识别出错。"},
        {"model and take both failed", clean,
         [](auto &m, auto &l) { m.aligned = false, l.error = "crash"; }, Unjudged::ModelNotMatched,
         "无法分析示范录音：示范录音与句子对不上。"},
        {"learner's recogniser failed", clean, onTake([](auto &l) { l.error = "crash"; }),
         Unjudged::TakeFailed, readAll},
        {"other words", clean, onTake([](auto &l) { l.words.pop_back(); }), Unjudged::TakeFailed,
         readAll},
    };
    for (const Case &c : cases) {
        const SentenceFeedback f = judge(c.change, sentence, c.signal);
        const bool judged = c.why == Unjudged::None;
        EXPECT_EQ(f.summary, c.summary) << c.name;
        EXPECT_EQ(f.why, c.why) << c.name;
        EXPECT_EQ(f.judged, judged) << c.name;
        EXPECT_EQ(f.reRecord, c.summary.startsWith(again)) << c.name;
        EXPECT_EQ(f.words.size(), judged ? sentence.size() : 0) << c.name;
        EXPECT_EQ(f.learnerSnrDb, c.signal.snrDb) << c.name;
        EXPECT_EQ(f.modelPitch.semitones, (std::vector<float>{0, 1})) << c.name;
        EXPECT_EQ(f.learnerPitch.hopMs, 20) << c.name;
        if (!judged) {
            EXPECT_EQ(unjudgedSummary(c.why), c.summary) << c.name;
            EXPECT_EQ(accessibleDescription(f), c.summary) << c.name;
        }
    }
    EXPECT_EQ(unjudgedSummary(Unjudged::None), QString());
}

TEST(JudgeSentence, MarksWordsLeftOutUnclearAndUnknown) {
    // Learner's confidences at the model's, plus d.
    auto asModel = [](SpeechAnalysis &m, SpeechAnalysis &l, double d) {
        for (size_t i = 0; i < l.words.size(); ++i)
            l.words[i].confidence = m.words[i].confidence + d;
    };
    struct Case {
        const char *name;
        Change change;
        std::string marks; // o Ok, L LeftOut, U Unclear, N NotChecked
        QString summary;
        QStringList words = sentence;
    } cases[] = {
        {"a different voice throughout", none, "oooooooooo", allRead},
        {"one left out", [](auto &, auto &l) { leaveOut(l, at("two")); }, "ooooooooLo",
         "漏读 1 个词：two"},
        // Skipped by the optional pass, but the forced alignment gives the word its full time
        // and a fit like the learner's others: no second opinion, no mark.
        {"skipped, yet said", [](auto &, auto &l) { l.words[at("to")].present = false; },
         "oooooooooo", allRead},
        {"skipped where the sentence could not be forced",
         [](auto &, auto &l) { leaveOut(l, at("two")), l.aligned = false; }, "oooooooooo", allRead},
        {"left out by its fit alone",
         [](auto &, auto &l) {
             l.words[at("two")].present = false;
             l.words[at("two")].confidence -= 3;
         },
         "ooooooooLo", "漏读 1 个词：two"},
        {"skipped by the model too",
         [](auto &m, auto &l) { m.words[at("a")].present = l.words[at("a")].present = false; },
         "oooooooooo", allRead},
        {"two left out, one unclear",
         [](auto &, auto &l) {
             leaveOut(l, at("would")), leaveOut(l, at("two"));
             l.words[at("book")].confidence = -8;
         },
         "oLooUoooLo", "漏读 2 个词：would, two；1 个词不清楚：book"},
        {"two unclear", [](auto &, auto &l) { l.words[0].confidence = l.words[6].confidence = -7; },
         "UoooooUooo", "2 个词不清楚：I, room"},
        {"unknown words, one mumbled, one left out",
         [](auto &m, auto &l) {
             for (int w : {at("book"), at("nights")})
                 m.words[size_t(w)].inDictionary = l.words[size_t(w)].inDictionary = false;
             l.words[at("book")].confidence = -9;
             leaveOut(l, at("nights"));
         },
         "ooooNooooN", allRead + "（“book”、“nights”未检查）"},
        {"left out beside an unknown word",
         [](auto &m, auto &l) { m.words[0].inDictionary = false, leaveOut(l, 1); }, "NLoooooooo",
         "漏读 1 个词：would（“I”未检查）"},
        {"nothing known",
         [](auto &m, auto &) {
             for (AlignedWord &w : m.words)
                 w.inDictionary = false;
         },
         "NNNNNNNNNN", "这句话没有可以检查的词。"},
        // The learner's words scatter widely: none stands out from the rest.
        {"widely scattered",
         [](auto &m, auto &l) {
             for (size_t i = 0; i < l.words.size(); ++i)
                 l.words[i].confidence = m.words[i].confidence - 0.5 * double(i);
         },
         "oooooooooo", allRead},
        // Just beyond and just within the least gap from the learner's usual difference.
        {"as the model, one word 3.2 worse",
         [&](auto &m, auto &l) { asModel(m, l, 0), l.words[6].confidence -= 3.2; }, "ooooooUooo",
         "1 个词不清楚：room"},
        {"as the model, one word 2.8 worse",
         [&](auto &m, auto &l) { asModel(m, l, 0), l.words[6].confidence -= 2.8; }, "oooooooooo",
         allRead},
        // The neighbours of a word left out lose or gain its frames: not marked unclear.
        {"beside a word left out",
         [](auto &, auto &l) { leaveOut(l, at("two")), l.words[at("for")].confidence = -9; },
         "ooooooooLo", "漏读 1 个词：two"},
        // Clearer than the model throughout; one word only as clear as the model's.
        {"clearer than the model",
         [&](auto &m, auto &l) { asModel(m, l, 2), l.words[6].confidence -= 2; }, "oooooooooo",
         allRead},
        {"two words, one mumbled",
         [](auto &, auto &l) { l.words[1].confidence = -9; },
         "oo",
         allRead,
         {"Thank", "you"}},
        {"three words, one mumbled",
         [](auto &, auto &l) { l.words[1].confidence = -9; },
         "oUo",
         "1 个词不清楚：very",
         {"Thanks", "very", "much"}},
    };
    for (const Case &c : cases) {
        const SentenceFeedback f = judge(c.change, c.words);
        std::string marks;
        for (const WordFeedback &w : f.words)
            marks += "oLUN"[int(w.mark)];
        EXPECT_EQ(marks, c.marks) << c.name;
        EXPECT_EQ(f.summary, c.summary) << c.name;
    }
}

TEST(JudgeSentence, ComparesEachWordsShareOfTheSpeakingTime) {
    struct Case {
        const char *name;
        Change change;
        std::string paces; // = Even, S Slower, F Faster
    } cases[] = {
        {"1.3 times as slow throughout", none, "=========="},
        {"twice as fast throughout",
         [](auto &m, auto &l) {
             for (size_t i = 0; i < l.words.size(); ++i)
                 l.words[i].startMs = m.words[i].startMs / 2,
                 l.words[i].endMs = m.words[i].endMs / 2;
         },
         "=========="},
        {"one word drawn out", [](auto &, auto &l) { lengthen(l, at("book"), 550); }, "====S====="},
        {"one word a little slow", [](auto &, auto &l) { lengthen(l, at("book"), 150); },
         "=========="},
        {"a pause before a word", [](auto &, auto &l) { delay(l, at("room"), 700); }, "======S==="},
        {"one word hurried", [](auto &, auto &l) { lengthen(l, at("room"), -250); }, "======F==="},
        // Twice as long, but 60 ms at the model's speed is too little to tell.
        {"a short word doubled",
         [](auto &m, auto &l) { lengthen(m, at("a"), -220), lengthen(l, at("a"), -208); },
         "=========="},
        {"left out and unknown words have no pace",
         [](auto &m, auto &l) {
             l.words[at("a")].present = false;
             lengthen(l, at("a"), -364);
             m.words[at("two")].inDictionary = l.words[at("two")].inDictionary = false;
             lengthen(l, at("two"), 2000);
         },
         "=========="},
    };
    for (const Case &c : cases) {
        std::string paces;
        for (const WordFeedback &w : judge(c.change).words)
            paces += "=SF"[int(w.pace)];
        EXPECT_EQ(paces, c.paces) << c.name;
    }
}

TEST(AccessibleDescription, ReadsTheSentenceWithWhatWasFound) {
    const SentenceFeedback f = judge([&](auto &m, auto &l) {
        leaveOut(l, at("for"));
        l.words[at("book")].confidence = l.words[at("nights")].confidence = -8;
        m.words[at("room")].inDictionary = l.words[at("room")].inDictionary = false;
        lengthen(l, at("nights"), 1200);
    });
    EXPECT_EQ(accessibleDescription(f), "I would like to book（不清楚） a room（未检查） "
                                        "for（漏读） two nights（不清楚，读得慢）");
}

} // namespace
