#!/usr/bin/python3
"""The learner's own material imported from the trainer's window, driven through AT-SPI.

Usage: import_e2e.py BIN_DIR [--only subtitles|text]

On a read-only copy of BIN_DIR (an installed program: imports go to the learner's folder),
run as an unprivileged user when started as root, on a private Xvfb and D-Bus session without
a sound server: "导入课程" opens the dialog, its fields are filled by their accessible names,
and
  (subtitles) the demo audio of lesson 1 with SubRip subtitles made from its lesson's times,
  (text)      the same audio with its English as plain text, one sentence a line,
each become a lesson of a new book, which the book selector then shows with the lesson
selected and loaded (its first sentence in 全文浏览). The files are in the learner's folder.
Exits 77 when pyatspi, Xvfb, setpriv or the accessibility bus are missing.
"""

import json
import os
import re
import shutil
import stat
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import atspi_e2e as a11y  # noqa: E402

INNER = "ORVESSA_IMPORT_INNER"
NOBODY = 65534
BOOK = "我的播客"
DEMO_BOOK = "英语900句"
# What a build without the recogniser's aligner says to a plain text: that case is skipped.
NO_ALIGNER = "这个版本无法从音频中找出句子，请改用字幕文件。"


def shot(name):
    """With ORVESSA_IMPORT_SHOTS set, the screen as it is now, for a person to look at."""
    folder = os.environ.get("ORVESSA_IMPORT_SHOTS")
    if folder:
        subprocess.call(["import", "-window", "root", os.path.join(folder, name + ".png")])


