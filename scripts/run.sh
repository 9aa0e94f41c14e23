#!/usr/bin/env bash
# Installs what is missing, builds everything and starts orvessa on the demo content.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset dev >/dev/null
cmake --build --preset dev
exec build/bin/orvessa "$@"
