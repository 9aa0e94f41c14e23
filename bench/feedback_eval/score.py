#!/usr/bin/env python3
"""Scores `orvessa-content feedback --batch --json` output against the corpus's truth.

    score.py OUT [--results FILE] [--half tuning|test|both] [--json] [--dump KIND]

OUT is the directory generate.py made (truth.jsonl; results.jsonl by default). Rates
count judged takes only (the share judged is its own figure) and leave out words the
recogniser did not check ("not-checked").
"""

import argparse
import json
import math
import os
import sys
from collections import OrderedDict
from pathlib import Path

sys.dont_write_bytecode = True

LEFT, UNCLEAR, OK, NOT_CHECKED = "left-out", "unclear", "ok", "not-checked"
MARKS = (LEFT, UNCLEAR)
KINDS = ["intact", "left1", "left2", "replaced", "cut"]

# What the test half is to reach: (metric, "min"|"max", bound).
GOALS = [
    ("judged", "min", 0.98),
    ("falseLeftOut", "max", 0.01),
    ("falseUnclear", "max", 0.03),
    ("cleanIntact", "min", 0.90),
    ("leftOutMarked", "min", 0.90),
    ("otherMarked", "max", 0.03),
    ("invariance", "min", 1.0),
]

LABELS = OrderedDict([
    ("judged", "takes judged"),
    ("falseLeftOut", "false 漏读 per intact word (intact takes)"),
    ("falseUnclear", "false 不清楚 per intact word (intact takes)"),
    ("falseLeftOutAll", "false 漏读 per untouched word (all takes)"),
    ("falseUnclearAll", "false 不清楚 per untouched word (all takes)"),
    ("cleanIntact", "intact takes with no mark"),
    ("leftOutMarked", "left-out words marked 漏读"),
    ("replacedMarked", "replaced words marked (either mark)"),
    ("cutMarked", "cut words marked 漏读"),
    ("otherMarked", "other words marked in non-intact takes"),
    ("invariance", "invariance groups with one verdict"),
])


def norm_path(p):
    return os.path.realpath(p)


def load(out, results=None):
    """[(truth, result or None)] in corpus order."""
    out = Path(out)
    truth = [json.loads(line) for line in (out / "truth.jsonl").read_text(encoding="utf-8")
             .splitlines() if line.strip()]
    found = {}
    path = Path(results) if results else out / "results.jsonl"
    if path.exists():
        for line in path.read_text(encoding="utf-8").splitlines():
            line = line.strip()
            if not line.startswith("{"):
                continue
            r = json.loads(line)
            found[norm_path(r["recording"])] = r
    return [(t, found.get(norm_path(t["recording"]))) for t in truth]


# ---------------------------------------------------------------------------
# Arithmetic


def touched(truth):
    return set(truth["leftOut"]) | set(truth["replaced"]) | set(truth["cut"])


def marks_of(result):
    """[mark per word] of a judged result, or None when it was not judged."""
    if not result or not result.get("judged"):
        return None
    return [w.get("mark", OK) for w in result.get("words", [])]


def new_counts():
    return {k: 0 for k in (
        "takes", "judged", "missing", "reRecord", "wordMismatch",
        "intactTakes", "cleanIntact", "intactWords", "intactLeft", "intactUnclear",
        "untouchedWords", "untouchedLeft", "untouchedUnclear",
        "leftOutWords", "leftOutLeft", "replacedWords", "replacedMarked",
        "cutWords", "cutLeft", "otherWords", "otherMarked")} | {"ms": [], "msPerSecond": []}


