#!/usr/bin/env bash
# Compresses one generated SQL script with both methods of the program's compressor (through
# tarnwick-hl compress / decompress) and with gzip -1 and gzip -6, file to file, and checks that
# every method gives the script back byte for byte.
#
#   bench/compare-gzip.sh
#   BUILD=/path/to/build SIZE=100M RUNS=3 bench/compare-gzip.sh
#
# Environment:
#   BUILD   build folder (default: build-release/ at the top of the source tree); configured as a
#           Release build when it has no CMake cache
#   SIZE    script size, with an optional K, M or G suffix (default 100M)
#   RUNS    timed runs of each command; the best counts (default 3)
#   TMPDIR  where the files go
#
# Times are wall times of the whole command, reading and writing files in the page cache
# included, for both programs alike.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
BUILD=${BUILD:-$root/build-release}
SIZE=${SIZE:-100M}
RUNS=${RUNS:-3}

die() {
  echo "compare-gzip: $*" >&2
  exit 1
}
for tool in cmake gzip awk numfmt cmp; do command -v "$tool" >/dev/null || die "$tool is not installed"; done
[[ "$RUNS" =~ ^[1-9][0-9]*$ ]] || die "RUNS must be a positive number, not '$RUNS'"
size_bytes=$(numfmt --from=iec "$SIZE" 2>/dev/null) || die "SIZE must be bytes or have a K, M or G suffix, not '$SIZE'"

if [ ! -f "$BUILD/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$BUILD" --target tarnwick-hl tarnwick-gen-script >/dev/null ||
  die "building tarnwick-hl and tarnwick-gen-script in $BUILD failed"

work=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-compare-gzip.XXXXXX")
trap 'rm -rf "$work"' EXIT
script=$work/script.sql
"$BUILD/bin/tarnwick-gen-script" --output "$script" "$size_bytes"
bytes=$(stat -c %s "$script")
mib=$(awk -v b="$bytes" 'BEGIN { printf "%.1f", b / 1048576 }')
cat "$script" >/dev/null  # into the page cache

now() { date +%s.%N; }

# best COMMAND...: runs the command RUNS times and prints the best wall time in seconds.
best() {
  local i t0 t1 s b=""
  for ((i = 1; i <= RUNS; i++)); do
    t0=$(now)
    "$@" >/dev/null
    t1=$(now)
    s=$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')
    if [ -z "$b" ] || awk -v a="$s" -v x="$b" 'BEGIN { exit !(a < x) }'; then b=$s; fi
  done
  echo "$b"
}

row() {
  local name=$1 packed=$2 c=$3 d=$4
  cmp -s "$script" "$work/back" || die "$name did not give the script back"
  awk -v n="$name" -v p="$(stat -c %s "$packed")" -v b="$bytes" -v c="$c" -v d="$d" -v mib="$mib" 'BEGIN {
    printf "| %s | %d | %.1f %% | %.3f s (%.0f MiB/s) | %.3f s (%.0f MiB/s) |\n", n, p, 100 * p / b, c, mib / c, d, mib / d }'
  rm -f "$packed" "$work/back"
}

gz() { gzip "-$1" -c "$script" >"$work/packed.gz"; }
gunz() { gzip -d -c "$work/packed.gz" >"$work/back"; }

echo "Script: $mib MiB ($bytes bytes), best of $RUNS runs."
echo
echo "| method | compressed bytes | ratio | compression | decompression |"
echo "|---|---|---|---|---|"
for method in kh lzh; do
  c=$(best "$BUILD/bin/tarnwick-hl" compress --method "$method" "$script" "$work/packed.$method")
  d=$(best "$BUILD/bin/tarnwick-hl" decompress "$work/packed.$method" "$work/back")
  row "tarnwick-hl $method" "$work/packed.$method" "$c" "$d"
done
for level in 1 6; do
  c=$(best gz "$level")
  d=$(best gunz)
  row "gzip -$level" "$work/packed.gz" "$c" "$d"
done
