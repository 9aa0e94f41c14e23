#!/usr/bin/env python3
"""Rebuilds the demo program-directory content (content/ at the top of the tree).

Everything under content/ comes out of this script: the lesson texts and their
spoken audio (festival, flite, sox, lame), the lesson-name list and results file, the two
settings records, the click and typing sounds, the recorder file and the option
pictures (drawn by the orvessa-skin tool). Sentences and lesson names live in
book.json beside this script. A re-run on the same machine gives byte-identical
files; see README.md.
"""

import argparse
import array
import json
import math
import os
import shutil
import subprocess
import sys
import tempfile
import wave
from pathlib import Path

sys.dont_write_bytecode = True  # keep the source tree free of __pycache__

import verify_demo_content as verify  # noqa: E402

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent.parent

# Speech: two speakers who take turns in the dialogues, the most natural offline voices
# Debian packages, each at its own natural pace, as 22.05 kHz mono. Speaker "A" (also the
# voice of the sample recording and of every sentence that names no speaker) is festival's
# HTS voice cmu_us_slt_arctic_hts (package festvox-us-slt-hts), an American woman; speaker
# "B" is flite's built-in voice rms, an American man. Both are deterministic: the same text
# gives the same samples on every run.
VOICES = {
    "A": {"engine": "festival", "voice": "voice_cmu_us_slt_arctic_hts",
          "package": "festvox-us-slt-hts"},
    "B": {"engine": "flite", "voice": "rms", "package": "flite"},
}
DEFAULT_SPEAKER = "A"
SPEECH_RATE = 22050
# Silence laid out around the sentences of a lesson, in seconds.
LEAD_IN = 0.30
GAP = 0.70
TAIL = 0.60
# How far Start sits before the first sound and End after the last one. Players
# overshoot End by a few tens of milliseconds, so the margins stay small, and the
# gap keeps every End well before the next Start.
START_MARGIN = 0.05
END_MARGIN = 0.06
# Level below which a voice's output counts as silence when trimming.
TRIM_THRESHOLD = "-50d"
# Peak level of every sentence after trimming.
SPEECH_PEAK_DB = -3
# MPEG-2 layer III, 48 kbit/s CBR, mono. "-t" leaves out the LAME/Xing frame: its
# encoder-delay field is honoured by some decoders and ignored by others, which
# would make the same sentence start at different times on different players.
# Without it every decoder plays the same samples at the same positions (ffmpeg, as
# used by mpv, and Qt's GStreamer decoder both start 1105 samples late), and that
# fixed codec delay is measured once and added to the times.
LAME_ARGS = ["--quiet", "-t", "--noreplaygain", "-m", "m", "-b", "48", "-q", "2"]

# Click and typing sounds: 44.1 kHz mono 16-bit, quiet, each padded with silence to
# more than 0.4 s because sound-effect players on PulseAudio drop shorter clips.
CLICK_RATE = 44100
CLICK_PEAK_DB = -12
CLICK_MIN_LENGTH = 0.42
# sox effect chains after "synth"; each sound is a short tone with a fast attack
# and a soft decay, low-passed so that it is a tap rather than a beep.
CLICK_SOUNDS = {
    "MouDown.wav": ["synth", "0.045", "sine", "620-430", "fade", "q", "0.002", "0.045", "0.04",
                    "lowpass", "2500"],
    "MouUp.wav": ["synth", "0.04", "sine", "900-680", "fade", "q", "0.002", "0.04", "0.035",
                  "lowpass", "3000"],
    "type.wav": ["synth", "0.014", "sine", "2300-1800", "fade", "q", "0.0005", "0.014", "0.012",
                 "lowpass", "5000"],
    # Two soft buzzes: a low square wave with its harsh overtones filtered away.
    "wrong.wav": ["synth", "0.1", "square", "180", "lowpass", "550", "lowpass", "550",
                  "fade", "h", "0.012", "0.1", "0.045", "pad", "0", "0.06", "repeat", "1"],
}

RECORDER_RATE = 22050
RECORDER_SECONDS = 0.1

# The records the two programs start from: lesson 1 of the demo book.
SET_RECORD = "0\\1\\1\\1\\0\\1\\0\\1\\0\\{title}\\60\\"
MNSET_RECORD = "0\\1\\1\\1\\0\\1\\0\\{end_lesson}\\0\\{title}\\12615808\\0\\"

NOT_PASSED = "\u2606"  # ☆


class GenerationError(Exception):
    pass


def run(args, check=True, **kwargs):
    try:
        return subprocess.run([str(a) for a in args], check=check, capture_output=True, **kwargs)
    except FileNotFoundError as e:
        raise GenerationError(f"{args[0]} is not installed") from e
    except subprocess.CalledProcessError as e:
        detail = e.stderr.decode("utf-8", "replace").strip()
        raise GenerationError(f"{' '.join(map(str, args))} failed: {detail}") from e


