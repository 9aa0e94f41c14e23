#!/usr/bin/python3
"""The real orvessa window read and driven through AT-SPI, the way a screen reader does it.

Usage: atspi_e2e.py BIN_DIR [--dump]

--dump prints the tree as a screen reader finds it at start-up instead of testing.

Runs on a copy of BIN_DIR (the program directory; the copy keeps set.dat of the build
untouched) on a private Xvfb display and a private D-Bus session with its own accessibility
bus, without a sound server. Exits 77 when pyatspi, Xvfb or the accessibility bus are not
installed.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

SKIP = 77
BUS_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
INNER = "ORVESSA_ATSPI_INNER"

MENU_ITEMS = ["句子学习", "全文浏览", "回想中文", "回想英文", "跟读对比", "听写测试", "语音选项"]
COMPANION_ITEM = "口语练习"
CHECK_BOXES = ["显示英文", "显示中文"]
SPEEDS = ["慢速", "常速", "快速"]
TIMING_BUTTONS = ["开始 \u2212", "开始 +", "结束 \u2212", "结束 +", "还原"]


def missing_tools():
    try:
        import pyatspi  # noqa: F401
    except ImportError:
        return "python3-pyatspi"
    for tool in ("Xvfb", "dbus-run-session"):
        if not shutil.which(tool):
            return tool
    if not os.access(BUS_LAUNCHER, os.X_OK):
        return "at-spi2-core"
    return None


def start_xvfb():
    """Xvfb on the first free display; returns (process, ':N')."""
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
        pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as pipe:
        number = pipe.readline().strip()
    if not number:
        xvfb.kill()
        raise RuntimeError("Xvfb gave no display")
    return xvfb, ":" + number


def wait_for(what, probe, seconds=20.0):
    deadline = time.monotonic() + seconds
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(0.1)


class Tree:
    """The application's accessibility tree, read afresh at every question (no stale cache)."""

    def __init__(self, app):
        self.app = app

    def walk(self, node=None, depth=0):
        import pyatspi
        node = node or self.app
        node.clearCache()
        # Hidden pages are in the tree too; a screen reader passes them by.
        if node is not self.app and not node.getState().contains(pyatspi.STATE_SHOWING):
            return
        yield node, depth
        for i in range(node.childCount):
            child = node.getChildAtIndex(i)
            if child is not None:
                yield from self.walk(child, depth + 1)

    def find(self, name, role):
        for node, _ in self.walk():
            if node.getRole() == role and node.name == name:
                return node
        return None

    def all_of(self, role):
        return [node for node, _ in self.walk() if node.getRole() == role]

    def dump(self):
        return "\n".join("%s%s %r" % ("  " * depth, node.getRoleName(), node.name)
                         for node, depth in self.walk())


def showing(node):
    import pyatspi
    node.clearCache()
    return node.getState().contains(pyatspi.STATE_SHOWING)


def checked(node):
    import pyatspi
    node.clearCache()
    return node.getState().contains(pyatspi.STATE_CHECKED)


def enabled(node):
    import pyatspi
    node.clearCache()
    return node.getState().contains(pyatspi.STATE_ENABLED)


def times_shown(tree):
    """The timing control's "00:00.300 – 00:02.450", or None."""
    import pyatspi
    for node in tree.all_of(pyatspi.ROLE_LABEL):
        if re.fullmatch(r"\d\d:\d\d\.\d{3} – \d\d:\d\d\.\d{3}", node.name or ""):
            return node.name
    return None


def press(node):
    action = node.queryAction()
    assert action.nActions >= 1, "%s has no action" % node.name
    action.doAction(0)


