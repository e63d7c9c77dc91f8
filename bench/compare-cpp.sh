#!/usr/bin/env bash
# Times `tarnwick-versions preprocess` against the C preprocessor (`cpp -P -traditional-cpp`) on
# one generated script written in the subset both understand (#define, #ifdef, #else, #endif),
# and checks that both keep the same lines.
#
#   bench/compare-cpp.sh
#   BUILD=/path/to/build SIZE=64M RUNS=3 bench/compare-cpp.sh
#
# Environment:
#   BUILD   build folder (default: build-release/ at the top of the source tree). A folder without a
#           CMake cache is configured as a Release build; the two programs are (re)built.
#   SIZE    script size in bytes, or with a K, M or G suffix (default 256M)
#   RUNS    timed runs of each program; the best wall time counts (default 3)
#   SEED    seed of the generated script (default 1)
#   TMPDIR  where the script and both outputs go (needs about three times SIZE)
#
# Wall time and peak resident memory come from GNU time (/usr/bin/time -f '%e %M'). Throughput
# is script MiB per second of the best run; peak memory is the largest of all runs. The outputs
# are compared with empty lines removed, since cpp -P folds runs of empty lines.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
BUILD=${BUILD:-$root/build-release}
SIZE=${SIZE:-256M}
RUNS=${RUNS:-3}
SEED=${SEED:-1}
SYMBOL=VER_A

die() {
  echo "compare-cpp: $*" >&2
  exit 1
}

for tool in cmake cpp cmp diff awk numfmt; do
  command -v "$tool" >/dev/null || die "$tool is not installed"
done
[ -x /usr/bin/time ] || die "GNU time (/usr/bin/time) is not installed"
[[ "$RUNS" =~ ^[1-9][0-9]*$ ]] || die "RUNS must be a positive number, not '$RUNS'"
[[ "$SEED" =~ ^[0-9]+$ ]] || die "SEED must be a number, not '$SEED'"
size_bytes=$(numfmt --from=iec "$SIZE" 2>/dev/null) || die "SIZE must be bytes or have a K, M or G suffix, not '$SIZE'"
[ "$size_bytes" -gt 0 ] || die "SIZE must be above zero"

# --- build -------------------------------------------------------------------------------------
if [ ! -f "$BUILD/CMakeCache.txt" ]; then
  echo "compare-cpp: configuring a Release build in $BUILD" >&2
  cmake -S "$root" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$BUILD/CMakeCache.txt"; }
if [ "$(cache_value TARNWICK_BENCH)" != ON ] || [ "$(cache_value TARNWICK_SANITIZE)" = ON ] ||
   [ "$(cache_value TARNWICK_FUZZ)" = ON ]; then
  die "$BUILD does not build tarnwick-gen-script: reconfigure it with -DTARNWICK_BENCH=ON and no sanitizers, or set BUILD to another folder (a new one is configured as Release)"
fi
build_type=$(cache_value CMAKE_BUILD_TYPE)
if [ "$build_type" != Release ]; then
  echo "compare-cpp: warning: $BUILD is a '${build_type}' build, not Release" >&2
fi
cmake --build "$BUILD" --target tarnwick-versions tarnwick-gen-script >/dev/null ||
  die "building tarnwick-versions and tarnwick-gen-script in $BUILD failed"
versions=$BUILD/bin/tarnwick-versions
generate=$BUILD/bin/tarnwick-gen-script
[ -x "$versions" ] && [ -x "$generate" ] || die "the programs are not in $BUILD/bin"

# --- script ------------------------------------------------------------------------------------
work=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-compare-cpp.XXXXXX")
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT TERM

avail=$(df --output=avail -B1 "$work" | tail -n 1)
if [ "$avail" -lt $((size_bytes * 3 + (64 << 20))) ]; then
  die "not enough room in $(dirname "$work") for a $SIZE script and two outputs"
fi

script=$work/script.sql
"$generate" --mode cpp --seed "$SEED" --output "$script" "$size_bytes"
script_bytes=$(stat -c %s "$script")

# --- timing ------------------------------------------------------------------------------------
# time_best LABEL OUTPUT COMMAND...: runs COMMAND $RUNS times with its standard output in OUTPUT;
# leaves the best wall seconds in best_s and the largest peak RSS (KB) in peak_kb.
time_best() {
  local label=$1 output=$2
  shift 2
  best_s=""
  peak_kb=0
  local i s kb
  for ((i = 1; i <= RUNS; i++)); do
    if ! /usr/bin/time -f '%e %M' -o "$work/time" "$@" >"$output" 2>"$work/stderr"; then
      echo "compare-cpp: $label failed:" >&2
      cat "$work/stderr" "$work/time" >&2
      exit 1
    fi
    read -r s kb < <(tail -n 1 "$work/time")
    if [ -z "$best_s" ] || awk -v a="$s" -v b="$best_s" 'BEGIN { exit !(a < b) }'; then best_s=$s; fi
    if [ "$kb" -gt "$peak_kb" ]; then peak_kb=$kb; fi
  done
}

time_best "tarnwick-versions" "$work/out1" "$versions" preprocess -D "$SYMBOL" "$script"
tw_s=$best_s
tw_kb=$peak_kb
time_best "cpp" "$work/out2" cpp -P -traditional-cpp "-D$SYMBOL" "$script"
cpp_s=$best_s
cpp_kb=$peak_kb

# --- same lines? -------------------------------------------------------------------------------
grep -v '^$' "$work/out1" >"$work/lines1" || true
grep -v '^$' "$work/out2" >"$work/lines2" || true
[ -s "$work/lines1" ] || die "tarnwick-versions kept no line at all"
if ! cmp -s "$work/lines1" "$work/lines2"; then
  echo "compare-cpp: FAILED: tarnwick-versions and cpp keep different lines (first differences):" >&2
  diff "$work/lines1" "$work/lines2" | head -n 20 >&2 || true
  exit 1
fi
kept_lines=$(wc -l <"$work/lines1")

# --- report ------------------------------------------------------------------------------------
awk -v bytes="$script_bytes" -v lines="$kept_lines" -v runs="$RUNS" -v seed="$SEED" \
    -v tw_s="$tw_s" -v tw_kb="$tw_kb" -v cpp_s="$cpp_s" -v cpp_kb="$cpp_kb" '
function rate(s) { return s > 0 ? sprintf("%10.1f", bytes / 1048576 / s) : "       n/a" }
BEGIN {
  printf "script: %d bytes (%.1f MiB), cpp subset, seed %d; %d non-empty lines kept by both (identical)\n",
         bytes, bytes / 1048576, seed, lines
  printf "best of %d runs          wall s      MiB/s   peak RSS MiB   RSS / script\n", runs
  printf "tarnwick-versions     %9.2f %s %14.1f %14.2f\n", tw_s, rate(tw_s), tw_kb / 1024, tw_kb * 1024 / bytes
  printf "cpp -P -traditional   %9.2f %s %14.1f %14.2f\n", cpp_s, rate(cpp_s), cpp_kb / 1024, cpp_kb * 1024 / bytes
  if (tw_s > 0 && cpp_s > 0)
    printf "throughput tarnwick / cpp: %.2f\n", cpp_s / tw_s
  else
    printf "throughput tarnwick / cpp: n/a (a run took under 0.01 s; use a larger SIZE)\n"
}'