# ---------------------------------------------------------------------------
# Book source


def load_book(path):
    """{"title": "英语900句", "lessons": [{"name": "第1课 ..", "sentences": [[en, zh, speaker]]}],
    "demo": [en, ..]}; the speaker ("A" or "B", see VOICES) may be left out: "A"."""
    with open(path, encoding="utf-8") as f:
        book = json.load(f)
    title = book["title"]
    check_text(title, "book title", "^\\/*#")
    names = set()
    for lesson in book["lessons"]:
        check_text(lesson["name"], "lesson name", "^\\")
        if lesson["name"] in names:
            raise GenerationError(f"lesson name {lesson['name']} appears twice")
        names.add(lesson["name"])
        if not lesson["sentences"]:
            raise GenerationError(f"lesson {lesson['name']} has no sentences")
        for sentence in lesson["sentences"]:
            if not 2 <= len(sentence) <= 3:
                raise GenerationError(f"{sentence!r} is not [English, Chinese, speaker]")
            english, chinese = sentence[:2]
            check_text(english, "English sentence", "*#")
            check_spoken(english)
            check_text(chinese, "Chinese sentence", "*#")
            if len(sentence) == 3 and sentence[2] not in VOICES:
                raise GenerationError(f"{english!r} names the speaker {sentence[2]!r}; "
                                      f"the speakers are {', '.join(sorted(VOICES))}")
    for english in book.get("demo", []):
        check_text(english, "demo sentence", "")
        check_spoken(english)
    if not book["lessons"]:
        raise GenerationError("the book has no lessons")
    return book


def check_spoken(english):
    """The voices read plain ASCII; other characters would be spelled out or dropped."""
    if not english.isascii() or not english.isprintable():
        raise GenerationError(f"English sentence {english!r} holds a character the voices "
                              "cannot read (only printable ASCII)")


def spoken_lines(lesson):
    """(English, speaker) of each sentence of a lesson, in order."""
    return [(s[0], s[2] if len(s) == 3 else DEFAULT_SPEAKER) for s in lesson["sentences"]]


def check_text(text, what, forbidden):
    """Fields are cut at separators with no escaping, and the files are GBK."""
    if not text or text != text.strip():
        raise GenerationError(f"{what} {text!r} is empty or has outer spaces")
    bad = [c for c in text if c in forbidden or c in "\r\n\t"]
    if bad:
        raise GenerationError(f"{what} {text!r} holds the separator {bad[0]!r}")
    try:
        text.encode("gbk")
    except UnicodeEncodeError as e:
        raise GenerationError(f"{what} {text!r} is not representable in GBK") from e


def write_gbk(path, text):
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(text.encode("gbk"))


# ---------------------------------------------------------------------------
# Audio helpers


def read_pcm(path):
    """Samples of a 16-bit mono WAV as an array('h')."""
    with wave.open(str(path), "rb") as w:
        if w.getsampwidth() != 2 or w.getnchannels() != 1:
            raise GenerationError(f"{path} is not 16-bit mono")
        samples = array.array("h")
        samples.frombytes(w.readframes(w.getnframes()))
        return samples, w.getframerate()


