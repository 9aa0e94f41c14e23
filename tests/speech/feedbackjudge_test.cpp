#include "speech/feedbackjudge.h"

#include <QStringList>
#include <functional>
#include <gtest/gtest.h>

namespace {

const QStringList sentence = QString("I would like to book a room for two nights").split(' ');

// The model: 300 ms a word after 200 ms of silence, clear with a little scatter.
SpeechAnalysis modelReading(const QStringList &words = sentence) {
    SpeechAnalysis a;
    a.aligned = true;
    for (int i = 0; i < words.size(); ++i)
        a.words.push_back(
            {words[i], true, true, 200 + 300 * i, 200 + 300 * i + 280, -0.4 - 0.1 * (i % 3)});
    return a;
}

// A learner who reads everything, 1.3 times as slowly after a longer lead-in, in a voice the
// acoustic model likes less throughout (each word 1.5 worse than the model's, ±0.3).
SpeechAnalysis learnerReading(const SpeechAnalysis &model) {
    SpeechAnalysis a = model;
    for (size_t i = 0; i < a.words.size(); ++i) {
        AlignedWord &w = a.words[i];
        w.startMs = 600 + int(1.3 * (w.startMs - 200));
        w.endMs = 600 + int(1.3 * (w.endMs - 200));
        w.confidence -= 1.5 + 0.3 * (int(i % 3) - 1);
    }
    return a;
}

const SignalQuality clean{32, true};

using Change = std::function<void(SpeechAnalysis &model, SpeechAnalysis &learner)>;

SentenceFeedback judge(const Change &change, const QStringList &words = sentence,
                       SignalQuality signal = clean) {
    SpeechAnalysis model = modelReading(words);
    SpeechAnalysis learner = learnerReading(model);
    change(model, learner);
    return judgeSentence(model, learner, {}, {}, signal);
}

int at(const QString &word) {
    return int(sentence.indexOf(word));
}

std::string marks(const SentenceFeedback &f) {
    std::string s;
    for (const WordFeedback &w : f.words)
        s += "oLUN"[int(w.mark)];
    return s;
}

std::string paces(const SentenceFeedback &f) {
    std::string s;
    for (const WordFeedback &w : f.words)
        s += "=SF"[int(w.pace)];
    return s;
}

TEST(JudgeSentence, JudgesOnlyCleanRecordingsThatBothAnalysesCover) {
    struct Case {
        const char *name;
        SignalQuality signal;
        Change change;
        bool judged, reRecord;
        QString summary;
    } cases[] = {
        {"clean", clean, [](auto &, auto &) {}, true, false, "全部读出，没有漏读。"},
        {"just clean enough",
         {15, true},
         [](auto &, auto &) {},
         true,
         false,
         "全部读出，没有漏读。"},
        {"noisy", {14.9, true}, [](auto &, auto &) {}, false, true, "录音不够清楚，请重新录音。"},
        {"no speech",
         {40, false},
         [](auto &, auto &) {},
         false,
         true,
         "录音不够清楚，请重新录音。"},
        {"noisy and not aligned",
         {5, true},
         [](auto &, auto &l) { l.aligned = false; },
         false,
         true,
         "录音不够清楚，请重新录音。"},
        {"model not aligned", clean, [](auto &m, auto &) { m.aligned = false; }, false, false,
         "无法分析示范录音。"},
        {"model recogniser error", clean, [](auto &m, auto &) { m.error = "no model"; }, false,
         false, "无法分析示范录音。"},
        {"learner not aligned", clean, [](auto &, auto &l) { l.aligned = false; }, false, false,
         "无法分析这段录音。"},
        {"learner recogniser error", clean, [](auto &, auto &l) { l.error = "crashed"; }, false,
         false, "无法分析这段录音。"},
        {"a word fewer", clean, [](auto &, auto &l) { l.words.pop_back(); }, false, false,
         "无法分析这段录音。"},
        {"another word", clean, [](auto &, auto &l) { l.words[2].text = "love"; }, false, false,
         "无法分析这段录音。"},
    };
    for (const Case &c : cases) {
        SpeechAnalysis model = modelReading(), learner = learnerReading(model);
        c.change(model, learner);
        const SentenceFeedback f = judgeSentence(model, learner, PitchContour{10, {0, 1}},
                                                 PitchContour{20, {2}}, c.signal);
        EXPECT_EQ(f.judged, c.judged) << c.name;
        EXPECT_EQ(f.reRecord, c.reRecord) << c.name;
        EXPECT_EQ(f.summary, c.summary) << c.name;
        EXPECT_EQ(f.words.size(), c.judged ? sentence.size() : 0) << c.name;
        EXPECT_EQ(f.learnerSnrDb, c.signal.snrDb) << c.name;
        EXPECT_EQ(f.modelPitch.semitones, (std::vector<float>{0, 1})) << c.name;
        EXPECT_EQ(f.learnerPitch.hopMs, 20) << c.name;
        if (!c.judged) {
            EXPECT_EQ(accessibleDescription(f), c.summary) << c.name;
        }
    }
}

TEST(JudgeSentence, MarksWordsLeftOutUnclearAndUnknown) {
    struct Case {
        const char *name;
        Change change;
        std::string marks; // o Ok, L LeftOut, U Unclear, N NotChecked
        QString summary;
        QStringList words = sentence;
    } cases[] = {
        {"a different voice throughout", [](auto &, auto &) {}, "oooooooooo",
         "全部读出，没有漏读。"},
        {"one left out", [](auto &, auto &l) { l.words[at("two")].present = false; }, "ooooooooLo",
         "漏读 1 个词：two"},
        {"left out by the model too",
         [](auto &m, auto &l) { m.words[at("a")].present = l.words[at("a")].present = false; },
         "oooooooooo", "全部读出，没有漏读。"},
        {"said by the learner, skipped by the model",
         [](auto &m, auto &) { m.words[at("a")].present = false; }, "oooooooooo",
         "全部读出，没有漏读。"},
        {"two left out, one unclear",
         [](auto &, auto &l) {
             l.words[at("would")].present = l.words[at("two")].present = false;
             l.words[at("book")].confidence = -8;
         },
         "oLooUoooLo", "漏读 2 个词：would, two；1 个词不清楚：book"},
        {"two unclear",
         [](auto &, auto &l) { l.words[at("I")].confidence = l.words[at("room")].confidence = -7; },
         "UoooooUooo", "2 个词不清楚：I, room"},
        {"unknown words, one of them mumbled",
         [](auto &m, auto &l) {
             m.words[at("book")].inDictionary = l.words[at("book")].inDictionary = false;
             l.words[at("book")].confidence = -9;
             m.words[at("nights")].inDictionary = l.words[at("nights")].inDictionary = false;
             l.words[at("nights")].present = false;
         },
         "ooooNooooN", "全部读出，没有漏读。（“book”、“nights”未检查）"},
        {"nothing known",
         [](auto &m, auto &) {
             for (AlignedWord &w : m.words)
                 w.inDictionary = false;
         },
         "NNNNNNNNNN", "这句话没有可以检查的词。"},
        {"left out beside an unknown word",
         [](auto &m, auto &l) {
             m.words[0].inDictionary = false;
             l.words[1].present = false;
         },
         "NLoooooooo", "漏读 1 个词：would（“I”未检查）"},
        // The learner's words scatter widely: none stands out from the rest.
        {"widely scattered",
         [](auto &m, auto &l) {
             for (size_t i = 0; i < l.words.size(); ++i)
                 l.words[i].confidence = m.words[i].confidence - 0.5 * double(i);
         },
         "oooooooooo", "全部读出，没有漏读。"},
        // Just beyond and just within the least gap from the learner's usual difference.
        {"close to the model, one word 1.2 worse",
         [](auto &m, auto &l) {
             for (size_t i = 0; i < l.words.size(); ++i)
                 l.words[i].confidence = m.words[i].confidence;
             l.words[at("room")].confidence -= 1.2;
         },
         "ooooooUooo", "1 个词不清楚：room"},
        {"close to the model, one word 0.8 worse",
         [](auto &m, auto &l) {
             for (size_t i = 0; i < l.words.size(); ++i)
                 l.words[i].confidence = m.words[i].confidence;
             l.words[at("room")].confidence -= 0.8;
         },
         "oooooooooo", "全部读出，没有漏读。"},
        // Clearer than the model throughout; one word only as clear as the model's.
        {"clearer than the model",
         [](auto &m, auto &l) {
             for (size_t i = 0; i < l.words.size(); ++i)
                 l.words[i].confidence = m.words[i].confidence + 2;
             l.words[at("room")].confidence -= 2;
         },
         "oooooooooo", "全部读出，没有漏读。"},
        {"two words compared, one mumbled",
         [](auto &, auto &l) { l.words[1].confidence = -9; },
         "oo",
         "全部读出，没有漏读。",
         {"Thank", "you"}},
        {"three words compared, one mumbled",
         [](auto &, auto &l) { l.words[1].confidence = -9; },
         "oUo",
         "1 个词不清楚：very",
         {"Thanks", "very", "much"}},
    };
    for (const Case &c : cases) {
        const SentenceFeedback f = judge(c.change, c.words);
        EXPECT_TRUE(f.judged) << c.name;
        EXPECT_EQ(marks(f), c.marks) << c.name;
        EXPECT_EQ(f.summary, c.summary) << c.name;
    }
}

TEST(JudgeSentence, ComparesEachWordsShareOfTheSpeakingTime) {
    auto stretch = [](AlignedWord &w, double by) {
        w.endMs = w.startMs + int((w.endMs - w.startMs) * by);
    };
    auto shiftFrom = [](SpeechAnalysis &a, int from, int ms) {
        for (size_t i = size_t(from); i < a.words.size(); ++i) {
            a.words[i].startMs += ms;
            a.words[i].endMs += ms;
        }
    };
    struct Case {
        const char *name;
        Change change;
        std::string paces; // = Even, S Slower, F Faster
    } cases[] = {
        {"1.3 times as slow throughout", [](auto &, auto &) {}, "=========="},
        {"twice as fast throughout",
         [](auto &m, auto &l) {
             l = m;
             for (AlignedWord &w : l.words) {
                 w.startMs /= 2;
                 w.endMs /= 2;
             }
         },
         "=========="},
        {"one word drawn out",
         [&](auto &, auto &l) {
             const int was = l.words[at("book")].endMs;
             stretch(l.words[at("book")], 2.5);
             shiftFrom(l, at("book") + 1, l.words[at("book")].endMs - was);
         },
         "====S====="},
        {"a long pause before a word", [&](auto &, auto &l) { shiftFrom(l, at("room"), 700); },
         "======S==="},
        {"one word hurried",
         [&](auto &, auto &l) {
             const int was = l.words[at("room")].endMs;
             stretch(l.words[at("room")], 0.3);
             shiftFrom(l, at("room") + 1, l.words[at("room")].endMs - was);
         },
         "======F==="},
        {"one word a little slow",
         [&](auto &, auto &l) {
             const int was = l.words[at("book")].endMs;
             stretch(l.words[at("book")], 1.4);
             shiftFrom(l, at("book") + 1, l.words[at("book")].endMs - was);
         },
         "=========="},
        // Twice as long, but 60 ms at the model's speed is too little to tell.
        {"a short word doubled",
         [&](auto &m, auto &l) {
             m.words[at("a")].endMs = m.words[at("a")].startMs + 60;
             l.words[at("a")].endMs = l.words[at("a")].startMs + 156;
         },
         "=========="},
        {"left out and unknown words have no pace",
         [&](auto &m, auto &l) {
             l.words[at("a")].present = false;
             l.words[at("a")].endMs = l.words[at("a")].startMs;
             m.words[at("two")].inDictionary = l.words[at("two")].inDictionary = false;
             l.words[at("two")].endMs += 2000;
         },
         "=========="},
    };
    for (const Case &c : cases)
        EXPECT_EQ(paces(judge(c.change)), c.paces) << c.name;
}

TEST(AccessibleDescription, ReadsTheSentenceWithWhatWasFound) {
    const SentenceFeedback f = judge([&](auto &m, auto &l) {
        l.words[at("two")].present = false;
        l.words[at("book")].confidence = -8;
        m.words[at("room")].inDictionary = l.words[at("room")].inDictionary = false;
        l.words[at("nights")].endMs += 1200;
    });
    EXPECT_EQ(accessibleDescription(f), "I would like to book（不清楚） a room（未检查） for "
                                        "two（漏读） nights（读得慢）");
    const SentenceFeedback both = judge([&](auto &, auto &l) {
        l.words[at("nights")].confidence = -8;
        l.words[at("nights")].endMs += 1200;
    });
    EXPECT_TRUE(accessibleDescription(both).endsWith("nights（不清楚，读得慢）"));
}

} // namespace
