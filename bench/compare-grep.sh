#!/usr/bin/env bash
# Searches one generated SQL script with the editor's plain-text and regular-expression search
# (tarnwick-search-count) and with GNU grep in the C locale (LC_ALL=C grep -c -F / -E, -i for a
# search that ignores case), pattern by pattern, and checks that both count the same lines.
#
#   bench/compare-grep.sh
#   BUILD=/path/to/build SIZE=100M RUNS=3 bench/compare-grep.sh
#   taskset -c 1 bench/compare-grep.sh        (one core, when the cores' speeds differ)
#
# Environment:
#   BUILD   build folder (default: build-release/ at the top of the source tree); configured as a
#           Release build when it has no CMake cache
#   SIZE    script size, with an optional K, M or G suffix (default 100M)
#   RUNS    timed runs of each search; the best counts (default 3)
#   TMPDIR  where the script goes
#   SCRIPT  search this file instead of generating one (SIZE is then ignored)
#
# grep's time is the wall time of the whole command (reading a file in the page cache
# included). Ours is the search alone, over the text store that the editor holds in memory, as
# tarnwick-search-count reports it; loading the file into the store is shown apart.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
BUILD=${BUILD:-$root/build-release}
SIZE=${SIZE:-100M}
RUNS=${RUNS:-3}

die() {
  echo "compare-grep: $*" >&2
  exit 1
}
for tool in cmake grep awk numfmt; do command -v "$tool" >/dev/null || die "$tool is not installed"; done
[[ "$RUNS" =~ ^[1-9][0-9]*$ ]] || die "RUNS must be a positive number, not '$RUNS'"
size_bytes=$(numfmt --from=iec "$SIZE" 2>/dev/null) || die "SIZE must be bytes or have a K, M or G suffix, not '$SIZE'"

if [ ! -f "$BUILD/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$BUILD" --target tarnwick-search-count tarnwick-gen-script >/dev/null ||
  die "building tarnwick-search-count and tarnwick-gen-script in $BUILD failed"

work=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-compare-grep.XXXXXX")
trap 'rm -rf "$work"' EXIT
if [ -n "${SCRIPT:-}" ]; then
  [ -f "$SCRIPT" ] || die "SCRIPT '$SCRIPT' is not a file"
  script=$SCRIPT
else
  script=$work/script.sql
  "$BUILD/bin/tarnwick-gen-script" --output "$script" "$size_bytes"
fi
mib=$(awk -v b="$(stat -c %s "$script")" 'BEGIN { printf "%.1f", b / 1048576 }')
cat "$script" >/dev/null  # into the page cache

now() { date +%s.%N; }

# compare MODE DIRECTION PATTERN [-i]
compare() {
  local mode=$1 direction=$2 pattern=$3 i t0 t1 s best_grep="" best_ours="" load="" count_grep count_ours
  local flags=("${@:4}") extra=()
  [ "$direction" = backward ] && extra=(--backwards)
  for ((i = 1; i <= RUNS; i++)); do
    t0=$(now)
    count_grep=$(LC_ALL=C grep -c "$mode" "${flags[@]}" -e "$pattern" "$script" || true)
    t1=$(now)
    s=$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')
    if [ -z "$best_grep" ] || awk -v a="$s" -v b="$best_grep" 'BEGIN { exit !(a < b) }'; then best_grep=$s; fi
    read -r count_ours l s _ < <("$BUILD/bin/tarnwick-search-count" "$mode" "${flags[@]}" "${extra[@]}" "$pattern" "$script")
    load=$l
    if [ -z "$best_ours" ] || awk -v a="$s" -v b="$best_ours" 'BEGIN { exit !(a < b) }'; then best_ours=$s; fi
  done
  mode="$mode${flags[*]:+ ${flags[*]}}"
  [ "$count_grep" = "$count_ours" ] || die "'$pattern' ($mode, $direction): grep counts $count_grep lines, we count $count_ours"
  awk -v p="$pattern" -v m="$mode" -v d="$direction" -v n="$count_ours" -v g="$best_grep" -v o="$best_ours" \
      -v l="$load" -v mib="$mib" 'BEGIN {
    printf "| `%s` | %s | %s | %d | %.3f s (%.0f MiB/s) | %.3f s (%.0f MiB/s) | %.2f | %.2f s |\n",
           p, m, d, n, o, mib / o, g, mib / g, o / g, l }'
}

echo "Script: $mib MiB, best of $RUNS runs."
echo
echo "| pattern | mode | direction | lines | ours (search) | grep | ours / grep | our load |"
echo "|---|---|---|---|---|---|---|---|"
for direction in forward backward; do
  compare -F "$direction" zebra_crossing
  compare -F "$direction" customer_id
  compare -E "$direction" tablespace
  compare -E "$direction" 'select.*from'
  compare -E "$direction" 'varchar2\([0-9]+\)'
  compare -E "$direction" '[a-z_]+_id'
  compare -F "$direction" SELECT -i
  compare -E "$direction" '(commit|begin) end'
  compare -E "$direction" '[0-9]{5}x'
done
