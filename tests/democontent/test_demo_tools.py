"""Unit tests of the demo generator's writers and the content checker's parsers.

Run: PYTHONPATH=tools/demo python3 -m unittest -v tests/democontent/test_demo_tools.py
"""

import contextlib
import io
import json
import math
import re
import shutil
import sys
import tempfile
import unittest
from pathlib import Path
from unittest import mock

sys.dont_write_bytecode = True

import make_demo_content as make  # noqa: E402
import verify_demo_content as verify  # noqa: E402

GOOD = "*Hello.#你好。#0.25#1.10#\r\n*Thank you.#谢谢。#1.80#2.75#\r\n*"


class LessonParserTest(unittest.TestCase):
    def test_lesson_texts(self):
        cases = [
            ("two records", GOOD, 2, None),
            ("one record", "*Hi.#嗨。#0.00#0.50#\r\n*", 1, None),
            ("line break after the last marker", GOOD + "\r\n", 0, 'does not end with "*"'),
            ("no leading marker", GOOD[1:], 0, 'does not begin with "*"'),
            ("three separators", "*Hi.#嗨。#0.10#\r\n*", 0, "has 3 '#', needs 4"),
            ("one decimal", "*Hi.#嗨。#0.1#0.50#\r\n*", 0, "2 decimals"),
            ("comma as decimal point", "*Hi.#嗨。#0,10#0.50#\r\n*", 0, "2 decimals"),
            ("end before start", "*Hi.#嗨。#2.00#1.00#\r\n*", 1, "ends (1.0) before"),
            ("overlap", "*A.#甲。#0.10#2.00#\r\n*B.#乙。#1.90#3.00#\r\n*", 2,
             "after record 2 starts"),
            ("outer space", "* Hi.#嗨。#0.10#0.50#\r\n*", 1, "outer spaces"),
            ("empty Chinese", "*Hi.##0.10#0.50#\r\n*", 1, "empty Chinese"),
            ("only LF after the record", "*Hi.#嗨。#0.10#0.50#\n*", 1, "exactly CR LF"),
        ]
        for name, text, count, problem in cases:
            with self.subTest(name):
                records, problems = verify.parse_lesson(text)
                self.assertEqual(len(records), count)
                if problem is None:
                    self.assertEqual(problems, [])
                else:
                    self.assertTrue(any(problem in p for p in problems), problems)

    def test_written_lesson_reads_back(self):
        sentences = [["Good morning!", "早上好！"], ["See you.", "再见。"]]
        times = [("0.30", "1.42"), ("2.10", "3.05")]
        text = make.lesson_text(sentences, times)
        self.assertEqual(text[0], "*")
        self.assertEqual(text[-1], "*")
        records, problems = verify.parse_lesson(text)
        self.assertEqual(problems, [])
        self.assertEqual(records, [("Good morning!", "早上好！", 0.30, 1.42),
                                   ("See you.", "再见。", 2.10, 3.05)])