def write_pcm(path, samples, rate):
    path.parent.mkdir(parents=True, exist_ok=True)
    with wave.open(str(path), "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(samples.tobytes())


def silence(seconds, rate):
    return array.array("h", bytes(2 * round(seconds * rate)))


def synthesis_command(speaker, text_file, raw):
    """The command line that speaks the text in text_file into the WAV file raw."""
    voice = VOICES[speaker]
    if voice["engine"] == "festival":
        return ["text2wave", "-eval", f"({voice['voice']})", text_file, "-o", raw]
    return ["flite", "-voice", voice["voice"], "-f", text_file, "-o", raw]


def check_voices(speakers):
    """Refuses to start when a voice is missing: text2wave reports an unknown voice only on
    stderr, and flite quietly falls back to another voice, so neither run would fail."""
    for speaker in sorted(speakers):
        voice = VOICES[speaker]
        if voice["engine"] == "flite":
            listed = run(["flite", "-lv"]).stdout.decode("utf-8", "replace")
            if voice["voice"] not in listed.replace(":", " ").split():
                raise GenerationError(f"flite has no voice {voice['voice']} "
                                      f"(install {voice['package']})")
        else:
            probe = run(["festival", "--batch", f"(if (not (boundp '{voice['voice']})) "
                                                "(exit 1))"], check=False)
            if probe.returncode != 0:
                raise GenerationError(f"festival has no voice {voice['voice']} "
                                      f"(install {voice['package']})")


def speak(text, speaker, work, stem):
    """One sentence in the speaker's voice as trimmed, peak-normalised 22.05 kHz samples."""
    source = work / f"{stem}.txt"
    raw = work / f"{stem}.raw.wav"
    trimmed = work / f"{stem}.wav"
    source.write_text(text + "\n", encoding="ascii")
    result = run(synthesis_command(speaker, source, raw))
    errors = result.stderr.decode("utf-8", "replace")
    if not raw.is_file() or "ERROR" in errors:
        raise GenerationError(f"{VOICES[speaker]['voice']} could not speak {text!r}: "
                              f"{errors.strip()}")
    # -R and -D keep sox repeatable: no random dither on the 16-bit output.
    run(["sox", "-R", "-D", raw, "-r", SPEECH_RATE, "-b", "16", "-c", "1", trimmed,
         "silence", "1", "0.005", TRIM_THRESHOLD, "reverse",
         "silence", "1", "0.005", TRIM_THRESHOLD, "reverse",
         "norm", SPEECH_PEAK_DB])
    samples, rate = read_pcm(trimmed)
    if rate != SPEECH_RATE or not samples:
        raise GenerationError(f"{VOICES[speaker]['voice']} produced no speech for {text!r}")
    return samples


def encode_mp3(wav, mp3):
    mp3.parent.mkdir(parents=True, exist_ok=True)
    run(["lame", *LAME_ARGS, wav, mp3])


def decode_mp3(mp3):
    out = run(["ffmpeg", "-v", "error", "-nostdin", "-i", mp3, "-f", "s16le", "-ac", "1",
               "-ar", SPEECH_RATE, "-"]).stdout
    samples = array.array("h")
    samples.frombytes(out[: len(out) // 2 * 2])
    return samples


def measure_codec_delay(work):
    """Seconds by which a sound encoded with LAME_ARGS starts later when decoded.

    The encoder and decoder each prepend a fixed number of samples; a tone burst
    after a known silence shows the sum as it is heard.
    """
    burst_at = 0.5
    tone = array.array("h", (round(12000 * math.sin(2 * math.pi * 1000 * i / SPEECH_RATE))
                             for i in range(round(0.1 * SPEECH_RATE))))
    probe = silence(burst_at, SPEECH_RATE) + tone + silence(0.5, SPEECH_RATE)
    wav = work / "delay.wav"
    mp3 = work / "delay.mp3"
    write_pcm(wav, probe, SPEECH_RATE)
    encode_mp3(wav, mp3)
    decoded = decode_mp3(mp3)
    onset = next((i for i, s in enumerate(decoded) if abs(s) > 3000), None)
    if onset is None:
        raise GenerationError("the MP3 delay probe decoded to silence")
    delay = onset / SPEECH_RATE - burst_at
    if not 0 <= delay < 0.2:
        raise GenerationError(f"implausible MP3 codec delay {delay:.3f} s")
    return delay


def build_spoken_track(lines, work, stem):
    """Concatenates the (text, speaker) lines; returns the samples and each sentence's
    [first, last) sample span."""
    track = silence(LEAD_IN, SPEECH_RATE)
    spans = []
    for i, (text, speaker) in enumerate(lines, start=1):
        if i > 1:
            track += silence(GAP, SPEECH_RATE)
        speech = speak(text, speaker, work, f"{stem}-{i}")
        spans.append((len(track), len(track) + len(speech)))
        track += speech
    track += silence(TAIL, SPEECH_RATE)
    return track, spans


def sentence_times(spans, delay):
    """Start and End of each sentence in the MP3, as the "%.2f" texts of the file.

    Start is rounded down and End up, so rounding only widens the window."""
    times = []
    for first, last in spans:
        start = max(0.0, first / SPEECH_RATE + delay - START_MARGIN)
        end = last / SPEECH_RATE + delay + END_MARGIN
        start_text = f"{math.floor(start * 100 + 1e-6) / 100:.2f}"
        end_text = f"{math.ceil(end * 100 - 1e-6) / 100:.2f}"
        times.append((start_text, end_text))
    for (_, end), (start, _) in zip(times, times[1:]):
        if float(end) >= float(start):
            raise GenerationError("the gap between sentences is too short for the margins")
    return times


# ---------------------------------------------------------------------------
# Content files


def lesson_text(sentences, times):
    """*English#中文#0.29#2.41#<CR LF>*...*  (the last character is the final "*")"""
    records = [f"{en}#{zh}#{start}#{end}#\r\n" for (en, zh), (start, end) in zip(sentences, times)]
    return "*" + "*".join(records) + "*"


def caret_list(entries):
    """^entry1^entry2^"""
    return "^" + "".join(e + "^" for e in entries)


def make_lessons(book, out, work, delay):
    title = book["title"]
    for number, lesson in enumerate(book["lessons"], start=1):
        sentences = [sentence[:2] for sentence in lesson["sentences"]]
        track, spans = build_spoken_track(spoken_lines(lesson), work, f"l{number}")
        wav = work / f"lesson{number}.wav"
        write_pcm(wav, track, SPEECH_RATE)
        encode_mp3(wav, out / "Sound" / title / f"{number}.mp3")
        times = sentence_times(spans, delay)
        write_gbk(out / "book" / title / f"{number}.dat", lesson_text(sentences, times))
        print(f"  lesson {number}: {len(sentences)} sentences, {len(track) / SPEECH_RATE:.1f} s")


def make_demo_recording(book, out, work):
    track, _ = build_spoken_track([(text, DEFAULT_SPEAKER) for text in book["demo"]], work,
                                  "demo")
    wav = work / "demo.wav"
    write_pcm(wav, track, SPEECH_RATE)
    encode_mp3(wav, out / "Sound" / book["title"] / "demo.mp3")


def make_settings(book, out):
    title = book["title"]
    names = [lesson["name"] for lesson in book["lessons"]]
    setting = out / "SETTING"
    write_gbk(setting / "BookList" / f"{title}.dat", caret_list(names))
    write_gbk(setting / "Results" / f"{title}.dat", caret_list(NOT_PASSED + n for n in names))
    write_gbk(setting / "set.dat", SET_RECORD.format(title=title))
    write_gbk(setting / "mnset.dat", MNSET_RECORD.format(title=title, end_lesson=names[-1]))


def make_click_sounds(out):
    folder = out / "SETTING" / "Sound"
    folder.mkdir(parents=True, exist_ok=True)
    for name, effects in CLICK_SOUNDS.items():
        path = folder / name
        run(["sox", "-R", "-D", "-n", "-r", CLICK_RATE, "-c", "1", "-b", "16", "-e", "signed",
             path, *effects, "norm", CLICK_PEAK_DB])
        samples, _ = read_pcm(path)
        missing = CLICK_MIN_LENGTH - len(samples) / CLICK_RATE
        if missing > 0:
            write_pcm(path, samples + silence(missing, CLICK_RATE), CLICK_RATE)


def make_recorder(out):
    write_pcm(out / "Recorder.wav", silence(RECORDER_SECONDS, RECORDER_RATE), RECORDER_RATE)


def find_skin_tool(explicit):
    if explicit:
        path = Path(explicit)
        if not path.is_file():
            raise GenerationError(f"{path} does not exist")
        return path
    candidates = sorted(ROOT.glob("build*/tools/orvessa-skin"))
    if not candidates:
        raise GenerationError("orvessa-skin not found: build the target orvessa-skin "
                              "or pass --skin PATH")
    return candidates[0]


def make_pictures(skin_tool, out):
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    run([skin_tool, out / "bitmap"], env=env)


# ---------------------------------------------------------------------------


# What this script owns inside the content directory; anything else there is left.
GENERATED = ["book", "Sound", "SETTING", "bitmap", "Recorder.wav", ".keep"]


def install(staging, content):
    content.mkdir(parents=True, exist_ok=True)
    for name in GENERATED:
        target = content / name
        if target.is_dir():
            shutil.rmtree(target)
        elif target.exists():
            target.unlink()
    for item in sorted(staging.iterdir()):
        shutil.move(str(item), str(content / item.name))


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--book", type=Path, default=HERE / "book.json",
                        help="sentence source (default: book.json beside this script)")
    parser.add_argument("--content", type=Path, default=ROOT / "content",
                        help="content directory to rebuild (default: content/ of the tree)")
    parser.add_argument("--skin", help="path of orvessa-skin (default: build*/tools/orvessa-skin)")
    parser.add_argument("--no-verify", action="store_true", help="skip the checks at the end")
    args = parser.parse_args(argv)

    try:
        book = load_book(args.book)
        skin_tool = find_skin_tool(args.skin)
        check_voices({speaker for lesson in book["lessons"]
                      for _, speaker in spoken_lines(lesson)} | {DEFAULT_SPEAKER})
        with tempfile.TemporaryDirectory(prefix="orvessa-demo-") as tmp:
            work = Path(tmp) / "work"
            staging = Path(tmp) / "content"
            work.mkdir()
            staging.mkdir()
            delay = measure_codec_delay(work)
            print(f"MP3 codec delay: {delay * 1000:.1f} ms")
            make_lessons(book, staging, work, delay)
            make_demo_recording(book, staging, work)
            make_settings(book, staging)
            make_click_sounds(staging)
            make_recorder(staging)
            make_pictures(skin_tool, staging)
            install(staging, args.content)
    except GenerationError as e:
        print(f"make_demo_content: {e}", file=sys.stderr)
        return 1
    print(f"wrote {args.content}")
    if args.no_verify:
        return 0
    return verify.main([str(args.content)])


if __name__ == "__main__":
    sys.exit(main())
