#!/usr/bin/python3
"""The follow-read page judging a recording, driven and read through AT-SPI.

Usage: feedback_e2e.py BIN_DIR SOURCE_DIR

A learner's take of the demo's first sentence that leaves out "morning" is made with espeak-ng,
a little slower than the model. orvessa runs on a copy of BIN_DIR against a private
PulseAudio null sink whose monitor is the default source: 录音 is pressed, the take is played
into the sink (so the recorder hears it), 停止 is pressed, and the page must say that "morning"
was left out, in its summary line and in the sentence line's description. Exits 77 when a
tool it needs is missing.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import atspi_e2e as base  # noqa: E402

SKIP = 77
INNER = "ORVESSA_FEEDBACK_INNER"
TAKE_TEXT = "Good! How are you today?"


def missing_tools():
    missing = base.missing_tools()
    if missing:
        return missing
    for tool in ("pulseaudio", "pactl", "paplay", "espeak-ng", "sox"):
        if not shutil.which(tool):
            return tool
    return None


def make_take(work):
    """The learner's take: "morning" left out, a little slower than the model, 16 kHz mono."""
    raw = os.path.join(work, "take-raw.wav")
    take = os.path.join(work, "take.wav")
    subprocess.run(["espeak-ng", "-v", "en-us", "-s", "140", "-w", raw, TAKE_TEXT],
                   check=True)
    subprocess.run(["sox", raw, "-r", "16000", "-c", "1", take, "pad", "0.3", "0.5"],
                   check=True)
    return take


def check_page(app, take, server):
    import pyatspi
    tree = base.Tree(app)
    base.press(tree.find("跟读对比", pyatspi.ROLE_PUSH_BUTTON))
    record = base.wait_for("录音", lambda: tree.find("录音", pyatspi.ROLE_PUSH_BUTTON))
    # The model is read before anything is recorded, so the recording is judged at once.
    base.wait_for("the model's waveform", lambda: [
        w for w in tree.all_of(pyatspi.ROLE_IMAGE)
        if w.name == "标准发音与您的发音的波形" and "正在读取" not in w.description], 30)
    time.sleep(1.0)  # the recogniser loads when the page opens
    base.press(record)
    stop = base.wait_for("停止 to be enabled", lambda: [
        b for b in tree.all_of(pyatspi.ROLE_PUSH_BUTTON)
        if b.name == "停止" and b.getState().contains(pyatspi.STATE_ENABLED)], 10)[0]
    time.sleep(0.5)
    subprocess.run(["paplay", "--server", server, take], check=True)
    time.sleep(0.3)
    base.press(stop)

    def summary():
        for label in tree.all_of(pyatspi.ROLE_LABEL):
            if "漏读" in label.name or "全部读出" in label.name or "录音不够清楚" in label.name \
                    or "无法分析" in label.name:
                return label.name
        return None

    said = base.wait_for("the feedback's summary line", summary, 30)
    print("the page says:", said)
    # The sentence study view's line has the same name; the page's carries the description.
    description = " ".join(label.description for label in tree.all_of(pyatspi.ROLE_LABEL)
                           if label.name == "Good morning! How are you today?").strip()
    print("the sentence line reads:", description)
    failures = []
    # The word next to the gap may be marked too (the recogniser hears its start run into the
    # pause); words further on, said as the model says them, are not.
    if not said.startswith("漏读") or "morning" not in said.split("；")[0]:
        failures.append("the summary does not name \"morning\" as left out: %r" % said)
    if "morning（漏读）" not in description:
        failures.append("the sentence line does not mark \"morning\": %r" % description)
    if "you（" in description or "today（漏读" in description or "today（不清楚" in description:
        failures.append("words said as the model says them are marked: %r" % description)
    if not [w for w in tree.all_of(pyatspi.ROLE_IMAGE) if w.name.endswith("音高曲线")]:
        failures.append("no pitch contours on the page")
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


def on_null_sink(bin_dir, source_dir, prefix, make_takes, check):
    """Starts a private null sink and orvessa on the demo book, makes the takes in a work
    folder of its own and returns what check(app, takes, server) returns; cleans up after."""
    work = tempfile.mkdtemp(prefix=prefix)
    sink = os.path.join(work, "sink")
    nullsink = os.path.join(source_dir, "tests", "support", "nullsink.sh")
    processes = []
    try:
        takes = make_takes(work)
        subprocess.run([nullsink, "start", sink], check=True, stdout=subprocess.DEVNULL)
        server = "unix:" + os.path.join(sink, "native")
        app = base.start_trainer(work, bin_dir, server, processes)
        return check(app, takes, server)
    finally:
        base.stop_all(processes)
        subprocess.run([nullsink, "stop", sink], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        if os.environ.get("ORVESSA_KEEP_WORK"):
            print("kept", work)
        else:
            shutil.rmtree(work, ignore_errors=True)


def run_script(script, inner_env, inner, doc):
    """The command line of a null-sink test: BIN_DIR SOURCE_DIR, run again on a private bus."""
    if len(sys.argv) != 3:
        print(doc)
        return 2
    bin_dir, source_dir = (os.path.abspath(arg) for arg in sys.argv[1:])
    if os.environ.get(inner_env):
        return inner(bin_dir, source_dir)
    missing = missing_tools()
    if missing:
        print("skipped: %s is not installed" % missing)
        return SKIP
    return base.run_on_private_bus(script, [bin_dir, source_dir], inner_env)


def inner(bin_dir, source_dir):
    return on_null_sink(bin_dir, source_dir, "orvessa-feedback-", make_take, check_page)


if __name__ == "__main__":
    sys.exit(run_script(__file__, INNER, inner, __doc__))
