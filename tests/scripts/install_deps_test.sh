#!/usr/bin/env bash
# install-deps.sh run as a user with sudo, as one without, and as root, with
# and without pipewire-pulse, against stand-ins that record what apt-get was
# asked and in what environment. Nothing is installed.
#   install_deps_test.sh path/to/install-deps.sh
set -uo pipefail
script=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() { echo "FAIL [$case_name]: $*"; failures=$((failures + 1)); }

# run NAME UID HAVE_SUDO "installed packages" [ARGS...]: runs the script with
# a PATH of stand-ins; leaves its exit code in $rc, its stderr in $err and
# apt-get's calls, one a line ("FRONTEND args..."), in $work/apt.
run() {
  case_name=$1 uid=$2 have_sudo=$3 installed=$4
  shift 4
  local bin=$work/bin
  rm -rf "$bin" "$work/apt"
  mkdir -p "$bin"
  for tool in grep env cat; do ln -s "$(command -v $tool)" "$bin/$tool"; done
  printf '#!/bin/bash\necho %s\n' "$uid" >"$bin/id"
  printf '#!/bin/bash\nfor p in %s; do [ "$p" = "${@: -1}" ] && { echo -n "install ok installed"; exit 0; }; done\nexit 1\n' \
    "$installed" >"$bin/dpkg-query"
  printf '#!/bin/bash\necho "${DEBIAN_FRONTEND:-unset} $*" >>%s\n' "$work/apt" >"$bin/apt-get"
  # As sudo does: the command runs as root with the caller's environment dropped.
  if [ "$have_sudo" = yes ]; then
    printf '#!/bin/bash\nexec %s/env -i PATH="$PATH" "$@"\n' "$bin" >"$bin/sudo"
  fi
  chmod +x "$bin"/*
  err=$(DEBIAN_FRONTEND=noninteractive PATH=$bin /bin/bash "$script" "$@" 2>&1 >/dev/null)
  rc=$?
  touch "$work/apt"
}

install_line() { grep ' install ' "$work/apt"; }

run "user with sudo" 1000 yes ""
[ $rc -eq 0 ] || fail "exit $rc: $err"
install_line | grep -q '^noninteractive install ' || fail "apt-get install without the frontend: $(install_line)"
grep -q 'update' "$work/apt" || fail "no apt-get update"
install_line | grep -qw pulseaudio || fail "pulseaudio not asked for without pipewire-pulse"
install_line | grep -qw libgtest-dev || fail "the developer packages not asked for"
everything=$(install_line | sed 's/.*--no-install-recommends //')

run "root" 0 no ""
[ $rc -eq 0 ] || fail "exit $rc: $err"
install_line | grep -q '^noninteractive install ' || fail "apt-get install without the frontend: $(install_line)"

run "user without sudo" 1000 no ""
[ $rc -ne 0 ] || fail "exit 0"
[ "$(echo "$err" | wc -l)" -eq 1 ] || fail "not one line: $err"
echo "$err" | grep -q root || fail "does not say to run as root: $err"
echo "$err" | grep -q 'not found' && fail "a shell's complaint: $err"
[ -s "$work/apt" ] && fail "apt-get was run: $(cat "$work/apt")"

run "pipewire-pulse desktop" 1000 yes "pipewire-pulse"
[ $rc -eq 0 ] || fail "exit $rc: $err"
install_line | grep -qw pulseaudio && fail "pulseaudio asked for beside pipewire-pulse: $(install_line)"
install_line | grep -qw xvfb || fail "the rest of the developer packages not asked for"

run "play" 1000 yes "" play
install_line | grep -qw libsdl2-dev || fail "what playing needs not asked for"
install_line | grep -qwE 'pulseaudio|libgtest-dev' && fail "developer packages asked for by play: $(install_line)"

# Everything present: nothing asked, root or not.
run "nothing missing" 1000 no "$everything"
[ $rc -eq 0 ] || fail "exit $rc: $err"
[ -s "$work/apt" ] && fail "apt-get was run: $(cat "$work/apt")"

# The README names every package the script can ask for.
case_name="README"
readme=$(tr '\n' ' ' <"$(dirname "$script")/../README.md")
for p in $everything; do
  [[ "$readme" == *[\`\ ]"$p"[\`\ ]* ]] || fail "$p is not in README.md"
done

[ $failures -eq 0 ] && echo "all cases passed"
exit $((failures > 0))
