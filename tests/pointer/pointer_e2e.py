#!/usr/bin/python3
"""The real orvessa window under a real pointer: xdotool clicks, AT-SPI reads back.

Usage: pointer_e2e.py BIN_DIR

Runs on a copy of BIN_DIR, with a stand-in companion program (sorvik) that leaves a file
when it starts, on a private Xvfb display and D-Bus session, without a sound server:

- "口语练习" clicked with the pointer starts the companion program, and the selection
  marker stays on the study mode in force (the item is no mode);
- after 听写测试 → 语音选项 (both by pointer) the page shows only its own controls: no
  dictation button, key-hint bar or shortcut line is showing, and the page's speed option
  clicked with the pointer is the main window's speed.

Exits 77 when xdotool, Xvfb, pyatspi or the accessibility bus are missing.
"""

import os
import shutil
import stat
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "a11y"))
import atspi_e2e as base  # noqa: E402

SKIP = 77
INNER = "ORVESSA_POINTER_INNER"
TWIPS_PER_PIXEL = 15

# Places of the design in twips (left, top, width, height).
ITEMS = {
    "听写测试": (5635, 390, 900, 660),
    "语音选项": (6825, 388, 900, 660),
    "口语练习": (6870, 7905, 1410, 360),
}
# What the dictation shows and the voice options page must cover.
UNDER_THE_PAGE = ["复读", "提示", "首句(F)", "首句(&F)", "重做", "成绩", "朗读", "全文朗读",
                  "下一句", "上一句"]
UNDER_THE_PAGE_TEXTS = ["F7复读，F8提示，回车检查", "快捷键：F7复读，F8提示，F9重做", "及格分数"]


def missing_tools():
    missing = base.missing_tools()
    if missing:
        return missing
    if not shutil.which("xdotool"):
        return "xdotool"
    return None


def middle(place):
    left, top, width, height = place
    return (left + width // 2) // TWIPS_PER_PIXEL, (top + height // 2) // TWIPS_PER_PIXEL


def trainer_window():
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Orvessa$"],
                           capture_output=True, text=True)
    ids = found.stdout.split()
    return ids[0] if ids else None


def click(window, place):
    x, y = middle(place)
    subprocess.run(["xdotool", "mousemove", "--window", window, str(x), str(y)], check=True)
    time.sleep(0.15)  # a move first, as a hand makes it: the window sees the pointer arrive
    subprocess.run(["xdotool", "click", "1"], check=True)
    time.sleep(0.3)


def showing_names(tree, role):
    return [node.name for node in tree.all_of(role)]


def check(app, program_dir):
    import pyatspi
    tree = base.Tree(app)
    failures = []

    def expect(condition, message):
        if not condition:
            failures.append(message)

    window = base.wait_for("the window on the X display", trainer_window, 20)
    subprocess.run(["xdotool", "windowactivate", "--sync", window], check=False,
                   stderr=subprocess.DEVNULL)

    # 听写测试 by pointer, then 口语练习 by pointer.
    click(window, ITEMS["听写测试"])
    base.wait_for("the dictation's 复读", lambda: tree.find("复读", pyatspi.ROLE_PUSH_BUTTON))
    started = os.path.join(program_dir, "sorvik-started")
    click(window, ITEMS["口语练习"])
    try:
        base.wait_for("the companion program to start", lambda: os.path.exists(started), 10)
    except AssertionError as error:
        failures.append("口语练习 under the pointer: %s" % error)
    dictation = tree.find("听写测试", pyatspi.ROLE_PUSH_BUTTON)
    expect(dictation is not None and dictation.description == "当前学习模式",
           "the marker left 听写测试 after 口语练习")
    expect(tree.find("复读", pyatspi.ROLE_PUSH_BUTTON) is not None,
           "the dictation went away after 口语练习")

    # 语音选项 by pointer: the page alone.
    click(window, ITEMS["语音选项"])
    base.wait_for("点此试听", lambda: tree.find("点此试听", pyatspi.ROLE_PUSH_BUTTON))
    buttons = showing_names(tree, pyatspi.ROLE_PUSH_BUTTON)
    labels = showing_names(tree, pyatspi.ROLE_LABEL)
    for name in UNDER_THE_PAGE:
        expect(name not in buttons, "%s shows on the voice options page" % name)
    for text in UNDER_THE_PAGE_TEXTS:
        expect(text not in labels, "%r shows on the voice options page" % text)

    # The page's 慢速 by pointer is the speed in force, on the page and in sentence study.
    slow = [node for node in tree.all_of(pyatspi.ROLE_RADIO_BUTTON) if node.name == "慢速"]
    expect(len(slow) == 1, "the page shows %d options 慢速" % len(slow))
    if slow:
        extents = slow[0].queryComponent().getExtents(pyatspi.WINDOW_COORDS)
        subprocess.run(["xdotool", "mousemove", "--window", window,
                        str(extents.x + 8), str(extents.y + extents.height // 2)], check=True)
        subprocess.run(["xdotool", "click", "1"], check=True)
        try:
            base.wait_for("慢速 to be chosen", lambda: base.checked(slow[0]), 5)
        except AssertionError as error:
            failures.append("the page's 慢速 under the pointer: %s" % error)

    if failures:
        print(tree.dump())
        for failure in failures:
            print("FAIL:", failure)
        return 1
    print("口语练习, 听写测试, 语音选项 and 慢速 answered the pointer")
    return 0


def inner(bin_dir):
    work = tempfile.mkdtemp(prefix="orvessa-pointer-")
    processes = []
    try:
        source = os.path.join(work, "source")
        shutil.copytree(bin_dir, source)
        companion = os.path.join(source, "sorvik")
        with open(companion, "w") as script:
            script.write('#!/bin/sh\ntouch "$(dirname "$0")/sorvik-started"\n')
        os.chmod(companion, os.stat(companion).st_mode | stat.S_IXUSR | stat.S_IXGRP
                 | stat.S_IXOTH)
        app = base.start_trainer(work, source, "unix:" + os.path.join(work, "no-sound-server"),
                                 processes)
        return check(app, os.path.join(work, "bin"))
    finally:
        base.stop_all(processes)
        shutil.rmtree(work, ignore_errors=True)


def main():
    args = sys.argv[1:]
    if len(args) != 1:
        print(__doc__)
        return 2
    bin_dir = os.path.abspath(args[0])
    if os.environ.get(INNER):
        return inner(bin_dir)
    missing = missing_tools()
    if missing:
        print("skipped: %s is not installed" % missing)
        return SKIP
    if not os.access(os.path.join(bin_dir, "orvessa"), os.X_OK):
        print("no orvessa in", bin_dir)
        return 1
    return base.run_on_private_bus(__file__, [bin_dir], INNER)


if __name__ == "__main__":
    sys.exit(main())
