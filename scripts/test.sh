#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the content check of the
# demo program directory, a short run of each fuzzer, the end-to-end tests against a private
# null audio sink (started and stopped by the tests themselves) and through the desktop's
# accessibility bus on the dev build, and every other test (unit, component, widget, the
# installed package) on the sanitized build (AddressSanitizer, LeakSanitizer, UBSan).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --test
# Three trees are built (dev, fuzzing, sanitized): ccache keeps an unchanged file from being
# compiled again on the next run, also from a clone at another path.
if command -v ccache >/dev/null; then
    export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
    export CCACHE_BASEDIR="$PWD"
fi
cmake --preset dev >/dev/null
cmake --build --preset dev
build/bin/orvessa-content check build/bin
scripts/fuzz.sh "${ORVESSA_FUZZ_SECONDS:-10}"
# Each test runs once: here, on the dev build, the ones the sanitized build leaves out (the
# end-to-end ones, too slow at the sanitizers' pace, and the checks that run no program of
# ours); below, every other one, sanitized (see the asan presets in CMakePresets.json).
# A test that fails is run once more before the run fails: the end-to-end tests play
# through a real sound server, which now and then stalls on a loaded machine. A test stuck
# in a library prints the stacks of its threads first (ORVESSA_HANG_REPORT_SECONDS).
ctest --preset dev -j2 --repeat until-pass:2 -L e2e
ctest --preset dev -j2 -R '^(demo_content_check|demo_tools_unit|source_layout)$'
cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan --repeat until-pass:2
