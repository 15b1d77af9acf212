#!/usr/bin/env bash
# Installs what is missing, builds, and starts the first edition of the game
# (pass vexalon-r2 or vexalon-r3 to start a revision instead).
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release
program="${1:-vexalon}"
# The game reads images\ and sound\ below its working directory.
cd assets
exec "../build/release/app/$program"