def check_window(app):
    import pyatspi
    tree = Tree(app)
    failures = []

    def expect(condition, message):
        if not condition:
            failures.append(message)

    for name in MENU_ITEMS + [COMPANION_ITEM, "朗读", "迷你模式", "更多软件", "关闭", "最小化"]:
        node = tree.find(name, pyatspi.ROLE_PUSH_BUTTON)
        expect(node is not None, "no push button %s" % name)
        if node is not None:
            expect(node.queryAction().nActions >= 1, "%s has no action" % name)
    for name in CHECK_BOXES:
        expect(tree.find(name, pyatspi.ROLE_CHECK_BOX) is not None, "no check box %s" % name)
    for name in SPEEDS:
        expect(tree.find(name, pyatspi.ROLE_RADIO_BUTTON) is not None, "no radio button %s" % name)
    normal = tree.find("常速", pyatspi.ROLE_RADIO_BUTTON)
    expect(normal is not None and checked(normal), "常速 is not the chosen speed")

    # A check box toggles through its action and says so.
    english = tree.find("显示英文", pyatspi.ROLE_CHECK_BOX)
    if english is not None:
        before = checked(english)
        press(english)
        wait_for("显示英文 to toggle", lambda: checked(english) != before)
        press(english)
        wait_for("显示英文 to toggle back", lambda: checked(english) == before)

    # The shown sentence's timing control, by name: a step moves the times it shows, 还原
    # brings them back and is then disabled again.
    for name in TIMING_BUTTONS:
        expect(tree.find(name, pyatspi.ROLE_PUSH_BUTTON) is not None, "no push button %s" % name)
    later = tree.find("开始 +", pyatspi.ROLE_PUSH_BUTTON)
    undo = tree.find("还原", pyatspi.ROLE_PUSH_BUTTON)
    if later is not None and undo is not None:
        shown = times_shown(tree)
        expect(shown is not None, "no times shown for the sentence")
        expect(not enabled(undo), "还原 enabled before any change")
        press(later)
        wait_for("the times to move", lambda: times_shown(tree) not in (None, shown))
        wait_for("还原 to be enabled", lambda: enabled(undo))
        press(undo)
        wait_for("the times to come back", lambda: times_shown(tree) == shown)
        wait_for("还原 to be disabled", lambda: not enabled(undo))

    # Sentence study shows no lesson panel; 全文浏览 shows it with its rows and its buttons.
    expect(tree.find("全文朗读", pyatspi.ROLE_PUSH_BUTTON) is None, "全文朗读 shown too early")
    press(tree.find("全文浏览", pyatspi.ROLE_PUSH_BUTTON))
    reading = wait_for("全文朗读 to show",
                       lambda: tree.find("全文朗读", pyatspi.ROLE_PUSH_BUTTON))
    expect(showing(reading), "全文朗读 not showing")
    canvas = wait_for("the sentence list", lambda: tree.find("课文句子", pyatspi.ROLE_LIST))
    rows = [row for row in tree.all_of(pyatspi.ROLE_LIST_ITEM) if row.name.startswith("1. ")]
    expect(len(rows) == 1, "row 1 not found once: %r" % [r.name for r in rows])
    if rows:
        text = rows[0].name
        expect(any("a" <= c.lower() <= "z" for c in text), "row 1 has no English: %r" % text)
        expect(any("\u4e00" <= c <= "\u9fff" for c in text), "row 1 has no Chinese: %r" % text)
    expect(canvas.childCount >= 2, "the list has no rows")
    # No play icon shows in full-text browsing, so none is in the list: a push button there
    # would be a control the learner cannot see and that does nothing.
    canvas.clearCache()
    kinds = [canvas.getChildAtIndex(i).getRoleName() for i in range(canvas.childCount)]
    expect(set(kinds) == {"list item"}, "full-text browsing lists hidden controls: %r" %
           sorted(set(kinds)))

    # Recall English hides the English lines, and the rows say so.
    press(tree.find("回想英文", pyatspi.ROLE_PUSH_BUTTON))
    hidden = wait_for("row 1 to say its English is hidden", lambda: [
        row for row in tree.all_of(pyatspi.ROLE_LIST_ITEM)
        if row.name.startswith("1. ") and "英文已隐藏" in row.name])
    expect(len(hidden) == 1, "recall English: row 1 not read as hidden")
    icon = tree.find("播放第 1 句", pyatspi.ROLE_PUSH_BUTTON)
    expect(icon is not None and showing(icon) and icon.queryAction().nActions >= 1,
           "no play icon with an action for row 1")
    canvas.clearCache()
    expect(canvas.childCount == 2 * len(kinds), "recall English: not one icon and one row each")

    # The follow-read page: its buttons by caption, its waveforms described, and 录音 without
    # a sound server telling why on the page.
    press(tree.find("跟读对比", pyatspi.ROLE_PUSH_BUTTON))
    record = wait_for("录音 to show", lambda: tree.find("录音", pyatspi.ROLE_PUSH_BUTTON))
    for name in ["标准发音", "停止", "您的发音", "循环对比", "上一句", "下一句", "首句"]:
        expect(tree.find(name, pyatspi.ROLE_PUSH_BUTTON) is not None, "no push button %s" % name)
    waves = tree.find("标准发音与您的发音的波形", pyatspi.ROLE_IMAGE)
    expect(waves is not None and "标准发音" in waves.description,
           "the waveforms are not described")
    press(record)
    wait_for("the page to say it cannot record", lambda: [
        label for label in tree.all_of(pyatspi.ROLE_LABEL)
        if label.name.endswith("无法录音。") and showing(label)])

    if failures:
        print(tree.dump())
        for failure in failures:
            print("FAIL:", failure)
        return 1
    print("read the %d sentence rows by name" % len(kinds))
    return 0


