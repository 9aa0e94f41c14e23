#!/usr/bin/env bash
# Rebuilds the feedback evaluation corpus from scratch, runs every take through
# `orvessa-content feedback --batch --json` and scores the verdicts.
#   bench/feedback_eval/run.sh [--quick] [--jobs N] [--sink N] [--model-voice ENGINE:NAME] BUILD_DIR OUT_DIR
# OUT_DIR is emptied. The report goes to the terminal and OUT_DIR/report.txt, the JSON
# summary to OUT_DIR/summary.json; `score.py OUT_DIR --dump KIND` lists what went wrong.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
gen_args=()
# Takes played through a private null sink in real time: the full run only, unless asked.
sink=40
while [ $# -gt 2 ]; do
    case "$1" in
    --quick) gen_args+=(--quick); sink=0; shift ;;
    --sink) sink=$2; shift 2 ;;
    --jobs|--model-voice) gen_args+=("$1" "$2"); shift 2 ;;
    *) echo "run.sh: unknown option $1" >&2; exit 2 ;;
    esac
done
if [ $# -ne 2 ]; then
    echo "usage: run.sh [--quick] [--jobs N] [--sink N] [--model-voice ENGINE:NAME] BUILD_DIR OUT_DIR" >&2
    exit 2
fi
build=$1 out=$2
tool="$build/bin/orvessa-content"
[ -x "$tool" ] || { echo "run.sh: $tool not found: build the target orvessa-content" >&2; exit 1; }
export PYTHONDONTWRITEBYTECODE=1

nice python3 "$here/generate.py" "${gen_args[@]}" --sink "$sink" "$out"
echo "running $(wc -l < "$out/batch.tsv") takes through orvessa-content feedback"
start=$(date +%s)
# A take that cannot be judged is a result, not a failure of the run: the exit status
# is only trusted when no result came out at all.
status=0
QT_QPA_PLATFORM=offscreen nice "$tool" feedback --batch "$out/batch.tsv" --json \
    > "$out/results.jsonl" 2> "$out/feedback.log" || status=$?
echo "  $(( $(date +%s) - start )) s, exit status $status, $(grep -c '^{' "$out/results.jsonl" || true) results"
if ! grep -q '^{' "$out/results.jsonl"; then
    echo "run.sh: no results; see $out/feedback.log" >&2
    tail -5 "$out/feedback.log" >&2
    exit 1
fi
python3 "$here/score.py" "$out" --json > "$out/summary.json"
python3 "$here/score.py" "$out" | tee "$out/report.txt"