def add(counts, truth, result):
    counts["takes"] += 1
    if result is None:
        counts["missing"] += 1
        return
    if result.get("reRecord"):
        counts["reRecord"] += 1
    if "analysisMs" in result:
        counts["ms"].append(float(result["analysisMs"]))
        if truth.get("seconds"):
            counts["msPerSecond"].append(float(result["analysisMs"]) / truth["seconds"])
    marks = marks_of(result)
    if marks is None:
        return
    counts["judged"] += 1
    if len(marks) != truth["words"]:
        counts["wordMismatch"] += 1
        return
    changed = touched(truth)
    intact = truth["kind"] == "intact"
    if intact:
        counts["intactTakes"] += 1
        if not any(m in MARKS for m in marks):
            counts["cleanIntact"] += 1
    for i, mark in enumerate(marks):
        if mark == NOT_CHECKED:
            continue
        if i in truth["leftOut"]:
            counts["leftOutWords"] += 1
            counts["leftOutLeft"] += mark == LEFT
        elif i in truth["replaced"]:
            counts["replacedWords"] += 1
            counts["replacedMarked"] += mark in MARKS
        elif i in truth["cut"]:
            counts["cutWords"] += 1
            counts["cutLeft"] += mark == LEFT
        if i in changed:
            continue
        counts["untouchedWords"] += 1
        counts["untouchedLeft"] += mark == LEFT
        counts["untouchedUnclear"] += mark == UNCLEAR
        if intact:
            counts["intactWords"] += 1
            counts["intactLeft"] += mark == LEFT
            counts["intactUnclear"] += mark == UNCLEAR
        else:
            counts["otherWords"] += 1
            counts["otherMarked"] += mark in MARKS


def percentile(values, p):
    if not values:
        return None
    ordered = sorted(values)
    k = max(0, math.ceil(p / 100 * len(ordered)) - 1)
    return ordered[k]


def ratio(num, den):
    return {"n": num, "of": den, "rate": (num / den) if den else None}


def rates(counts):
    ms = counts["ms"]
    return OrderedDict([
        ("takes", counts["takes"]),
        ("missing", counts["missing"]),
        ("reRecord", counts["reRecord"]),
        ("wordMismatch", counts["wordMismatch"]),
        ("judged", ratio(counts["judged"], counts["takes"])),
        ("falseLeftOut", ratio(counts["intactLeft"], counts["intactWords"])),
        ("falseUnclear", ratio(counts["intactUnclear"], counts["intactWords"])),
        ("falseLeftOutAll", ratio(counts["untouchedLeft"], counts["untouchedWords"])),
        ("falseUnclearAll", ratio(counts["untouchedUnclear"], counts["untouchedWords"])),
        ("cleanIntact", ratio(counts["cleanIntact"], counts["intactTakes"])),
        ("leftOutMarked", ratio(counts["leftOutLeft"], counts["leftOutWords"])),
        ("replacedMarked", ratio(counts["replacedMarked"], counts["replacedWords"])),
        ("cutMarked", ratio(counts["cutLeft"], counts["cutWords"])),
        ("otherMarked", ratio(counts["otherMarked"], counts["otherWords"])),
        ("msMean", sum(ms) / len(ms) if ms else None),
        ("msP95", percentile(ms, 95)),
        ("msPerSecondMean", (sum(counts["msPerSecond"]) / len(counts["msPerSecond"]))
         if counts["msPerSecond"] else None),
        ("msPerSecondP95", percentile(counts["msPerSecond"], 95)),
    ])


def verdict(result):
    """What a learner would see of a take: judged or not, and each word's mark."""
    if result is None:
        return ("missing",)
    return (bool(result.get("judged")),) + tuple(marks_of(result) or ())


def invariance(pairs):
    """{"groups": n, "same": n, "rate": share, "differing": [group ids]}"""
    groups = OrderedDict()
    for truth, result in pairs:
        if truth.get("group"):
            groups.setdefault(truth["group"], []).append(verdict(result))
    differing = [g for g, vs in groups.items() if len(set(vs)) > 1]
    same = len(groups) - len(differing)
    return {"n": same, "of": len(groups), "rate": same / len(groups) if groups else None,
            "differing": differing}


# ---------------------------------------------------------------------------
# Breakdowns


