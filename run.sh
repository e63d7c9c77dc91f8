#!/usr/bin/env bash
# Installs what is missing, builds, and runs the main job: a version run of the example script,
# which writes one file per SQL version of the example version table and prints their names.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target tarnwick-versions

# Work on a copy so that the generated files stay out of the source tree.
work=build/examples
rm -rf "$work"
cp -r examples "$work"
export TARNWICK_CONFIG_DIR="$PWD/$work"

echo "Versions in $work/tarnwick.edf:"
build/bin/tarnwick-versions list
echo
echo "Files written:"
build/bin/tarnwick-versions run "$work/inventory.sql"
