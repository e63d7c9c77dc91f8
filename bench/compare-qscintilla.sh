#!/usr/bin/env bash
# Measures our editor widget (bench_widget) and QScintilla (bench_widget_qscintilla) by the same
# steps on the same generated SQL script, offscreen in a 1920 x 1080 window, and prints one table:
# a row per measure, ours, QScintilla's and ours / QScintilla's. The exact method of each measure
# is written in bench/widget_bench.h.
#
#   bench/compare-qscintilla.sh
#   BUILD=/path/to/build SIZE=100M RUNS=3 PAGES=5000 CPU=1 bench/compare-qscintilla.sh
#
# Environment:
#   BUILD   build folder (default: build-release/ at the top of the source tree); configured as a
#           Release build when it has no CMake cache
#   SIZE    script size, with an optional K, M or G suffix (default 100M)
#   RUNS    runs of each program; each cell is the median of the runs, with their range (default 3)
#   PAGES   Page Down frames timed from the top; 0 pages through the whole document (default 5000)
#   KEYS    keystrokes at the end and in the middle (default 200)
#   CPU     the processor both programs are pinned to with taskset (default 1; empty: not pinned)
#   TMPDIR  where the script goes
#
# QScintilla (libqscintilla2-qt6-dev) is installed with apt-get when it is missing; it is the
# benchmark's peer only and never part of the programs.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
BUILD=${BUILD:-$root/build-release}
SIZE=${SIZE:-100M}
RUNS=${RUNS:-3}
PAGES=${PAGES:-5000}
KEYS=${KEYS:-200}
CPU=${CPU-1}

die() {
  echo "compare-qscintilla: $*" >&2
  exit 1
}
for tool in cmake awk numfmt; do command -v "$tool" >/dev/null || die "$tool is not installed"; done
[[ "$RUNS" =~ ^[1-9][0-9]*$ ]] || die "RUNS must be a positive number, not '$RUNS'"
[[ "$PAGES" =~ ^[0-9]+$ ]] || die "PAGES must be a number, not '$PAGES'"
[[ "$KEYS" =~ ^[1-9][0-9]*$ ]] || die "KEYS must be a positive number, not '$KEYS'"
size_bytes=$(numfmt --from=iec "$SIZE" 2>/dev/null) || die "SIZE must be bytes or have a K, M or G suffix, not '$SIZE'"
pin=()
if [ -n "$CPU" ]; then
  command -v taskset >/dev/null || die "taskset is not installed (util-linux); set CPU= to run unpinned"
  pin=(taskset -c "$CPU")
fi

if [ ! -f /usr/include/x86_64-linux-gnu/qt6/Qsci/qsciscintilla.h ] && ! dpkg -s libqscintilla2-qt6-dev >/dev/null 2>&1; then
  echo "Installing libqscintilla2-qt6-dev (the peer) ..." >&2
  sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -qq >/dev/null
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq libqscintilla2-qt6-dev >/dev/null ||
    die "installing libqscintilla2-qt6-dev failed"
  rm -f "$BUILD/CMakeCache.txt"  # find QScintilla anew
fi

