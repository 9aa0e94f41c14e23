#!/usr/bin/env python3
"""The source tree's layout rules, checked on a configured build.

  check_layout.py SOURCE_DIR COMPILE_COMMANDS_JSON

1. One folder, one library: every source under src/ (but src/app/) is compiled into exactly
   one target, every such target takes its sources from one folder, and no folder feeds two.
2. A folder includes only the folders below it (LAYERS), and third-party headers only where
   their layer owns them (OWNERS).
3. No include circle between two files of the project (a .cpp and its .h count as one).
4. src/README.md names every folder of the tree.
Prints one line per problem; exit 1 when there is any.
"""
import json
import os
import re
import sys

# What each folder of src/ may include from the others. Keep src/README.md in step.
LAYERS = {
    'files': set(),
    'content': {'files'},
    'media': {'files'},
    'audio': {'files', 'content', 'media'},
    'speech': set(),
    'importing': {'files', 'content', 'media', 'speech'},
    'study/pure': {'content'},
    'study': {'files', 'content', 'media', 'audio', 'speech', 'study/pure'},
    'text': {'content'},
    'desktop': set(),
    'widgets': {'content', 'media', 'speech', 'study/pure', 'text', 'desktop'},
    'shell': {'files', 'content', 'media', 'audio', 'speech', 'importing', 'study/pure', 'study',
              'text', 'desktop', 'widgets'},
    'mini': {'files', 'content', 'media', 'audio', 'speech', 'importing', 'study/pure', 'study',
             'text', 'desktop', 'widgets'},
    'app': {'files', 'content', 'media', 'audio', 'speech', 'importing', 'study/pure', 'study',
            'text', 'desktop', 'widgets', 'shell', 'mini'},
}
# Third-party headers (by the start of their name) and the folders that may include them.
OWNERS = [
    (('mpv/', 'QMedia', 'QAudio', 'QSoundEffect', 'QtMultimedia'), {'audio', 'app'}),
    (('libav', 'libsw', 'ebur128'), {'media'}),
    (('pocketsphinx', 'sphinxbase/'), {'speech'}),
    (('QtWidgets', 'QWidget', 'QApplication', 'QtGui', 'QGuiApplication', 'QPainter', 'QFont',
      'QColor', 'QPixmap', 'QImage'), {'text', 'widgets', 'desktop', 'shell', 'mini', 'app'}),
]
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]', re.M)
OUTPUT = re.compile(r'\s-o\s+(\S+)')
TARGET = re.compile(r'CMakeFiles/([^/]+)\.dir/')


def folder_of(rel):  # rel: a path under src/
    parts = rel.split('/')
    if len(parts) > 2 and '/'.join(parts[:2]) in LAYERS:
        return '/'.join(parts[:2])
    return parts[0]


def check_libraries(src, commands, problems):
    targets_of = {}
    folders_of = {}
    for entry in commands:
        path = os.path.normpath(os.path.join(entry['directory'], entry['file']))
        if os.path.commonpath([path, src]) != src:
            continue
        rel = os.path.relpath(path, src)
        output = entry.get('output') or (OUTPUT.search(entry['command']) or [None, ''])[1]
        match = TARGET.search(output)
        target = match.group(1) if match else '?'
        targets_of.setdefault(rel, set()).add(target)
        folders_of.setdefault(target, set()).add(os.path.dirname(rel))
    for rel, targets in sorted(targets_of.items()):
        if len(targets) != 1:
            problems.append(f'src/{rel}: compiled into {len(targets)} targets ({", ".join(sorted(targets))})')
    feeders = {}
    for target, folders in sorted(folders_of.items()):
        if len(folders) != 1:
            problems.append(f'{target}: sources from {len(folders)} folders ({", ".join(sorted(folders))})')
        for folder in folders:
            feeders.setdefault(folder, set()).add(target)
    for folder, targets in sorted(feeders.items()):
        if folder != 'app' and len(targets) != 1:
            problems.append(f'src/{folder}/: feeds {len(targets)} libraries ({", ".join(sorted(targets))})')
    for dirpath, _, files in os.walk(src):
        for name in files:
            rel = os.path.relpath(os.path.join(dirpath, name), src)
            if name.endswith('.cpp') and rel not in targets_of:
                problems.append(f'src/{rel}: not compiled into any target')


def resolve(src, including, name):
    for base in (os.path.dirname(including), src):
        path = os.path.normpath(os.path.join(base, name))
        if os.path.isfile(path):
            return path
    return None


def check_includes(src, problems):
    edges = {}
    for dirpath, _, files in os.walk(src):
        for name in sorted(files):
            if not name.endswith(('.cpp', '.h')):
                continue
            path = os.path.join(dirpath, name)
            rel = os.path.relpath(path, src)
            folder = folder_of(rel)
            unit = os.path.splitext(rel)[0]
            with open(path, encoding='utf-8') as f:
                text = f.read()
            for quote, included in INCLUDE.findall(text):
                target = resolve(src, path, included) if quote == '"' else None
                if target:
                    trel = os.path.relpath(target, src)
                    tfolder = folder_of(trel)
                    if tfolder != folder and tfolder not in LAYERS.get(folder, set()):
                        problems.append(f'src/{rel}: {folder}/ may not include {trel}')
                    tunit = os.path.splitext(trel)[0]
                    if tunit != unit:
                        edges.setdefault(unit, set()).add(tunit)
                    continue
                for prefixes, owners in OWNERS:
                    if included.startswith(prefixes) and folder not in owners:
                        problems.append(f'src/{rel}: {folder}/ may not include <{included}>')
    for cycle in circles(edges):
        problems.append('include circle: ' + ' -> '.join(cycle + [cycle[0]]))


def circles(edges):
    """The strongly connected components of more than one unit (Tarjan), each as a list."""
    index, low, stack, on_stack, found = {}, {}, [], set(), []
    sys.setrecursionlimit(10000)

    def visit(v):
        index[v] = low[v] = len(index)
        stack.append(v)
        on_stack.add(v)
        for w in sorted(edges.get(v, ())):
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on_stack:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            component = []
            while True:
                w = stack.pop()
                on_stack.discard(w)
                component.append(w)
                if w == v:
                    break
            if len(component) > 1:
                found.append(sorted(component))

    for v in sorted(edges):
        if v not in index:
            visit(v)
    return found


def check_map(src, problems):
    with open(os.path.join(src, 'README.md'), encoding='utf-8') as f:
        text = f.read()
    for folder in LAYERS:
        if f'`{folder}/`' not in text:
            problems.append(f'src/README.md: no line for `{folder}/`')
    for dirpath, dirs, files in os.walk(src):
        rel = os.path.relpath(dirpath, src)
        if 'CMakeLists.txt' in files and rel != '.' and rel not in LAYERS:
            problems.append(f'src/{rel}/: a folder the layer rules do not know')


def main():
    if len(sys.argv) != 3:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    src = os.path.realpath(os.path.join(sys.argv[1], 'src'))
    with open(sys.argv[2], encoding='utf-8') as f:
        commands = json.load(f)
    problems = []
    check_libraries(src, commands, problems)
    check_includes(src, problems)
    check_map(src, problems)
    for line in problems:
        print(line)
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
