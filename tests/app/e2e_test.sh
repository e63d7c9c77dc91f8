#!/usr/bin/env bash
# The tarnwick program driven from outside, as a person would: on a private X server it types a
# script into the editor, saves it with Ctrl+S (the Save As dialog of an untitled script: the path
# typed, Return), runs Save All Versions from the SQL menu by keyboard (Alt+S, V) and leaves with
# File > Exit (Alt+F, X). The script and the three version files are then checked byte for byte.
#
#   e2e_test.sh TARNWICK EXAMPLES_FOLDER
#
# Exit status 77 (skipped) when Xvfb or xdotool is missing. Every wait polls with a time limit.
set -euo pipefail

program=$1
examples=$2

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/e2e_lib.sh"
e2e_setup "$examples"
start_xvfb 140 199

"$program" >"$work/tarnwick.log" 2>&1 &
editor=$!

frame=$(timeout 20 xdotool search --sync --onlyvisible --name '^Tarnwick' | head -n 1) || fail "the frame window did not appear"
xdotool windowfocus --sync "$frame" || true
sleep 0.5  # the editor takes the focus once the window is on the screen

# The script, typed line by line with Return between the lines. They start in the first column,
# so auto-indent adds nothing. The é has no key of its own on the server's keyboard: xdotool lends
# it one for a moment, which the program must see before the key comes (hence the slower pace).
type_line() { xdotool type --delay 15 -- "$1"; }
type_line "#ifdef ORACLE"
xdotool key --clearmodifiers Return
type_line "select 'caf"
xdotool key --delay 150 eacute
type_line "' from dual;"
for line in "#else" "select now();" "#endif" "#ifdef WITH_AUDIT" "-- audit" "insert into audit_log values (1);" "#endif"; do
  xdotool key --clearmodifiers Return
  type_line "$line"
done

# Ctrl+S on an untitled script opens the Save As dialog.
xdotool key --clearmodifiers ctrl+s
save_as "$work/scripts/e2e.sql"

# Save All Versions from the SQL menu, by keyboard.
xdotool windowfocus --sync "$frame" || true
xdotool key --clearmodifiers alt+s
sleep 0.3
xdotool key --clearmodifiers v
for output in e2e.ora e2e.mssql.sql e2e.pg.sql; do
  wait_for 20 "$output" test -e "$work/scripts/$output"
done

# File > Exit: nothing is modified, so the program ends without a question.
xdotool key --clearmodifiers alt+f
sleep 0.3
xdotool key --clearmodifiers x
for _ in $(seq 100); do kill -0 "$editor" 2>/dev/null || break; sleep 0.1; done
kill -0 "$editor" 2>/dev/null && fail "the program did not end after File > Exit"
wait "$editor" || fail "the program ended with status $?"
editor=

expect() {  # FILE, then the expected bytes as printf text
  local file=$1
  printf "$2" >"$work/expected"
  cmp "$work/expected" "$work/scripts/$file" ||
    { od -c "$work/scripts/$file" | head -n 20 >&2; fail "$file is not as expected"; }
}
# The script as typed, lines ending in CR LF, é as the Windows-1252 byte E9.
expect e2e.sql "#ifdef ORACLE\r\nselect 'caf\351' from dual;\r\n#else\r\nselect now();\r\n#endif\r\n#ifdef WITH_AUDIT\r\n-- audit\r\ninsert into audit_log values (1);\r\n#endif"
# Each version with its define and the conditional define WITH_AUDIT; the comment is dropped.
expect e2e.ora "\r\nselect 'caf\351' from dual;\r\ninsert into audit_log values (1);"
expect e2e.mssql.sql "\r\nselect now();\r\ninsert into audit_log values (1);"
expect e2e.pg.sql "\r\nselect now();\r\ninsert into audit_log values (1);"
echo "PASS: typed, saved with Ctrl+S, all versions written from the SQL menu, left with File > Exit"