def band_of(truth):
    """The condition labels one take falls under."""
    c = truth["conditions"]
    noise = c.get("noise")
    if not noise:
        snr = "noise: none"
    else:
        low = 15 if noise["snr"] < 20 else 20 if noise["snr"] < 25 else 25 if noise["snr"] < 30 else 30
        high = {15: 20, 20: 25, 25: 30, 30: 40}[low]
        snr = f"noise: {noise['color']} {low}-{high} dB"
    lead = c["lead"]["seconds"]
    lead_band = "lead: <0.1 s" if lead < 0.1 else "lead: 0.1-0.5 s" if lead < 0.5 else "lead: 0.5-1 s"
    share = c["lead"]["zeroShare"]
    lead_kind = "lead: zero" if share == 1 else "lead: floor" if share == 0 else "lead: zero+floor"
    path = "path: null sink" if c.get("sink") else "path: file"
    return [snr, f"rate: {c['rate']}", lead_band, lead_kind, path,
            f"mp3: {c['mp3']}k" if c.get("mp3") else "mp3: none", f"source: {truth['source']}"]


def summarise(pairs):
    """Everything score.py reports for a set of takes."""
    main = [(t, r) for t, r in pairs if not t.get("group")]
    total, kinds, voices, conds = new_counts(), {}, {}, {}
    for truth, result in main:
        add(total, truth, result)
        add(kinds.setdefault(truth["kind"], new_counts()), truth, result)
        add(voices.setdefault(truth["voice"], new_counts()), truth, result)
        for band in band_of(truth):
            add(conds.setdefault(band, new_counts()), truth, result)
    variants = {}
    for truth, result in pairs:
        if truth.get("group"):
            add(variants.setdefault(truth["variant"], new_counts()), truth, result)
    out = OrderedDict()
    out["total"] = rates(total)
    out["total"]["invariance"] = invariance(pairs)
    out["kinds"] = OrderedDict((k, rates(kinds[k])) for k in KINDS if k in kinds)
    out["voices"] = OrderedDict((v, rates(voices[v])) for v in sorted(voices))
    out["conditions"] = OrderedDict((c, rates(conds[c])) for c in sorted(conds))
    out["invarianceVariants"] = OrderedDict((v, rates(variants[v])) for v in sorted(variants))
    return out


def goals(total):
    """[(metric, bound text, value, met)] for the figures of one half."""
    out = []
    for metric, sense, bound in GOALS:
        value = total[metric]["rate"]
        met = value is not None and (value >= bound if sense == "min" else value <= bound)
        out.append((metric, ("≥ " if sense == "min" else "≤ ") + f"{bound:.0%}", value, met))
    return out


# ---------------------------------------------------------------------------
# What went wrong


def wrong(truth, result):
    """Why a take's verdict is wrong, or None when it is right."""
    marks = marks_of(result)
    if result is None:
        return "no result"
    if marks is None:
        return "not judged: " + (result.get("summary") or "")
    if len(marks) != truth["words"]:
        return f"{len(marks)} words in the result, {truth['words']} in the sentence"
    changed = touched(truth)
    why = []
    for i, mark in enumerate(marks):
        if i in truth["leftOut"] and mark != LEFT:
            why.append(f"left out #{i} got {mark}")
        elif i in truth["replaced"] and mark not in MARKS:
            why.append(f"replaced #{i} got {mark}")
        elif i in truth["cut"] and mark != LEFT:
            why.append(f"cut #{i} got {mark}")
        elif i not in changed and mark in MARKS:
            why.append(f"#{i} wrongly {mark}")
    return "; ".join(why) or None


def expected_text(truth):
    parts = []
    for what in ("leftOut", "replaced", "cut"):
        if truth[what]:
            parts.append(f"{what} {truth[what]}")
    return ", ".join(parts) or "no marks"


def dump(pairs, kind, stream):
    for truth, result in pairs:
        if kind not in ("any", truth["kind"]) and kind != truth.get("voice"):
            continue
        why = wrong(truth, result)
        if not why:
            continue
        got = "" if result is None else " ".join(
            f"{i}:{w.get('text')}={w.get('mark')}" for i, w in enumerate(result.get("words", []))
            if w.get("mark") != OK)
        print(f"{truth['id']}\t{truth['recording']}\n  sentence: {truth['sentence']}\n"
              f"  spoken:   {truth['spoken']}\n  expected: {expected_text(truth)}\n"
              f"  got:      {got or 'no marks'}\n  wrong:    {why}", file=stream)


# ---------------------------------------------------------------------------
# Text report


def fmt(r):
    if isinstance(r, dict):
        if r["rate"] is None:
            return "   -   "
        return f"{100 * r['rate']:5.1f}%"
    return "-" if r is None else f"{r:.0f}"


