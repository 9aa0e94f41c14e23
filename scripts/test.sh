#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the content check of the
# demo program directory, a short run of each fuzzer, then the unit, component and widget
# tests on the offscreen platform and the end-to-end audio tests against a private null
# audio sink (started and stopped by the tests themselves), and last the same tests but the
# end-to-end ones on the sanitized build (AddressSanitizer, LeakSanitizer, UBSan).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --test
cmake --preset dev >/dev/null
cmake --build --preset dev
build/bin/orvessa-content check build/bin
scripts/fuzz.sh "${ORVESSA_FUZZ_SECONDS:-10}"
# A test that fails is run once more before the run fails: the end-to-end tests play
# through a real sound server, which now and then stalls on a loaded machine. A test stuck
# in a library prints the stacks of its threads first (ORVESSA_HANG_REPORT_SECONDS).
ctest --preset dev -j2 --repeat until-pass:2
# The sanitized build runs its preset's tests (see CMakePresets.json): everything but the
# end-to-end ones, too slow at the sanitizers' pace, and the demo content's Python checks.
cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan --repeat until-pass:2
