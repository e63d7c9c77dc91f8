#!/usr/bin/env bash
# Prints the same generated SQL script with our editor (bench_print: paginated, then printed to a
# PDF file, letter paper, SQL highlighting, header with file name and date, wrapped lines) and with
# enscript --highlight=sql (PostScript on letter paper, its own header, wrapped lines), and prints
# the times and ours / enscript's.
#
#   bench/compare-enscript.sh
#   BUILD=/path/to/build SIZE=100M bench/compare-enscript.sh
#
# Environment:
#   BUILD   build folder with bin/bench_print and bin/tarnwick-gen-script (default build-release/)
#   SIZE    script size, with an optional K, M or G suffix (default 10M)
#   PEER_PDF=1  also turn enscript's PostScript into PDF with ps2pdf (Ghostscript), so that both
#           sides end in the same format; slow (minutes for 10 MB), hence not the default
#   TMPDIR  where the script and the printed files go
#
# enscript writes PostScript, plain text that it never compresses, while we write PDF (compressed
# page streams, embedded font subsets): the first row compares each program's own print format, the
# PEER_PDF row the same end format. enscript (and Ghostscript for PEER_PDF) are installed with
# apt-get when missing; they are the benchmark's peers only and never part of the programs.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
BUILD=${BUILD:-$root/build-release}
SIZE=${SIZE:-10M}
work=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-enscript.XXXXXX")
trap 'rm -rf "$work"' EXIT

if ! command -v enscript >/dev/null; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO apt-get install -y -qq --no-install-recommends enscript >/dev/null
fi
if [ "${PEER_PDF:-0}" = 1 ] && ! command -v ps2pdf >/dev/null; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO apt-get install -y -qq --no-install-recommends ghostscript >/dev/null
fi
if [ ! -x "$BUILD/bin/bench_print" ]; then
  [ -f "$BUILD/CMakeCache.txt" ] || cmake -S "$root" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$BUILD" --target bench_print tarnwick-gen-script >/dev/null
fi

script="$work/script.sql"
"$BUILD/bin/tarnwick-gen-script" --output "$script" "$SIZE"
echo "script: $(stat -c %s "$script") bytes, $(wc -l < "$script") lines"

now() { date +%s.%N; }

start=$(now)
enscript --highlight=sql --media=Letter --word-wrap --fancy-header -q -p "$work/enscript.ps" "$script" || true
end=$(now)
peer=$(echo "$end - $start" | bc)
peer_pages=$(grep -c '^%%Page:' "$work/enscript.ps" || true)

out=$(QT_QPA_PLATFORM=offscreen "$BUILD/bin/bench_print" --file "$script" --pdf "$work/ours.pdf" 2>/dev/null)
echo "$out"
ours_ms=$(echo "$out" | awk '/^print to PDF/ {print $4}')
paginate_ms=$(echo "$out" | awk '/^paginate/ {print $2}')
ours=$(echo "($ours_ms + $paginate_ms) / 1000" | bc -l)

printf '\n%-28s %12s %12s %10s\n' "" "tarnwick" "enscript" "ratio"
printf '%-28s %11.2fs %11.2fs %10.2f\n' "print (PDF / PostScript)" "$ours" "$peer" "$(echo "$ours / $peer" | bc -l)"
if [ "${PEER_PDF:-0}" = 1 ]; then
  start=$(now)
  ps2pdf "$work/enscript.ps" "$work/enscript.pdf"
  end=$(now)
  peer_pdf=$(echo "$peer + $end - $start" | bc)
  printf '%-28s %11.2fs %11.2fs %10.2f\n' "print to PDF (+ ps2pdf)" "$ours" "$peer_pdf" "$(echo "$ours / $peer_pdf" | bc -l)"
fi
printf '%-28s %12s %12s\n' "pages" "$(echo "$out" | awk '/^paginate/ {print $7}')" "$peer_pages"