if [ ! -f "$BUILD/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
else
  cmake "$BUILD" >/dev/null
fi
cmake --build "$BUILD" --target bench_widget bench_widget_qscintilla tarnwick-gen-script >/dev/null ||
  die "building bench_widget, bench_widget_qscintilla and tarnwick-gen-script in $BUILD failed (is QScintilla found?)"

work=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-compare-qscintilla.XXXXXX")
trap 'rm -rf "$work"' EXIT
script=$work/script.sql
"$BUILD/bin/tarnwick-gen-script" --output "$script" "$size_bytes"
mib=$(awk -v b="$(stat -c %s "$script")" 'BEGIN { printf "%.1f", b / 1048576 }')
cat "$script" >/dev/null  # into the page cache

export QT_QPA_PLATFORM=offscreen
# run NAME PROGRAM: RUNS runs, their RESULT lines gathered in $work/NAME.results as "KEY VALUE".
run() {
  local name=$1 program=$2 i out
  : >"$work/$name.results"
  for ((i = 1; i <= RUNS; i++)); do
    out=$work/$name.$i.out
    if ! "${pin[@]}" "$BUILD/bin/$program" --file "$script" --keys "$KEYS" --pages "$PAGES" >"$out" 2>"$work/$name.$i.err"; then
      cat "$out" "$work/$name.$i.err" >&2
      die "$program failed (run $i)"
    fi
    awk '$1 == "RESULT" { print $2, $3 }' "$out" >>"$work/$name.results"
    echo "  $name run $i done" >&2
  done
}
echo "Measuring on a $mib MiB script, $RUNS runs each${CPU:+, pinned to processor $CPU} ..." >&2
run ours bench_widget
run qsci bench_widget_qscintilla

# The median of a key's values in a results file, and their range.
stat_of() {
  awk -v k="$2" '$1 == k { v[n++] = $2 } END {
    if (n == 0) { print "- - -"; exit }
    for (i = 0; i < n; i++) for (j = i + 1; j < n; j++) if (v[j] < v[i]) { t = v[i]; v[i] = v[j]; v[j] = t }
    m = (n % 2) ? v[int(n / 2)] : (v[n / 2 - 1] + v[n / 2]) / 2
    print m, v[0], v[n - 1] }' "$1"
}

row() {  # row KEY LABEL UNIT
  local key=$1 label=$2 unit=$3 o q
  o=$(stat_of "$work/ours.results" "$key")
  q=$(stat_of "$work/qsci.results" "$key")
  awk -v label="$label" -v unit="$unit" -v o="$o" -v q="$q" 'BEGIN {
    split(o, a, " "); split(q, b, " ")
    fmt = (unit == "frames") ? "%.0f" : (a[1] < 10 ? "%.2f" : "%.0f")
    cell_o = sprintf(fmt " %s (" fmt "-" fmt ")", a[1], unit, a[2], a[3])
    fmt = (unit == "frames") ? "%.0f" : (b[1] < 10 ? "%.2f" : "%.0f")
    cell_q = sprintf(fmt " %s (" fmt "-" fmt ")", b[1], unit, b[2], b[3])
    ratio = (b[1] > 0) ? sprintf("%.3g", a[1] / b[1]) : "-"
    printf "| %s | %s | %s | %s |\n", label, cell_o, cell_q, ratio }'
}

pages_label="Page Down frame"
[ "$PAGES" -eq 0 ] && pages_label="$pages_label, whole document" || pages_label="$pages_label, first $PAGES pages"
echo
echo "Script: $mib MiB generated PL/SQL; 1920 x 1080 offscreen; $KEYS keystrokes per place; median of $RUNS runs (range)."
echo
echo "| measure | ours | QScintilla | ours / QScintilla |"
echo "|---|---|---|---|"
timed_rows() {  # timed_rows SUFFIX: every timed measure, NAME_ms or NAME_cpu_ms
  local sfx=$1
  row "load_first_screen$sfx" "load until the first screen is painted" ms
  row "key_end_median$sfx" "keystroke at the end until painted, median" ms
  row "key_end_worst$sfx" "keystroke at the end until painted, worst" ms
  row "key_middle_median$sfx" "keystroke in the middle until painted, median" ms
  row "key_middle_worst$sfx" "keystroke in the middle until painted, worst" ms
  row "key_dirty_median$sfx" "(information) keystroke at the end, only what the editor marks dirty painted, median" ms
  row "key_dirty_worst$sfx" "(information) keystroke at the end, only what the editor marks dirty painted, worst" ms
  row "pagedown_median$sfx" "$pages_label, median" ms
  row "pagedown_worst$sfx" "$pages_label, worst" ms
  row "pagedown_total$sfx" "$pages_label, all frames" ms
  row "goto_end$sfx" "(information) jump to the end until painted" ms
  row "goto_middle$sfx" "(information) jump to the middle until painted" ms
}
timed_rows _ms
row pagedown_frames "Page Down frames timed" frames
row rss_after_load_mib "resident memory after loading" MiB
row peak_mib "peak memory (VmHWM) after the run" MiB
echo
echo "The same spans in process CPU time (all threads; not inflated by other processes on the machine):"
echo
echo "| measure | ours | QScintilla | ours / QScintilla |"
echo "|---|---|---|---|"
timed_rows _cpu_ms
