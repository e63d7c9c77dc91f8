# What the end-to-end tests share: sourced by e2e_*.sh after `set -euo pipefail`.
#
#   e2e_setup EXAMPLES_FOLDER   skips (77) without Xvfb or xdotool; makes $work with config/ (the
#                               examples' version table and defines), scripts/ and home/, removed
#                               at exit with the program ($editor) and the X server ($xvfb);
#                               points HOME, XDG_*, TARNWICK_CONFIG_DIR there
#   start_xvfb FIRST LAST       an X server on the first free display number of FIRST..LAST
#   fail MESSAGE                reports, prints the program's logs ($work/tarnwick*.log), calls
#                               e2e_diagnostics if the test defines it, saves the screen, exits 1
#   wait_for SECONDS WHAT CMD   polls CMD every 0.1 s; fails after SECONDS
#   save_as PATH                answers the Save As dialog that is opening with PATH; waits for the file

e2e_setup() {
  local examples=$1 tool
  for tool in Xvfb xdotool; do
    if ! command -v "$tool" >/dev/null; then
      echo "SKIP: $tool is not installed (scripts/install-deps.sh installs it)"
      exit 77
    fi
  done
  work=$(mktemp -d)
  xvfb=
  editor=
  trap e2e_cleanup EXIT
  mkdir -p "$work/config" "$work/scripts" "$work/home"
  cp "$examples/tarnwick.edf" "$examples/tarnwick.cdf" "$work/config/"
  # The user's settings and data go to the test's folder, not the home of whoever runs it.
  export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
  export TARNWICK_CONFIG_DIR="$work/config" QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8
}

e2e_cleanup() {
  [ -n "$editor" ] && kill -9 "$editor" 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}

fail() {
  echo "FAIL: $*" >&2
  local log
  for log in "$work"/tarnwick*.log; do
    [ -s "$log" ] || continue
    echo "--- what the program printed ($(basename "$log"), last 60 lines):" >&2
    tail -n 60 "$log" >&2
  done
  if declare -F e2e_diagnostics >/dev/null; then e2e_diagnostics >&2 || true; fi
  if [ -n "${DISPLAY:-}" ] && command -v import >/dev/null; then
    local shot="${TMPDIR:-/tmp}/$(basename "$0" .sh)-failure.png"
    import -window root "$work/failure.png" 2>/dev/null && cp "$work/failure.png" "$shot" &&
      echo "the screen at the failure: $shot" >&2
  fi
  exit 1
}

wait_for() {
  local seconds=$1 what=$2
  shift 2
  local tries=$((seconds * 10))
  while ! "$@" >/dev/null 2>&1; do
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || fail "waited ${seconds}s for $what"
    sleep 0.1
  done
}

start_xvfb() {
  local n display=
  for n in $(seq "$1" "$2"); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=$n; break; fi
  done
  [ -n "$display" ] || fail "no free X display number"
  Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  export DISPLAY=":$display"
  wait_for 10 "the X server" xdotool getmouselocation
}

# Answers the Save As dialog that is opening with PATH (typed over the proposed name, Return) and
# waits until the file is written.
save_as() {
  local path=$1 dialog
  dialog=$(timeout 20 xdotool search --sync --onlyvisible --name '^Save As' | head -n 1) ||
    fail "the Save As dialog did not appear"
  xdotool windowfocus --sync "$dialog" || true
  sleep 0.3
  xdotool key --clearmodifiers ctrl+a
  xdotool type --delay 10 "$path"
  xdotool key --clearmodifiers Return
  wait_for 20 "the saved $(basename "$path")" test -s "$path"
}
