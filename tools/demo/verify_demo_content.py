#!/usr/bin/env python3
"""Checks a program directory's demo content: formats, timings, sounds, pictures.

Usage: verify_demo_content.py [CONTENT_DIR] [--content-tool PATH]

Exit status 0 when every check passes, 1 when one fails, 77 (skipped) when the
format checks pass but ffmpeg/ffprobe are missing for the audio and picture checks.
The audio check decodes each lesson MP3 and measures that every [Start, End]
window holds speech that begins and ends close to its edges, and that the audio
outside all windows is near-silent, so no sentence is cut and none overlaps.
"""

import argparse
import array
import math
import re
import shutil
import subprocess
import sys
import wave
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent.parent
SKIPPED = 77

SPEECH_RATE = 22050
SPEECH_WINDOW_MIN_RMS_DB = -35.0
GAP_MAX_RMS_DB = -55.0
GAP_MAX_PEAK_DB = -40.0
# A window's first and last sound above this level must lie within EDGE_SLACK
# seconds of Start and End: the times are tight around the speech.
SOUND_LEVEL_DB = -40.0
EDGE_SLACK = 0.12
# Quiet sound effects: peak level range and shortest length (shorter clips are
# dropped by sound-effect players on PulseAudio).
CLICK_PEAK_RANGE_DB = (-14.0, -10.0)
CLICK_MIN_SECONDS = 0.4
CLICK_NAMES = ["MouDown.wav", "MouUp.wav", "type.wav", "wrong.wav"]
PICTURES = ["0.jpg", "1.jpg", "a1.jpg", "t.jpg", "f.jpg"]
PICTURE_SIZE = 13
MAX_TOTAL_BYTES = 2 * 1024 * 1024
TIME = re.compile(r"^\d+\.\d\d$")
REPEATS = {str(n) for n in range(11)}
PAUSES = REPEATS | {"20", "30", "60"}
PASS_MARKS = {"60", "70", "80", "90", "100"}


class Report:
    def __init__(self):
        self.failures = []
        self.skipped = []

    def fail(self, where, message):
        self.failures.append(f"{where}: {message}")

    def check(self, condition, where, message):
        if not condition:
            self.fail(where, message)
        return condition


# ---------------------------------------------------------------------------
# Pure parsers: text in, (value, problems) out.


def decode_gbk(data):
    """GBK text of a content file, or None with the problem."""
    if data.startswith(b"\xef\xbb\xbf"):
        return None, "starts with a UTF-8 byte-order mark"
    try:
        return data.decode("gbk"), None
    except UnicodeDecodeError as e:
        return None, f"is not GBK: {e}"


def parse_lesson(text):
    """*Good morning!#早上好！#0.29#1.85#<CR LF>*...* -> [(en, zh, start, end)], problems"""
    problems = []
    if not text.startswith("*"):
        problems.append('does not begin with "*"')
    if not text.endswith("*"):
        problems.append('does not end with "*" (no line break may follow it)')
    if problems:
        return [], problems
    records = []
    for number, record in enumerate(text[1:-1].split("*"), start=1):
        fields = record.split("#")
        if len(fields) < 5:
            problems.append(f"record {number} has {len(fields) - 1} '#', needs 4")
            continue
        english, chinese, start, end = fields[:4]
        rest = "#".join(fields[4:])
        if rest != "\r\n":
            problems.append(f"record {number} is not followed by exactly CR LF: {rest!r}")
        for name, value in (("English", english), ("Chinese", chinese)):
            if not value.strip(" "):
                problems.append(f"record {number} has an empty {name} text")
            elif value != value.strip(" ") or any(c in value for c in "\r\n\t"):
                problems.append(f"record {number} {name} text has outer spaces or line breaks")
        if not TIME.match(start) or not TIME.match(end):
            problems.append(f"record {number} times {start!r} {end!r} are not seconds "
                            "with 2 decimals")
            continue
        records.append((english, chinese, float(start), float(end)))
    for number, (_, _, start, end) in enumerate(records, start=1):
        if not end > start:
            problems.append(f"record {number} ends ({end}) before it starts ({start})")
    for number, (before, after) in enumerate(zip(records, records[1:]), start=1):
        if not before[3] < after[2]:
            problems.append(f"record {number} ends at {before[3]}, "
                            f"after record {number + 1} starts")
    return records, problems


