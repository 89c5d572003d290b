#!/usr/bin/env bash
# Makes the demo table when there is none, then starts the program.
set -euo pipefail
build_dir=${1:-build}
if [ ! -x "$build_dir/Vandro" ]; then
  echo "The program itself is not built yet; the engine and its tests are." >&2
  exit 0
fi
"$build_dir/vandro-admin" init --demo
exec "$build_dir/Vandro"
