#!/usr/bin/env bash
# Installs what playing needs, builds the three programs, and starts the first
# edition of the game (pass vexalon-r2 or vexalon-r3 to start a revision).
set -euo pipefail
cd "$(dirname "$0")"
program="${1:-vexalon}"
case "$program" in
  vexalon | vexalon-r2 | vexalon-r3) ;;
  *) echo "usage: $0 [vexalon | vexalon-r2 | vexalon-r3]" >&2; exit 2 ;;
esac
bash scripts/install-deps.sh play
cmake --preset play >/dev/null
cmake --build --preset play
# The game reads images\ and sound\ below its working directory.
cd assets
exec "../build/play/app/$program"
