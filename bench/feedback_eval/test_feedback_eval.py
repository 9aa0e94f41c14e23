"""The evaluation's own arithmetic: the word indexes its ground truth is written in, the
text each kind of take speaks, the split, and the scorer's rates."""

import sys
import unittest

sys.dont_write_bytecode = True

import corpus  # noqa: E402
import score  # noqa: E402


class Words(unittest.TestCase):
    def test_words_split_as_the_page_splits_them(self):
        cases = [
            ("I would like to book a room for two nights.",
             ["I", "would", "like", "to", "book", "a", "room", "for", "two", "nights"],
             ["i", "would", "like", "to", "book", "a", "room", "for", "two", "nights"]),
            ("\"Don't,\" she said\u2014I won\u2019t!",
             ["Don't", "she", "said", "I", "won\u2019t"], ["don't", "she", "said", "i", "won't"]),
            ("A well-known 10 o'clock train, 3.5 km.",
             ["A", "well", "known", "10", "o'clock", "train", "3.5", "km"],
             ["a", "well", "known", "10", "o'clock", "train", "3.5", "km"]),
            ("'Hello' ... -- U.S. (see) caf\u00e9",
             ["Hello", "U.S", "see", "caf\u00e9"], ["hello", "us", "see", "caf\u00e9"]),
            ("I was born in nineteen ninety-eight, in Xi'an/Shaanxi.",
             ["I", "was", "born", "in", "nineteen", "ninety", "eight", "in", "Xi'an", "Shaanxi"],
             ["i", "was", "born", "in", "nineteen", "ninety", "eight", "in", "xi'an", "shaanxi"]),
            (" ... ", [], []),
        ]
        for sentence, texts, spelled in cases:
            with self.subTest(sentence=sentence):
                ws = corpus.words(sentence)
                self.assertEqual([w["text"] for w in ws], texts)
                self.assertEqual([w["spelled"] for w in ws], spelled)
                for w in ws:
                    self.assertEqual(sentence[w["start"]:w["end"]], w["text"])

    def test_each_kind_speaks_the_sentence_without_exactly_its_marked_words(self):
        s = "I'm fine, thank you. And you?"
        cases = [
            (dict(remove=[0]), "fine, thank you. And you?"),
            (dict(remove=[1]), "I'm, thank you. And you?"),
            (dict(remove=[2, 5]), "I'm fine, you. And?"),
            (dict(replace=(0, "cat")), "Cat fine, thank you. And you?"),
            (dict(replace=(2, "paper")), "I'm fine, paper you. And you?"),
        ]
        for edit, spoken in cases:
            with self.subTest(edit=edit):
                self.assertEqual(corpus.edit_text(s, **edit), spoken)
        self.assertEqual(corpus.cut_text("Good morning! How are you today?", 4),
                         "Good morning! How are")
        # hyphenated and numeric words are never the ones taken out or swapped
        editable = [w["text"] for w in corpus.words("It's twenty-one, 3.5 km") if corpus.editable(w)]
        self.assertEqual(editable, ["It's", "km"])

    def test_planned_takes_say_what_their_truth_claims(self):
        sentences = [("Good morning! How are you today?", "demo"),
                     ("I was born in nineteen ninety-eight.", "extra"),
                     ("Could you say that again, please?", "extra"),
                     ("Nice to meet you.", "demo")]
        takes = corpus.plan(sentences)
        self.assertEqual(takes, corpus.plan(sentences), "the plan is not repeatable")
        halves = corpus.voice_halves()
        for t in takes:
            with self.subTest(take=t["id"]):
                self.assertEqual(halves[t["voice"]], t["half"])
                said = [w["spelled"] for w in corpus.words(t["spoken"])]
                ws = corpus.words(t["sentence"])
                expected = [w["spelled"] for i, w in enumerate(ws)
                            if i not in t["leftOut"] and i not in t["cut"]]
                if t["replaced"]:
                    i = t["replaced"][0]
                    expected[i] = t["replacement"]
                    self.assertFalse(corpus.sounds_alike(t["replacement"], ws[i]["spelled"]))
                self.assertEqual(said, expected)
                if t["cut"]:
                    self.assertEqual(t["cut"], list(range(len(ws) - len(t["cut"]), len(ws))))
                    self.assertTrue(1 <= len(t["cut"]) <= 3)

    def test_both_halves_hear_every_engine_and_hold_demo_sentences(self):
        halves = corpus.voice_halves()
        for half in (corpus.TUNING, corpus.TEST):
            engines = {v.split(":")[0] for v, h in halves.items() if h == half}
            self.assertEqual(engines, {"espeak", "flite", "festival"}, half)
            demo = [s for s, src in corpus.load_sentences()
                    if src == "demo" and corpus.sentence_half(s) == half]
            self.assertGreater(len(demo), 10, half)


