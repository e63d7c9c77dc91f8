#!/usr/bin/env bash
# Unsaved text surviving a crash, with the real tarnwick program on a private X server: a script
# file is opened and edited, a new untitled script typed, and once their recovery files are
# written the program is killed with SIGKILL. Started again, it offers both scripts; Return
# restores them. The untitled one is saved under a new name (Ctrl+S, the Save As dialog), the
# other one under its own name (Window menu, Ctrl+S), and both files are checked byte for byte.
# Last, a change left unsaved at File > Exit ("No" to the question) must leave no recovery file.
#
#   e2e_recovery_test.sh TARNWICK EXAMPLES_FOLDER
#
# Exit status 77 (skipped) when Xvfb or xdotool is missing. Every wait polls with a time limit.
set -euo pipefail

program=$1
examples=$2

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/e2e_lib.sh"
e2e_setup "$examples"
recovery="$XDG_DATA_HOME/Corvanti/Tarnwick/recovery"

e2e_diagnostics() {
  echo "--- the recovery folder:"
  ls -la "$recovery" 2>/dev/null || true
}

recovery_files() { find "$recovery" -maxdepth 1 -name '*.twr' 2>/dev/null | wc -l; }
has_recovery_files() { [ "$(recovery_files)" -eq "$1" ]; }

# The recovery files are up to date once none has changed for five seconds (the program writes
# two seconds after a change).
last_state=
stable_since=0
recovery_settled() {
  local state now
  state=$(find "$recovery" -maxdepth 1 -name '*.twr' -printf '%f %s %T@\n' 2>/dev/null | sort)
  now=$(date +%s)
  if [ "$state" != "$last_state" ]; then
    last_state=$state
    stable_since=$now
    return 1
  fi
  [ -n "$state" ] && [ $((now - stable_since)) -ge 5 ]
}

start_xvfb 200 259

focus_frame() {
  frame=$(timeout 20 xdotool search --sync --onlyvisible --name '^Tarnwick' | head -n 1) ||
    fail "the frame window did not appear"
  xdotool windowfocus --sync "$frame" || true
  sleep 0.5 # the editor takes the focus once the window is on the screen
}
type_text() { xdotool type --delay 15 -- "$1"; }

# ---- first run: an opened script with Unix line breaks edited, an untitled one typed
printf 'select 1;\nfrom dual;\n' >"$work/scripts/opened.sql"
"$program" "$work/scripts/opened.sql" >"$work/tarnwick1.log" 2>&1 &
editor=$!
focus_frame
type_text "-- edited"
xdotool key --clearmodifiers Return
wait_for 30 "the recovery file of the opened script" has_recovery_files 1

# File > New, and a script typed into it.
xdotool key --clearmodifiers alt+f
sleep 0.3
xdotool key --clearmodifiers n
sleep 0.5
type_text "select 'untitled';"
xdotool key --clearmodifiers Return
type_text "-- second line"
wait_for 30 "the recovery files of both scripts" has_recovery_files 2
wait_for 60 "the recovery files to settle" recovery_settled

kill -9 "$editor"
wait "$editor" 2>/dev/null || true
editor=
has_recovery_files 2 || fail "the recovery files did not outlive the program"

# ---- second run: both offered, restored with Return, saved
"$program" >"$work/tarnwick2.log" 2>&1 &
editor=$!
dialog=$(timeout 30 xdotool search --sync --onlyvisible --name '^Restore Unsaved Scripts' | head -n 1) ||
  fail "the restore offer did not appear"
xdotool windowfocus --sync "$dialog" || true
sleep 0.3
xdotool key --clearmodifiers Return
focus_frame

# The untitled script was written last, so it is restored last and is the active window.
xdotool key --clearmodifiers ctrl+s
save_as "$work/scripts/untitled.sql"

# The opened script is the first window of the Window menu; it saves under its own name.
printf -- '-- edited\nselect 1;\nfrom dual;\n' >"$work/expected-opened"
xdotool windowfocus --sync "$frame" || true
xdotool key --clearmodifiers alt+w
sleep 0.3
xdotool key --clearmodifiers 1
sleep 0.3
xdotool key --clearmodifiers ctrl+s
wait_for 20 "the opened script saved under its own name" cmp -s "$work/expected-opened" "$work/scripts/opened.sql"

printf "select 'untitled';\r\n-- second line" >"$work/expected-untitled"
cmp "$work/expected-untitled" "$work/scripts/untitled.sql" ||
  { od -c "$work/scripts/untitled.sql" | head -n 20 >&2; fail "the restored untitled script is not as typed"; }
wait_for 20 "the recovery files of the saved scripts to go" has_recovery_files 0

# ---- a change left unsaved at File > Exit: "No", and no recovery file stays behind
type_text "x"
wait_for 30 "the recovery file of the new change" has_recovery_files 1
xdotool key --clearmodifiers alt+f
sleep 0.3
xdotool key --clearmodifiers x
question=$(timeout 20 xdotool search --sync --onlyvisible --name '^Tarnwick$' | grep -v "^$frame\$" | head -n 1) ||
  fail "the save question did not appear"
xdotool windowfocus --sync "$question" || true
sleep 0.3
xdotool key --clearmodifiers n
for _ in $(seq 200); do kill -0 "$editor" 2>/dev/null || break; sleep 0.1; done
kill -0 "$editor" 2>/dev/null && fail "the program did not end after File > Exit"
wait "$editor" || fail "the program ended with status $?"
editor=
has_recovery_files 0 || fail "a recovery file stayed after a normal exit"
leftover=$(find "$recovery" -mindepth 1 2>/dev/null | head -n 5)
[ -z "$leftover" ] || fail "the recovery folder still holds: $leftover"
cmp -s "$work/expected-opened" "$work/scripts/opened.sql" || fail "the discarded change reached the file"

echo "PASS: two scripts restored after SIGKILL and saved byte for byte; a normal exit leaves no recovery file"
