#!/bin/sh
# Builds the parsers' libFuzzer targets with clang in build-fuzz and runs each for N seconds
# (first argument, default 10), seeded from tests/data/content (the recording reader from
# the wave files in tests/data/shortsound, the subtitle reader from tests/data/subtitles, the
# course-text splitter from tests/data/plaintext, the time shift from fuzz/seeds/lessonshift:
# lesson files behind the eight bytes of shift, range and audio length it reads first).
# Exits non-zero as soon as a fuzzer finds a crash, a hang or a broken invariant; the
# input that did it is left in build-fuzz/artifacts/<target>/.
set -eu

seconds=${1:-10}
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"
fuzzers="lesson caretlist settings richtext textcodec results subtitles plaintext lessonshift waveclip"
# With a second argument, only the fuzzers it names (e.g. "plaintext lessonshift").
fuzzers=${2:-$fuzzers}

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVESSA_FUZZ=ON -DORVESSA_TESTS=OFF -DORVESSA_BENCH=OFF
cmake --build "$build" -j2 --target fuzzers

for name in $fuzzers; do
    corpus="$build/corpus/$name"
    artifacts="$build/artifacts/$name"
    mkdir -p "$corpus" "$artifacts"
    dict=""
    seeds="$root/tests/data/content"
    case $name in
        richtext|settings) dict="-dict=$root/fuzz/rtf.dict" ;;
        waveclip) seeds="$root/tests/data/shortsound" ;;
        subtitles)
            dict="-dict=$root/fuzz/subtitles.dict"
            seeds="$root/tests/data/subtitles"
            ;;
        plaintext) seeds="$root/tests/data/plaintext" ;;
        lessonshift) seeds="$root/fuzz/seeds/lessonshift" ;;
    esac
    echo "== fuzz_$name for ${seconds}s"
    # New inputs go to the first directory only; the seeds stay untouched.
    # shellcheck disable=SC2086
    "$build/fuzz/fuzz_$name" $dict -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=2048 -max_len=65536 -print_final_stats=1 \
        -artifact_prefix="$artifacts/" "$corpus" "$seeds"
done
echo "fuzzing: no crash in $fuzzers"