def application(name, ready):
    """The application called name on the bus once ready(its tree) holds, else None."""
    import pyatspi
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name == name and ready(Tree(app)):
            return app
    return None


def check_strip(trainer):
    """迷你模式 starts the strip beside the trainer, showing a sentence in both languages."""
    import pyatspi
    press(Tree(trainer).find("迷你模式", pyatspi.ROLE_PUSH_BUTTON))

    def lines(tree):
        return [label.name for label in tree.all_of(pyatspi.ROLE_LABEL)]

    def sentence_shown(tree):
        texts = lines(tree)
        return (any(any("a" <= c.lower() <= "z" for c in t) and t != "Orvessa" for t in texts)
                and any(any("\u4e00" <= c <= "\u9fff" for c in t) for t in texts))

    strip = wait_for("the strip with a sentence on the accessibility bus",
                     lambda: application("orvessa-mini", sentence_shown), 60)
    try:
        print("the strip shows %r" % lines(Tree(strip)))
        trainer.clearCache()
        if trainer.childCount < 1:
            print("FAIL: the trainer went away when the strip started")
            return 1
        return 0
    finally:
        os.kill(strip.get_process_id(), 15)


def start_trainer(work, bin_dir, pulse_server, processes):
    """orvessa on a copy of bin_dir in work, which is also its home (see launch_trainer)."""
    program_dir = os.path.join(work, "bin")
    shutil.copytree(bin_dir, program_dir)
    return launch_trainer(program_dir, pulse_server, processes, HOME=work)


def launch_trainer(program_dir, pulse_server, processes, **environment):
    """orvessa from program_dir on a private Xvfb with the accessibility bus, with these
    variables added to the environment; returns its application once the window is there.
    What it starts goes into processes, for stop_all(), even when it fails on the way."""
    import pyatspi
    xvfb, display = start_xvfb()
    processes.append(xvfb)
    processes.append(subprocess.Popen([BUS_LAUNCHER, "--launch-immediately"],
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
    env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb",
               QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", PULSE_SERVER=pulse_server, **environment)
    os.environ["DISPLAY"] = display
    program = subprocess.Popen([os.path.join(program_dir, "orvessa")], env=env,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    processes.append(program)

    def the_app():
        if program.poll() is not None:
            raise AssertionError("orvessa exited with %d" % program.returncode)
        # The window is there once the function menu is.
        return application("orvessa",
                           lambda tree: tree.find("句子学习", pyatspi.ROLE_PUSH_BUTTON))

    return wait_for("orvessa on the accessibility bus", the_app, 60)


def stop_all(processes):
    for process in reversed(processes):
        if process.poll() is None:
            process.terminate()
            try:
                process.wait(10)
            except subprocess.TimeoutExpired:
                process.kill()


def run_on_private_bus(script, args, inner_flag):
    """script args again, inside a private session bus that the accessibility bus and the
    program live and die with, and a runtime folder of its own: the accessibility bus puts
    its socket there, and two tests sharing one took each other's bus."""
    runtime = tempfile.mkdtemp(prefix="orvessa-runtime-")
    env = dict(os.environ, XDG_RUNTIME_DIR=runtime, **{inner_flag: "1"})
    env.pop("DBUS_SESSION_BUS_ADDRESS", None)
    env.pop("AT_SPI_BUS_ADDRESS", None)
    try:
        return subprocess.call(["dbus-run-session", "--", sys.executable,
                                os.path.abspath(script)] + args, env=env)
    finally:
        shutil.rmtree(runtime, ignore_errors=True)


def inner(bin_dir, dump):
    work = tempfile.mkdtemp(prefix="orvessa-atspi-")
    processes = []
    try:
        app = start_trainer(work, bin_dir, "unix:" + os.path.join(work, "no-sound-server"),
                            processes)
        if dump:
            print(Tree(app).dump())
            return 0
        return check_window(app) or check_strip(app)
    finally:
        stop_all(processes)
        shutil.rmtree(work, ignore_errors=True)


def main():
    args = sys.argv[1:]
    dump = "--dump" in args
    args = [arg for arg in args if arg != "--dump"]
    if len(args) != 1:
        print(__doc__)
        return 2
    bin_dir = os.path.abspath(args[0])
    if os.environ.get(INNER):
        return inner(bin_dir, dump)
    missing = missing_tools()
    if missing:
        print("skipped: %s is not installed" % missing)
        return SKIP
    if not os.access(os.path.join(bin_dir, "orvessa"), os.X_OK):
        print("no orvessa in", bin_dir)
        return 1
    return run_on_private_bus(__file__, [bin_dir] + (["--dump"] if dump else []), INNER)


if __name__ == "__main__":
    sys.exit(main())