def fmt_long(r):
    if r["rate"] is None:
        return "-"
    return f"{100 * r['rate']:.1f}% ({r['n']}/{r['of']})"


TABLE = [("judged", "judged"), ("falseLeftOutAll", "f.漏读"), ("falseUnclearAll", "f.不清楚"),
         ("cleanIntact", "clean"), ("leftOutMarked", "left"), ("replacedMarked", "repl"),
         ("cutMarked", "cut"), ("otherMarked", "other")]


def table(title, rows, stream):
    print(f"\n  {title}  (f. = false marks per untouched word of every kind)", file=stream)
    head = f"    {'':28s}{'takes':>6s}" + "".join(f"{h:>9s}" for _, h in TABLE) + \
        f"{'ms/s':>7s}"
    print(head, file=stream)
    for name, r in rows.items():
        cells = "".join(f"{fmt(r[k]):>9s}" for k, _ in TABLE)
        per = r["msPerSecondMean"]
        print(f"    {name[:28]:28s}{r['takes']:6d}{cells}{('-' if per is None else f'{per:.0f}'):>7s}",
              file=stream)


def report(name, s, stream, detail=True):
    total = s["total"]
    print(f"== {name}: {total['takes']} takes"
          + (f", {total['missing']} without a result" if total["missing"] else "")
          + (f", {total['wordMismatch']} with another word count" if total["wordMismatch"] else ""),
          file=stream)
    for key, label in LABELS.items():
        print(f"  {label:48s} {fmt_long(total[key])}", file=stream)
    if total["msMean"] is not None:
        print(f"  {'time per take (analysisMs)':48s} mean {total['msMean']:.0f} ms, "
              f"95th percentile {total['msP95']:.0f} ms", file=stream)
        print(f"  {'time per second of audio':48s} mean {total['msPerSecondMean']:.0f} ms, "
              f"95th percentile {total['msPerSecondP95']:.0f} ms", file=stream)
    print("  goals: " + "; ".join(
        f"{m} {'-' if v is None else f'{100 * v:.1f}%'} (goal {b}) {'met' if ok else 'NOT met'}"
        for m, b, v, ok in goals(total)), file=stream)
    if total["invariance"]["differing"]:
        print(f"  verdict changed in groups: {' '.join(total['invariance']['differing'])}",
              file=stream)
    table("per kind", s["kinds"], stream)
    if detail:
        table("per learner voice", s["voices"], stream)
        table("per condition", s["conditions"], stream)
        table("invariance variants", s["invarianceVariants"], stream)
    print(file=stream)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("out", type=Path, help="the corpus directory")
    parser.add_argument("--results", type=Path, help="default OUT/results.jsonl")
    parser.add_argument("--half", choices=["tuning", "test", "both"], default="both")
    parser.add_argument("--json", action="store_true", help="a JSON summary instead of text")
    parser.add_argument("--dump", metavar="KIND",
                        help="list the wrong takes of KIND (intact, left1, left2, replaced, "
                             "cut, any, or a voice such as espeak:en-us)")
    parser.add_argument("--brief", action="store_true", help="leave out the breakdowns")
    args = parser.parse_args(argv)
    pairs = load(args.out, args.results)
    halves = ["tuning", "test"] if args.half == "both" else [args.half]
    selected = [(t, r) for t, r in pairs if t["half"] in halves]
    if args.dump:
        dump(selected, args.dump, sys.stdout)
        return 0
    summaries = OrderedDict((h, summarise([(t, r) for t, r in pairs if t["half"] == h]))
                            for h in halves)
    if args.half == "both":
        summaries["both"] = summarise(selected)
    if args.json:
        out = OrderedDict()
        for h, s in summaries.items():
            out[h] = s
            out[h]["goals"] = {m: {"bound": b, "value": v, "met": ok}
                               for m, b, v, ok in goals(s["total"])}
        json.dump(out, sys.stdout, ensure_ascii=False, indent=1)
        print()
        return 0
    for h, s in summaries.items():
        report(h, s, sys.stdout, detail=not args.brief)
    return 0


if __name__ == "__main__":
    sys.exit(main())
