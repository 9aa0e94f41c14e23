#!/usr/bin/python3
"""The follow-read page's verdicts on takes played into the microphone, again and again.

Usage: feedback_repeat_e2e.py BIN_DIR SOURCE_DIR

orvessa runs on a copy of BIN_DIR against a private PulseAudio null sink whose monitor is the
default source, so the recorder hears digital silence until a take is played into the sink.
On the demo's first sentence, takes made with espeak-ng are played in turn, each after 录音 and
a lead-in of digital silence that differs a little from play to play, then 停止:

    the intact take, three times   every verdict clean: "全部读出，没有漏读。", no word marked
    a take that leaves out a word  that word, and only that word, marked 漏读

Every play's summary and marks are printed, whatever the outcome. With ORVESSA_SHOTS=DIR set,
a picture of the screen is saved there after each verdict (needs ImageMagick's import).
Exits 77 when a tool it needs is missing.
"""

import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import atspi_e2e as base  # noqa: E402
import feedback_e2e as feedback  # noqa: E402

INNER = "ORVESSA_FEEDBACK_REPEAT_INNER"
SENTENCE = "Good morning! How are you today?"
CLEAN = "全部读出，没有漏读。"
VERDICTS = ("漏读", "全部读出", "不清楚", "无法分析", "这句话没有")

# (name, what the take says, lead-in of silence in seconds, the word expected 漏读 or None)
PLAYS = [
    ("intact, first play", SENTENCE, 0.40, None),
    ("intact, second play", SENTENCE, 0.45, None),
    ("intact, third play", SENTENCE, 0.50, None),
    ("\"today\" left out", "Good morning! How are you?", 0.45, "today"),
]


def make_take(work, name, text):
    """A take a little slower than the model, 16 kHz mono, with exact zeros around it."""
    raw = os.path.join(work, name + "-raw.wav")
    take = os.path.join(work, name + ".wav")
    subprocess.run(["espeak-ng", "-v", "en-us", "-s", "140", "-w", raw, text], check=True)
    subprocess.run(["sox", raw, "-r", "16000", "-c", "1", take, "pad", "0.3", "0.5"],
                   check=True)
    return take


def verdict(tree):
    import pyatspi
    for label in tree.all_of(pyatspi.ROLE_LABEL):
        if any(word in label.name for word in VERDICTS):
            return label.name
    return None


def marks(tree):
    """The sentence line's description: each word with what was found about it."""
    import pyatspi
    return " ".join(label.description for label in tree.all_of(pyatspi.ROLE_LABEL)
                    if label.name == SENTENCE).strip()


def shoot(name):
    shots = os.environ.get("ORVESSA_SHOTS")
    if shots and shutil.which("import"):
        os.makedirs(shots, exist_ok=True)
        subprocess.run(["import", "-window", "root", os.path.join(shots, name + ".png")],
                       check=False)


def play(tree, take, lead_in, server):
    """录音, lead_in seconds of the null sink's silence, the take, 停止; the verdict and marks."""
    import pyatspi
    record = base.wait_for("录音", lambda: [
        b for b in tree.all_of(pyatspi.ROLE_PUSH_BUTTON)
        if b.name == "录音" and b.getState().contains(pyatspi.STATE_ENABLED)], 10)[0]
    base.press(record)
    stop = base.wait_for("停止 to be enabled", lambda: [
        b for b in tree.all_of(pyatspi.ROLE_PUSH_BUTTON)
        if b.name == "停止" and b.getState().contains(pyatspi.STATE_ENABLED)], 10)[0]
    # A new recording drops the last verdict.
    base.wait_for("the last verdict to go", lambda: verdict(tree) is None, 10)
    time.sleep(lead_in)
    subprocess.run(["paplay", "--server", server, take], check=True)
    time.sleep(0.3)
    base.press(stop)
    try:
        said = base.wait_for("the feedback's summary line", lambda: verdict(tree), 30)
    except AssertionError:
        print("the page's lines:", [label.name for label in tree.all_of(pyatspi.ROLE_LABEL)
                                    if label.name])
        raise
    time.sleep(0.3)  # the sentence line takes its marks with the same feedback
    return said, marks(tree)


def check_page(app, takes, server):
    import pyatspi
    tree = base.Tree(app)
    base.press(tree.find("跟读对比", pyatspi.ROLE_PUSH_BUTTON))
    base.wait_for("the model's waveform", lambda: [
        w for w in tree.all_of(pyatspi.ROLE_IMAGE)
        if w.name == "标准发音与您的发音的波形" and "正在读取" not in w.description], 30)
    time.sleep(1.0)  # the recogniser loads when the page opens
    failures = []
    for (name, _, lead_in, left_out), take in zip(PLAYS, takes):
        said, described = play(tree, take, lead_in, server)
        print("%s: the page says %r; the sentence line reads %r" % (name, said, described))
        shoot(name.replace(" ", "-").replace(",", "").replace('"', ""))
        if left_out is None:
            if said != CLEAN or "（漏读" in described or "不清楚" in described:
                failures.append("%s: not a clean verdict: %r / %r" % (name, said, described))
        else:
            expected = "漏读 1 个词：" + left_out
            if not said.startswith(expected) or "不清楚" in said:
                failures.append("%s: the summary is not %r: %r" % (name, expected, said))
            if left_out + "（漏读）" not in described or described.count("（漏读") != 1:
                failures.append("%s: the sentence line does not mark only %r: %r"
                                % (name, left_out, described))
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


def inner(bin_dir, source_dir):
    def make_takes(work):
        return [make_take(work, "take%d" % i, text) for i, (_, text, _, _) in enumerate(PLAYS)]
    return feedback.on_null_sink(bin_dir, source_dir, "orvessa-feedback-repeat-", make_takes,
                                 check_page)


if __name__ == "__main__":
    sys.exit(feedback.run_script(__file__, INNER, inner, __doc__))