def take(kind, n, left=(), replaced=(), cut=(), group=None, variant=None, seconds=2.0):
    return {"id": f"{kind}{n}", "kind": kind, "words": n, "leftOut": list(left),
            "replaced": list(replaced), "cut": list(cut), "group": group, "variant": variant,
            "recording": f"/r/{kind}{n}{variant}", "seconds": seconds, "half": "test",
            "voice": "flite:rms", "source": "demo",
            "conditions": {"lead": {"seconds": 0.2, "zeroShare": 1.0}, "rate": 16000,
                           "noise": None, "mp3": None}}


def result(marks, judged=True, ms=100):
    code = {".": "ok", "L": "left-out", "U": "unclear", "-": "not-checked"}
    return {"judged": judged, "reRecord": False, "analysisMs": ms,
            "words": [{"text": str(i), "mark": code[m]} for i, m in enumerate(marks)]}


class Scoring(unittest.TestCase):
    def test_rates_count_each_word_where_it_belongs(self):
        pairs = [
            (take("intact", 4), result("....", ms=100)),
            (take("intact", 4), result("L.U-", ms=300)),    # 3 checked: one of each mark
            (take("intact", 4), result("LLLL", judged=False)),  # not judged: no word counts
            (take("left1", 4, left=[1]), result(".L.U")),
            (take("left2", 5, left=[0, 3]), result("L..-.")),  # a not-checked left-out word
            (take("replaced", 3, replaced=[2]), result("..U")),
            (take("cut", 5, cut=[3, 4]), result("...LU")),
            (take("intact", 3), None),                      # no result at all
        ]
        s = score.summarise(pairs)["total"]
        expected = {
            "judged": (6, 8), "falseLeftOut": (1, 7), "falseUnclear": (1, 7),
            "falseLeftOutAll": (1, 7 + 3 + 3 + 2 + 3), "falseUnclearAll": (2, 18),
            "cleanIntact": (1, 2), "leftOutMarked": (2, 2), "replacedMarked": (1, 1),
            "cutMarked": (1, 2), "otherMarked": (1, 11),
        }
        for metric, (n, of) in expected.items():
            with self.subTest(metric=metric):
                self.assertEqual((s[metric]["n"], s[metric]["of"]), (n, of))
        self.assertEqual(s["missing"], 1)
        self.assertAlmostEqual(s["msMean"], (100 + 300 + 100 * 5) / 7)
        self.assertEqual(s["msP95"], 300)
        self.assertAlmostEqual(s["msPerSecondMean"], s["msMean"] / 2)

    def test_a_group_is_invariant_only_when_every_variant_gives_one_verdict(self):
        pairs = [
            (take("intact", 3, group="a", variant="0"), result("...")),
            (take("intact", 3, group="a", variant="1"), result("...")),
            (take("left1", 3, left=[0], group="b", variant="0"), result("L..")),
            (take("left1", 3, left=[0], group="b", variant="1"), result("L.U")),
            (take("intact", 3, group="c", variant="0"), result("...", judged=False)),
            (take("intact", 3, group="c", variant="1"), result("...")),
            (take("intact", 3), result("LLL")),  # not in a group: neither counted nor scored
        ]
        summary = score.summarise(pairs)
        inv = summary["total"]["invariance"]
        self.assertEqual((inv["n"], inv["of"], inv["differing"]), (1, 3, ["b", "c"]))
        self.assertEqual(summary["total"]["takes"], 1, "group variants are kept apart")
        self.assertEqual(sorted(summary["invarianceVariants"]), ["0", "1"])

    def test_wrong_takes_say_why(self):
        cases = [
            (take("intact", 3), result("..."), None),
            (take("intact", 3), result(".U."), "#1 wrongly unclear"),
            (take("left1", 3, left=[2]), result("..."), "left out #2 got ok"),
            (take("replaced", 3, replaced=[1]), result(".L."), None),
            (take("cut", 4, cut=[3]), result("L..U"), "#0 wrongly left-out; cut #3 got unclear"),
            (take("intact", 3), result("..", judged=True), "2 words in the result, 3 in the sentence"),
            (take("intact", 3), None, "no result"),
        ]
        for truth, res, why in cases:
            with self.subTest(truth=truth["id"], marks=res and res["words"]):
                self.assertEqual(score.wrong(truth, res), why)

    def test_goals_compare_each_figure_with_its_bound(self):
        pairs = [(take("intact", 100), result("." * 99 + "L"))]
        met = {m: ok for m, _, _, ok in score.goals(score.summarise(pairs)["total"])}
        self.assertTrue(met["judged"])
        self.assertTrue(met["falseLeftOut"])   # 1 of 100 is the bound itself
        self.assertFalse(met["cleanIntact"])
        self.assertFalse(met["leftOutMarked"])  # no left-out words: not shown as met
        self.assertFalse(met["invariance"])


if __name__ == "__main__":
    unittest.main()