def parse_caret_list(text):
    """^name1^name2^ -> [names], problems"""
    if len(text) < 2 or not text.startswith("^") or not text.endswith("^"):
        return [], ['must begin and end with "^"']
    return text[1:-1].split("^"), []


def parse_record(text, field_count):
    """0\\1\\1\\1\\0\\1\\0\\1\\0\\英语900句\\60\\ -> [fields], problems"""
    if not text.endswith("\\"):
        return [], ["the last field is not closed by a backslash"]
    fields = text[:-1].split("\\")
    if len(fields) != field_count:
        return fields, [f"holds {len(fields)} fields, expected {field_count}"]
    return fields, []


def is_int(text, low, high):
    return re.fullmatch(r"-?\d+", text) is not None and low <= int(text) <= high


# ---------------------------------------------------------------------------
# Audio measurement


def level_db(samples):
    if not samples:
        return -math.inf
    rms = math.sqrt(sum(s * s for s in samples) / len(samples))
    return 20 * math.log10(rms / 32768) if rms > 0 else -math.inf


def peak_db(samples):
    peak = max((abs(s) for s in samples), default=0)
    return 20 * math.log10(peak / 32768) if peak > 0 else -math.inf


def decode_to_pcm(path, rate):
    out = subprocess.run(["ffmpeg", "-v", "error", "-nostdin", "-i", str(path), "-f", "s16le",
                          "-ac", "1", "-ar", str(rate), "-"],
                         check=True, capture_output=True).stdout
    samples = array.array("h")
    samples.frombytes(out[: len(out) // 2 * 2])
    return samples


def probe(path):
    """Duration in seconds, codec, sample rate, channels and bit rate of a media file."""
    out = subprocess.run(["ffprobe", "-v", "error", "-show_entries",
                          "format=duration:stream=codec_name,sample_rate,channels,bit_rate",
                          "-of", "default=noprint_wrappers=1", str(path)],
                         check=True, capture_output=True, text=True).stdout
    info = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
    return info


def check_lesson_audio(report, where, mp3, records):
    info = probe(mp3)
    duration = float(info.get("duration", 0))
    report.check(info.get("codec_name") == "mp3" and info.get("channels") == "1"
                 and info.get("sample_rate") == str(SPEECH_RATE), where,
                 f"expected mono {SPEECH_RATE} Hz MP3, got {info}")
    if records and not report.check(records[-1][3] <= duration, where,
                                    f"last End {records[-1][3]} is past the audio's end "
                                    f"{duration:.3f}"):
        return
    pcm = decode_to_pcm(mp3, SPEECH_RATE)

    def span(a, b):
        return pcm[max(0, round(a * SPEECH_RATE)):max(0, round(b * SPEECH_RATE))]

    loud = 32768 * 10 ** (SOUND_LEVEL_DB / 20)
    for number, (_, _, start, end) in enumerate(records, start=1):
        window = span(start, end)
        rms = level_db(window)
        if not report.check(rms >= SPEECH_WINDOW_MIN_RMS_DB, where,
                            f"sentence {number} [{start}, {end}] holds no speech ({rms:.1f} dBFS)"):
            continue
        first = next(i for i, s in enumerate(window) if abs(s) > loud)
        last = next(i for i in reversed(range(len(window))) if abs(window[i]) > loud)
        lead = first / SPEECH_RATE
        trail = (len(window) - last) / SPEECH_RATE
        report.check(lead <= EDGE_SLACK and trail <= EDGE_SLACK, where,
                     f"sentence {number}: speech starts {lead:.3f} s after Start and ends "
                     f"{trail:.3f} s before End; the times are not aligned with the audio")
    edges = [0.0] + [t for r in records for t in (r[2], r[3])] + [duration]
    for number, (a, b) in enumerate(zip(edges[::2], edges[1::2])):
        quiet = span(a, b)
        if not quiet:
            continue
        rms, peak = level_db(quiet), peak_db(quiet)
        report.check(rms <= GAP_MAX_RMS_DB and peak <= GAP_MAX_PEAK_DB, where,
                     f"the audio between {a} and {b} (outside every sentence) is not silent: "
                     f"RMS {rms:.1f} dBFS, peak {peak:.1f} dBFS")


def check_click_sound(report, path):
    where = str(path)
    try:
        with wave.open(str(path), "rb") as w:
            params = (w.getnchannels(), w.getsampwidth(), w.getframerate())
            samples = array.array("h")
            samples.frombytes(w.readframes(w.getnframes()))
    except (wave.Error, EOFError, OSError) as e:
        report.fail(where, f"not a PCM WAV: {e}")
        return
    if not report.check(params == (1, 2, 44100), where,
                        f"expected mono 16-bit 44.1 kHz, got {params}"):
        return
    seconds = len(samples) / 44100
    report.check(seconds >= CLICK_MIN_SECONDS, where, f"only {seconds:.3f} s long")
    peak = peak_db(samples)
    low, high = CLICK_PEAK_RANGE_DB
    report.check(low <= peak <= high, where, f"peak {peak:.1f} dBFS, expected {low}..{high}")
    onset = level_db(samples[: int(0.01 * 44100)])
    report.check(onset > -60, where, "the sound does not start at once")


def check_recorder(report, path):
    where = str(path)
    try:
        with wave.open(str(path), "rb") as w:
            params = (w.getnchannels(), w.getsampwidth())
            frames = w.readframes(w.getnframes())
            seconds = w.getnframes() / w.getframerate()
    except (wave.Error, EOFError, OSError) as e:
        report.fail(where, f"not a PCM WAV: {e}")
        return
    report.check(params == (1, 2), where, f"expected mono 16-bit, got {params}")
    report.check(0.05 <= seconds <= 0.2, where, f"{seconds:.3f} s long, expected about 0.1 s")
    report.check(not any(frames), where, "is not silent")


def picture_pixels(path):
    """13 x 13 RGB pixels as rows of (r, g, b), decoded by ffmpeg."""
    out = subprocess.run(["ffmpeg", "-v", "error", "-nostdin", "-i", str(path), "-f", "rawvideo",
                          "-pix_fmt", "rgb24", "-"], check=True, capture_output=True).stdout
    if len(out) != PICTURE_SIZE * PICTURE_SIZE * 3:
        return None
    return [[tuple(out[(y * PICTURE_SIZE + x) * 3:(y * PICTURE_SIZE + x) * 3 + 3])
             for x in range(PICTURE_SIZE)] for y in range(PICTURE_SIZE)]


def is_white(p):
    return min(p) >= 235


def is_accent(p):
    r, g, b = p
    return b >= 180 and b - r >= 100


def is_grey(p):
    return max(p) - min(p) <= 30 and max(p) <= 215


def check_pictures(report, folder):
    middle = PICTURE_SIZE // 2
    for name in PICTURES:
        path = folder / name
        where = str(path)
        data = path.read_bytes() if path.is_file() else b""
        if not report.check(data[:2] == b"\xff\xd8" and data[-2:] == b"\xff\xd9", where,
                            "missing or not a JPEG file"):
            continue
        px = picture_pixels(path)
        if not report.check(px is not None, where, f"not {PICTURE_SIZE} x {PICTURE_SIZE} pixels"):
            continue
        corners = [px[0][0], px[0][-1], px[-1][0], px[-1][-1]]
        if name.startswith("t") or name.startswith("f"):
            report.check(all(is_white(c) for c in corners), where, "radio corners are not white")
        centre = px[middle][middle]
        edge = px[middle][0]
        inner = [px[y][x] for y in range(2, PICTURE_SIZE - 2) for x in range(2, PICTURE_SIZE - 2)]
        if name == "0.jpg":
            report.check(is_grey(edge), where, f"no grey border ({edge})")
            report.check(all(is_white(p) for p in inner), where, "a cleared box must be empty")
        elif name == "1.jpg":
            report.check(sum(map(is_accent, inner)) >= 8, where, "no tick in the box")
            report.check(sum(map(is_white, inner)) >= 40, where, "the box is not white inside")
        elif name == "a1.jpg":
            report.check(is_accent(px[2][middle]), where, "the box is not filled with the accent")
            report.check(sum(map(is_white, inner)) >= 6, where, "no white tick in the box")
        elif name == "t.jpg":
            report.check(is_accent(centre), where, f"no accent dot in the middle ({centre})")
            report.check(is_accent(edge) or is_accent(px[middle][1]), where,
                         "the rim is not the accent")
        elif name == "f.jpg":
            report.check(is_white(centre), where, "a free radio must be empty")
            report.check(is_grey(edge) or is_grey(px[middle][1]), where, "no grey rim")


# ---------------------------------------------------------------------------


def read_text(report, path):
    if not path.is_file():
        report.fail(str(path), "missing")
        return None
    text, problem = decode_gbk(path.read_bytes())
    if problem:
        report.fail(str(path), problem)
    return text


def check_book(report, content, title, tools):
    lesson_dir = content / "book" / title
    names = sorted(p.name for p in lesson_dir.glob("*.dat"))
    count = len(names)
    expected = [f"{n}.dat" for n in range(1, count + 1)]
    report.check(sorted(names) == sorted(expected), str(lesson_dir),
                 f"lesson files must be 1.dat..{count}.dat, found {names}")
    booklist = read_text(report, content / "SETTING" / "BookList" / f"{title}.dat")
    lesson_names = []
    if booklist is not None:
        lesson_names, problems = parse_caret_list(booklist)
        for p in problems:
            report.fail(f"BookList/{title}.dat", p)
        report.check(len(lesson_names) == count, f"BookList/{title}.dat",
                     f"names {len(lesson_names)} lessons, the book has {count}")
        report.check(all(lesson_names) and len(set(lesson_names)) == len(lesson_names),
                     f"BookList/{title}.dat", "lesson names must be non-empty and distinct")
    results = read_text(report, content / "SETTING" / "Results" / f"{title}.dat")
    if results is not None:
        entries, problems = parse_caret_list(results)
        for p in problems:
            report.fail(f"Results/{title}.dat", p)
        report.check(entries == ["\u2606" + n for n in lesson_names], f"Results/{title}.dat",
                     "must list every lesson as not passed, in lesson order")
    lessons = {}
    for number in range(1, count + 1):
        where = f"book/{title}/{number}.dat"
        text = read_text(report, lesson_dir / f"{number}.dat")
        if text is None:
            continue
        records, problems = parse_lesson(text)
        for p in problems:
            report.fail(where, p)
        lessons[number] = records
        mp3 = content / "Sound" / title / f"{number}.mp3"
        if not report.check(mp3.is_file(), str(mp3), "missing"):
            continue
        if tools and not problems:
            check_lesson_audio(report, str(mp3), mp3, records)
    return lesson_names, lessons


def check_demo_expectations(report, title, lessons):
    """What the demo book is for: enough lessons to page through, a two-digit
    sentence number, and English long enough to wrap."""
    where = f"book/{title}"
    report.check(len(lessons) >= 5, where, "fewer than 5 lessons")
    for number, records in lessons.items():
        report.check(8 <= len(records) <= 15, where,
                     f"lesson {number} has {len(records)} sentences, expected 8..15")
    report.check(any(len(r) >= 10 for r in lessons.values()), where, "no lesson with 10+ sentences")
    report.check(any(len(e) >= 90 for r in lessons.values() for e, *_ in r), where,
                 "no English sentence long enough to wrap (90+ characters)")


def check_record_fields(report, where, fields, books, first_index):
    """Fields shared by both records: lesson index, hint boxes, repeats, pauses, book.
    Returns the book's lesson names, or None when the record names no known book."""
    names = books.get(fields[9])
    if not report.check(names is not None, where, f"field 10 names no book: {fields[9]}"):
        return None
    report.check(is_int(fields[0], first_index, len(names) - 1), where, "bad lesson index")
    report.check(fields[1] in ("0", "1") and fields[2] in ("0", "1"), where,
                 "check-box fields must be 0 or 1")
    report.check(fields[3] in REPEATS and fields[5] in REPEATS, where, "bad repeat count")
    report.check(fields[4] in PAUSES and fields[6] in PAUSES, where, "bad pause")
    return names


def check_settings(report, content, books):
    """0\\1\\1\\1\\0\\1\\0\\1\\0\\英语900句\\60\\ and the 12 fields of mnset.dat."""
    setting = content / "SETTING"
    text = read_text(report, setting / "set.dat")
    if text is not None:
        fields, problems = parse_record(text, 11)
        for p in problems:
            report.fail("set.dat", p)
        if not problems:
            check_record_fields(report, "set.dat", fields, books, -1)
            report.check(fields[7] in ("0", "1") and fields[8] in ("0", "1"), "set.dat",
                         "check-box fields must be 0 or 1")
            report.check(fields[10] in PASS_MARKS, "set.dat", "bad pass mark")
    text = read_text(report, setting / "mnset.dat")
    if text is not None:
        fields, problems = parse_record(text, 12)
        for p in problems:
            report.fail("mnset.dat", p)
        if not problems:
            names = check_record_fields(report, "mnset.dat", fields, books, 0)
            if names is not None:
                report.check(fields[7] in names, "mnset.dat",
                             f"end lesson {fields[7]} is not a lesson")
                report.check(is_int(fields[8], 0, len(names) - 1), "mnset.dat", "bad HN")
            report.check(is_int(fields[10], 0, 0xFFFFFF) and is_int(fields[11], 0, 0xFFFFFF),
                         "mnset.dat", "colours must be 0..16777215")


def run_content_tool(report, tool, content):
    result = subprocess.run([str(tool), "check", str(content)], capture_output=True, text=True)
    output = (result.stdout + result.stderr).strip()
    if output:
        print(output)
    report.check(result.returncode == 0, str(tool), f"check exited with {result.returncode}")


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("content", nargs="?", type=Path, default=ROOT / "content")
    parser.add_argument("--content-tool", type=Path, help="also run 'orvessa-content check'")
    args = parser.parse_args(argv)
    content = args.content
    report = Report()
    tools = shutil.which("ffmpeg") is not None and shutil.which("ffprobe") is not None

    books = {}
    titles = sorted(p.name for p in (content / "book").iterdir() if p.is_dir()) \
        if (content / "book").is_dir() else []
    report.check(titles, str(content / "book"), "holds no book")
    for title in titles:
        names, lessons = check_book(report, content, title, tools)
        books[title] = names
        check_demo_expectations(report, title, lessons)
        demo = content / "Sound" / title / "demo.mp3"
        if title == "英语900句" and report.check(demo.is_file(), str(demo), "missing") and tools:
            seconds = float(probe(demo).get("duration", 0))
            report.check(3 <= seconds <= 30, str(demo), f"{seconds:.1f} s long, expected 3..30 s")
            report.check(level_db(decode_to_pcm(demo, SPEECH_RATE)) > -40, str(demo), "is silent")
    check_settings(report, content, books)
    for name in CLICK_NAMES:
        check_click_sound(report, content / "SETTING" / "Sound" / name)
    check_recorder(report, content / "Recorder.wav")
    if tools:
        check_pictures(report, content / "bitmap")
    total = sum(p.stat().st_size for p in content.rglob("*") if p.is_file())
    report.check(total < MAX_TOTAL_BYTES, str(content), f"{total} bytes, more than 2 MB")
    if args.content_tool:
        run_content_tool(report, args.content_tool, content)

    for failure in report.failures:
        print(f"FAIL {failure}")
    if report.failures:
        print(f"{len(report.failures)} problem(s) in {content}")
        return 1
    if not tools:
        print("format checks passed; audio and picture checks skipped: ffmpeg/ffprobe missing")
        return SKIPPED
    print(f"all checks passed ({total} bytes in {content})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