class SentenceTimesTest(unittest.TestCase):
    def test_times_widen_the_sound_by_the_margins(self):
        rate = make.SPEECH_RATE
        spans = [(0, rate), (2 * rate, 3 * rate + 11)]
        times = make.sentence_times(spans, delay=0.0)
        # The first sentence starts at 0: Start cannot go below 0.
        self.assertEqual(times[0], ("0.00", f"{1 + make.END_MARGIN:.2f}"))
        start, end = (float(t) for t in times[1])
        self.assertLessEqual(start, 2 - make.START_MARGIN)
        # 11 samples past a whole second round End up, never down.
        self.assertGreaterEqual(end, 3 + 11 / rate + make.END_MARGIN)
        self.assertLess(end, 3 + 11 / rate + make.END_MARGIN + 0.01)

    def test_codec_delay_moves_every_time(self):
        spans = [(make.SPEECH_RATE, 2 * make.SPEECH_RATE)]
        plain = make.sentence_times(spans, delay=0.0)[0]
        delayed = make.sentence_times(spans, delay=0.05)[0]
        self.assertAlmostEqual(float(delayed[0]) - float(plain[0]), 0.05, places=2)
        self.assertAlmostEqual(float(delayed[1]) - float(plain[1]), 0.05, places=2)

    def test_sentences_too_close_are_refused(self):
        rate = make.SPEECH_RATE
        with self.assertRaises(make.GenerationError):
            make.sentence_times([(0, rate), (rate + rate // 20, 2 * rate)], delay=0.0)


class ListsAndRecordsTest(unittest.TestCase):
    def test_caret_lists(self):
        cases = [
            ("names", ["第1课", "第2课"], "^第1课^第2课^"),
            ("one name", ["Lesson"], "^Lesson^"),
            ("empty name keeps its place", ["A", "", "C"], "^A^^C^"),
        ]
        for name, entries, text in cases:
            with self.subTest(name):
                self.assertEqual(make.caret_list(entries), text)
                self.assertEqual(verify.parse_caret_list(text), (entries, []))

    def test_broken_caret_lists(self):
        for text in ["^A^B", "A^B^", "^", ""]:
            with self.subTest(text=text):
                self.assertNotEqual(verify.parse_caret_list(text)[1], [])

    def test_settings_records(self):
        orvessa = make.SET_RECORD.format(title="英语900句")
        self.assertEqual(orvessa, "0\\1\\1\\1\\0\\1\\0\\1\\0\\英语900句\\60\\")
        fields, problems = verify.parse_record(orvessa, 11)
        self.assertEqual(problems, [])
        self.assertEqual(fields[9], "英语900句")
        mini = make.MNSET_RECORD.format(title="英语900句", end_lesson="第6课")
        fields, problems = verify.parse_record(mini, 12)
        self.assertEqual(problems, [])
        self.assertEqual((fields[7], fields[10], fields[11]), ("第6课", "12615808", "0"))
        self.assertNotEqual(verify.parse_record(orvessa[:-1], 11)[1], [])
        self.assertNotEqual(verify.parse_record(orvessa, 12)[1], [])

    def test_gbk_decoding(self):
        self.assertEqual(verify.decode_gbk("英语".encode("gbk")), ("英语", None))
        self.assertIsNotNone(verify.decode_gbk(b"\xef\xbb\xbf*")[1])
        self.assertIsNotNone(verify.decode_gbk(b"*\x81*")[1])


class BookSourceTest(unittest.TestCase):
    def load(self, lessons):
        with tempfile.TemporaryDirectory() as tmp:
            path = Path(tmp) / "book.json"
            path.write_text(json.dumps({"title": "英语900句", "lessons": lessons, "demo": []},
                                       ensure_ascii=False), encoding="utf-8")
            return make.load_book(path)

    def test_texts_that_would_break_a_file_are_refused(self):
        cases = [
            ("separator in English", "第1课", "Tea # coffee?", "茶"),
            ("marker in Chinese", "第1课", "Tea?", "茶*"),
            ("caret in a lesson name", "第1^课", "Tea?", "茶"),
            ("outer space", "第1课", "Tea? ", "茶"),
            ("line break", "第1课", "Tea?\nCoffee?", "茶"),
            ("not in GBK", "第1课", "Tea \U0001F375", "茶"),
            ("not read by the voices", "第1课", "Café au lait?", "咖啡"),
        ]
        for name, lesson, english, chinese in cases:
            with self.subTest(name):
                with self.assertRaises(make.GenerationError):
                    self.load([{"name": lesson, "sentences": [[english, chinese]]}])

    def test_speakers(self):
        cases = [
            ("unknown speaker", [["Tea?", "茶？", "C"]], None),
            ("speaker in lower case", [["Tea?", "茶？", "b"]], None),
            ("too many fields", [["Tea?", "茶？", "A", "B"]], None),
            ("only English", [["Tea?"]], None),
            ("no speaker reads as the first", [["Tea?", "茶？"]], [("Tea?", "A")]),
            ("turns", [["Tea?", "茶？", "A"], ["Yes.", "好。", "B"], ["Milk?", "奶？", "B"]],
             [("Tea?", "A"), ("Yes.", "B"), ("Milk?", "B")]),
        ]
        for name, sentences, lines in cases:
            with self.subTest(name):
                lesson = {"name": "第1课", "sentences": sentences}
                if lines is None:
                    with self.assertRaises(make.GenerationError):
                        self.load([lesson])
                else:
                    self.assertEqual(make.spoken_lines(self.load([lesson])["lessons"][0]),
                                     lines)

    def test_a_clean_book_loads(self):
        book = self.load([{"name": "第1课 问候", "sentences": [["Hello.", "你好。"]]}])
        self.assertEqual(book["lessons"][0]["name"], "第1课 问候")

    def test_shipped_book_loads(self):
        book = make.load_book(make.HERE / "book.json")
        self.assertGreaterEqual(len(book["lessons"]), 5)
        # Every lesson is a dialogue: both voices speak in it.
        for lesson in book["lessons"]:
            with self.subTest(lesson["name"]):
                speakers = {speaker for _, speaker in make.spoken_lines(lesson)}
                self.assertEqual(speakers, set(make.VOICES))


def voices_installed():
    return all(shutil.which(tool) for tool in ("text2wave", "festival", "flite", "sox"))


@unittest.skipUnless(voices_installed(), "needs festival, flite and sox")
class VoicesTest(unittest.TestCase):
    """Each speaker's voice speaks, in its own voice, the same samples on every run."""

    def test_each_voice_speaks_repeatably(self):
        with tempfile.TemporaryDirectory() as tmp:
            work = Path(tmp)
            make.check_voices(set(make.VOICES))
            spoken = {}
            for speaker in sorted(make.VOICES):
                with self.subTest(speaker):
                    first = make.speak("Nice to meet you.", speaker, work, f"{speaker}1")
                    again = make.speak("Nice to meet you.", speaker, work, f"{speaker}2")
                    self.assertEqual(first, again)
                    seconds = len(first) / make.SPEECH_RATE
                    self.assertTrue(0.5 < seconds < 2.5, seconds)
                    # Trimmed: sound at both ends, peak at the set level.
                    self.assertGreater(max(abs(s) for s in first[:220]), 30)
                    self.assertGreater(max(abs(s) for s in first[-220:]), 30)
                    peak = 20 * math.log10(max(abs(s) for s in first) / 32768)
                    self.assertAlmostEqual(peak, make.SPEECH_PEAK_DB, delta=0.5)
                    spoken[speaker] = first
            self.assertNotEqual(spoken["A"], spoken["B"])

    def test_a_missing_voice_is_refused(self):
        for speaker in sorted(make.VOICES):
            with self.subTest(speaker):
                voice = dict(make.VOICES[speaker], voice="no_such_voice")
                with mock.patch.dict(make.VOICES, {speaker: voice}):
                    with self.assertRaises(make.GenerationError):
                        make.check_voices({speaker})


def shift_times(text, seconds):
    """Moves every Start and End of a lesson text by seconds."""
    def move(match):
        return f"#{float(match.group(1)) + seconds:.2f}#{float(match.group(2)) + seconds:.2f}#"
    return re.sub(r"#(\d+\.\d\d)#(\d+\.\d\d)#", move, text)


@unittest.skipUnless(shutil.which("ffmpeg") and shutil.which("ffprobe"), "needs ffmpeg")
class ContentCheckerTest(unittest.TestCase):
    """The checker must notice each kind of damage to the committed demo content."""

    CONTENT = make.ROOT / "content"
    TITLE = "英语900句"

    def check(self, damage):
        with tempfile.TemporaryDirectory() as tmp:
            content = Path(tmp) / "content"
            shutil.copytree(self.CONTENT, content)
            damage(content)
            out = io.StringIO()
            with contextlib.redirect_stdout(out):
                status = verify.main([str(content)])
            return status, out.getvalue()

    def edit_lesson(self, content, number, change):
        path = content / "book" / self.TITLE / f"{number}.dat"
        path.write_bytes(change(path.read_bytes().decode("gbk")).encode("gbk"))

    def test_committed_content_passes(self):
        status, out = self.check(lambda content: None)
        self.assertEqual(status, 0, out)

    def test_damage_is_reported(self):
        def swap(content, a, b):
            folder = content / "bitmap"
            (folder / a).rename(folder / "tmp")
            (folder / b).rename(folder / a)
            (folder / "tmp").rename(folder / b)

        def truncate(path, size):
            path.write_bytes(path.read_bytes()[:size])

        sound = Path("SETTING") / "Sound"
        cases = [
            ("times late by 0.25 s", "not aligned",
             lambda c: self.edit_lesson(c, 2, lambda t: shift_times(t, 0.25))),
            ("times early by 0.2 s", "not silent",
             lambda c: self.edit_lesson(c, 3, lambda t: shift_times(t, -0.2))),
            ("line break after the last marker", 'does not end with "*"',
             lambda c: self.edit_lesson(c, 1, lambda t: t + "\r\n")),
            ("UTF-8 lesson text", "is not GBK",
             lambda c: (c / "book" / self.TITLE / "4.dat").write_bytes(
                 (c / "book" / self.TITLE / "4.dat").read_bytes().decode("gbk").encode("utf-8"))),
            ("missing lesson audio", "missing",
             lambda c: (c / "Sound" / self.TITLE / "5.mp3").unlink()),
            ("ticked and cleared pictures swapped", "0.jpg",
             lambda c: swap(c, "0.jpg", "1.jpg")),
            ("radio pictures swapped", "t.jpg", lambda c: swap(c, "t.jpg", "f.jpg")),
            ("click cut short", "long", lambda c: truncate(c / sound / "MouUp.wav", 4000)),
            ("click sound not a WAV", "not a PCM WAV",
             lambda c: (c / sound / "type.wav").write_bytes(b"RIFF")),
            ("end lesson unknown", "is not a lesson",
             lambda c: (c / "SETTING" / "mnset.dat").write_bytes(
                 "0\\1\\1\\1\\0\\1\\0\\第9课\\0\\英语900句\\12615808\\0\\".encode("gbk"))),
            ("results name a lesson that does not exist", "not passed",
             lambda c: (c / "SETTING" / "Results" / f"{self.TITLE}.dat").write_bytes(
                 "^\u2606第1课^".encode("gbk"))),
        ]
        for name, message, damage in cases:
            with self.subTest(name):
                status, out = self.check(damage)
                self.assertEqual(status, 1, out)
                self.assertIn(message, out)


if __name__ == "__main__":
    unittest.main()