def srt_time(seconds):
    ms = int(round(seconds * 1000))
    return "%02d:%02d:%02d,%03d" % (ms // 3600000, ms // 60000 % 60, ms // 1000 % 60, ms % 1000)


def demo_sentences(program_dir):
    out = subprocess.check_output([os.path.join(program_dir, "orvessa-content"), "lesson",
                                   os.path.join(program_dir, "book", DEMO_BOOK, "1.dat"),
                                   "--json"])
    return json.loads(out)["sentences"]


def write_inputs(program_dir, folder):
    """The demo lesson's audio twice, its subtitles and its plain text; returns the paths."""
    os.makedirs(folder, exist_ok=True)
    sentences = demo_sentences(program_dir)
    audio = os.path.join(program_dir, "Sound", DEMO_BOOK, "1.mp3")
    paths = {"episode": os.path.join(folder, "episode.mp3"),
             "reading": os.path.join(folder, "reading.mp3"),
             "srt": os.path.join(folder, "episode.srt"),
             "txt": os.path.join(folder, "reading.txt")}
    shutil.copyfile(audio, paths["episode"])
    shutil.copyfile(audio, paths["reading"])
    with open(paths["srt"], "w", encoding="utf-8") as srt:
        for i, s in enumerate(sentences, 1):
            srt.write("%d\n%s --> %s\n%s\n%s\n\n" % (
                i, srt_time(float(s["start"])), srt_time(float(s["end"])), s["english"],
                s["chinese"]))
    with open(paths["txt"], "w", encoding="utf-8") as txt:
        txt.write("".join(s["english"] + "\n" for s in sentences))
    return paths, sentences


class Dialog:
    """The import dialog's controls, found by their accessible names."""

    def __init__(self, app):
        self.tree = a11y.Tree(app)

    def node(self, name, role):
        return a11y.wait_for("%s (%s)" % (name, role),
                             lambda: self.tree.find(name, role), 20)

    def editable(self, name):
        """The editable text called name, or the one inside the control called name."""
        def search():
            for node, _ in self.tree.walk():
                if node.name != name:
                    continue
                for candidate, _ in a11y.Tree(node).walk():
                    try:
                        candidate.queryEditableText()
                        return candidate
                    except NotImplementedError:
                        continue
            return None
        return a11y.wait_for("the field " + name, search, 20)

    def fill(self, name, text):
        field = self.editable(name)
        field.queryEditableText().setTextContents(text)
        a11y.wait_for("%s to read %r" % (name, text), lambda: self.text_of(name) == text, 10)

    def text_of(self, name):
        field = self.editable(name)
        field.clearCache()
        text = field.queryText()
        return text.getText(0, text.characterCount)

    def line_now(self):
        """What the dialog's line says now, or None when it is not there (or the dialog
        changed under the walk: the bus then names objects that are gone)."""
        import pyatspi
        try:
            for label in self.tree.all_of(pyatspi.ROLE_LABEL):
                label.clearCache()
                if label.description == "导入结果":
                    return label.name
        except Exception:  # gi's GLib.GError for an object that went away
            return None
        return None

    def outcome(self, seconds, previous=None):
        """The dialog's line once the import has ended (another line than previous: the
        press reaches the window a moment after it is sent)."""
        import pyatspi

        def search():
            name = self.line_now()
            if name is None or name.startswith("正在") or name == previous:
                return None
            try:
                for label in self.tree.all_of(pyatspi.ROLE_LABEL):
                    if label.description == "导入结果":
                        return label
            except Exception:  # the dialog changed under the walk; look again
                return None
            return None
        return a11y.wait_for("the import to end", search, seconds)


def lesson_loaded(app, book, lesson, english, failures, case):
    """The selector shows book, the list has lesson selected, and 全文浏览 shows the lesson's
    first sentence."""
    import pyatspi
    tree = a11y.Tree(app)
    if a11y.wait_for("the book selector on " + book,
                     lambda: tree.find(book, pyatspi.ROLE_COMBO_BOX), 20) is None:
        failures.append("%s: the book selector does not show %s" % (case, book))

    def selected():
        for item in tree.all_of(pyatspi.ROLE_LIST_ITEM):
            item.clearCache()
            if item.name == lesson and item.getState().contains(pyatspi.STATE_SELECTED):
                return item
        return None
    if a11y.wait_for("%s selected" % lesson, selected, 20) is None:
        failures.append("%s: %s is not selected" % (case, lesson))
    a11y.press(tree.find("全文浏览", pyatspi.ROLE_PUSH_BUTTON))
    row = a11y.wait_for("row 1 of the new lesson", lambda: [
        r for r in tree.all_of(pyatspi.ROLE_LIST_ITEM)
        if r.name.startswith("1. ") and english in r.name], 20)
    if not row:
        failures.append("%s: row 1 does not read %r" % (case, english))


def check_browse_buttons(dialog, failures):
    import pyatspi
    browse = [node for node in dialog.tree.all_of(pyatspi.ROLE_PUSH_BUTTON)
              if node.name == "浏览…"]
    descriptions = sorted(node.description for node in browse)
    for field in ("音频文件", "字幕或文本文件", "中文字幕（可选）"):
        if sum(field in d for d in descriptions) != 1:
            failures.append("no one 浏览… described for %s: %r" % (field, descriptions))


def import_case(app, dialog, audio, text, expect_name, case, seconds, failures):
    import pyatspi
    dialog.fill("音频文件", audio)
    name = a11y.wait_for("课名 prefilled", lambda: dialog.text_of("课名"), 10)
    if name != expect_name:
        failures.append("%s: 课名 prefilled %r, not %r" % (case, name, expect_name))
    dialog.fill("字幕或文本文件", text)
    dialog.fill("书名", BOOK)
    before = dialog.line_now()
    started = time.monotonic()
    a11y.press(dialog.node("导入", pyatspi.ROLE_PUSH_BUTTON))
    time.sleep(0.3)
    shot(case + "-running")
    line = dialog.outcome(seconds, before)
    shot(case + "-done")
    print("%s: %r after %.1f s" % (case, line.name, time.monotonic() - started))
    if line.name == NO_ALIGNER:
        return None
    if not line.name.startswith("已把"):
        failures.append("%s: the import failed: %r" % (case, line.name))
        return False
    return True


def inner(bin_dir, work, only):
    import pyatspi
    failures = []
    processes = []
    skipped = False
    home = os.environ["HOME"]
    program_dir = os.path.join(work, "bin")
    try:
        paths, sentences = write_inputs(program_dir, os.path.join(home, "inputs"))
        app = a11y.launch_trainer(program_dir, "unix:" + os.path.join(home, "no-server"),
                                  processes)
        program = processes[-1]
        a11y.press(a11y.Tree(app).find("导入课程", pyatspi.ROLE_PUSH_BUTTON))
        dialog = Dialog(app)
        dialog.node("导入", pyatspi.ROLE_PUSH_BUTTON)
        shot("dialog-empty")
        check_browse_buttons(dialog, failures)

        user_book = os.path.join(home, ".local", "share", "orvessa", "book", BOOK)
        done = 0
        if only in (None, "subtitles"):
            if import_case(app, dialog, paths["episode"], paths["srt"], "episode", "subtitles",
                           60, failures):
                done += 1
                lesson_loaded(app, BOOK, "episode", sentences[0]["english"], failures,
                              "subtitles")
        if only in (None, "text"):
            outcome = import_case(app, dialog, paths["reading"], paths["txt"], "reading", "text",
                                  120, failures)
            skipped = outcome is None
            if skipped:
                print("skipped: the plain text case (this build has no aligner)")
            if outcome:
                done += 1
                # A line of running text is cut at its sentence ends: row 1 is the first of them.
                first = re.split(r"(?<=[.!?])\s+", sentences[0]["english"])[0]
                lesson_loaded(app, BOOK, "reading", first, failures, "text")
                doubtful = [node for node in dialog.tree.all_of(pyatspi.ROLE_PUSH_BUTTON)
                            if node.name.startswith("第 ") and node.name.endswith(" 句")]
                print("text: doubtful %r" % [node.name for node in doubtful])
                if doubtful:
                    a11y.press(doubtful[0])
                    study = a11y.Tree(app).find("句子学习", pyatspi.ROLE_PUSH_BUTTON)

                    def studying():
                        study.clearCache()
                        return study.description == "当前学习模式"
                    a11y.wait_for("句子学习 to become current", studying, 10)
        # Not audio at all: one calm line, and the book keeps the lessons it has.
        dialog.fill("音频文件", paths["srt"])
        dialog.fill("字幕或文本文件", paths["srt"])
        dialog.fill("课名", "坏的")
        before = dialog.line_now()
        a11y.press(dialog.node("导入", pyatspi.ROLE_PUSH_BUTTON))
        line = dialog.outcome(30, before)
        shot("error")
        print("error: %r" % line.name)
        if line.name.startswith("已把") or "\n" in line.name:
            failures.append("a subtitle file taken as audio gave %r" % line.name)
        if os.path.exists(os.path.join(user_book, "%d.dat" % (done + 1))):
            failures.append("the failed import left a lesson behind")
        for number in range(1, done + 1):
            if not os.path.isfile(os.path.join(user_book, "%d.dat" % number)):
                failures.append("lesson %d is not in the learner's folder" % number)
        if os.path.exists(os.path.join(program_dir, "book", BOOK)):
            failures.append("the import wrote into the read-only program directory")
        if program.poll() is not None:
            failures.append("orvessa exited with %d" % program.returncode)
    finally:
        a11y.stop_all(processes)
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else a11y.SKIP if skipped else 0


def prepare(bin_dir):
    """A read-only copy of bin_dir and a home for the learner; returns (work, home)."""
    work = tempfile.mkdtemp(prefix="orvessa-import-")
    os.chmod(work, 0o755)
    shutil.copytree(bin_dir, os.path.join(work, "bin"))
    for script in ("atspi_e2e.py", os.path.basename(__file__)):
        shutil.copy(os.path.join(HERE, script), work)
    home = os.path.join(work, "home")
    os.mkdir(home, 0o700)
    for root, dirs, files in os.walk(os.path.join(work, "bin")):
        for name in dirs + ["."]:
            path = os.path.join(root, name)
            os.chmod(path, os.stat(path).st_mode & ~(stat.S_IWUSR | stat.S_IWGRP | stat.S_IWOTH))
    if os.geteuid() == 0:
        os.chown(home, NOBODY, NOBODY)
    return work, home


def unprepare(work):
    for root, dirs, _ in os.walk(work):
        for name in dirs:
            try:
                os.chmod(os.path.join(root, name), 0o755)
            except PermissionError:
                pass
    shutil.rmtree(work, ignore_errors=True)


def main():
    args = sys.argv[1:]
    only = None
    if "--only" in args:
        at = args.index("--only")
        only = args[at + 1]
        del args[at:at + 2]
    if len(args) != 1:
        print(__doc__)
        return 2
    bin_dir = os.path.abspath(args[0])
    if os.environ.get(INNER):
        return inner(bin_dir, os.environ["ORVESSA_IMPORT_WORK"], only)
    missing = a11y.missing_tools() or (None if shutil.which("setpriv") else "setpriv")
    if missing:
        print("skipped: %s is not installed" % missing)
        return a11y.SKIP
    work, home = prepare(bin_dir)
    try:
        env = dict(os.environ, HOME=home, XDG_RUNTIME_DIR=home, ORVESSA_IMPORT_WORK=work,
                   PYTHONDONTWRITEBYTECODE="1", **{INNER: "1"})
        for variable in ("DBUS_SESSION_BUS_ADDRESS", "AT_SPI_BUS_ADDRESS", "XDG_DATA_HOME"):
            env.pop(variable, None)
        command = ["dbus-run-session", "--", "/usr/bin/python3",
                   os.path.join(work, os.path.basename(__file__)), bin_dir]
        if only:
            command += ["--only", only]
        # As the learner, not root: root writes into a read-only program directory.
        if os.geteuid() == 0:
            command = ["setpriv", "--reuid=%d" % NOBODY, "--regid=%d" % NOBODY,
                       "--clear-groups"] + command
        return subprocess.call(command, env=env, cwd=work)
    finally:
        unprepare(work)


if __name__ == "__main__":
    sys.exit(main())
