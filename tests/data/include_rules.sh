#!/usr/bin/env bash
# The layer check of every compile (cmake/checked-compile.sh) refuses each
# spelling that reaches a header its layers do not offer, or a Qt module the
# target does not link, and passes the includes a layer may use.
# Usage: include_rules.sh SOURCE_DIR
set -euo pipefail
check="$1/cmake/checked-compile.sh"
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
tree=$(realpath "$tree")
mkdir -p "$tree/src/engine/sqlite" "$tree/src/store" "$tree/src/demo" "$tree/layers/store"
ln -s "$tree/src/engine" "$tree/layers/store/engine"
touch "$tree/src/engine/Record.h" "$tree/src/demo/DemoTable.h" "$tree/src/store/Own.h"
qt=$(ls -d /usr/include/*/qt6 2>/dev/null | head -n1)
# The store offers itself, links the engine and Qt Core.
compile() {
  bash "$check" "$tree" "$tree/src/store/|$tree/src/engine/" "QtCore" -- \
    g++ -std=c++20 -I"$tree/layers/store" -isystem "$qt" -isystem "$qt/QtCore" -fPIC \
    -MD -MT "$tree/out.o" -MF "$tree/out.o.d" -o "$tree/out.o" -c "$tree/src/store/Table.cpp" 2>&1
}
printf '#include "engine/Record.h"\n#include "Own.h"\n#include <QString>\n' >"$tree/src/store/Table.cpp"
out=$(compile) || { echo "FAIL: allowed includes refused: $out"; exit 1; }
printf '#include "../demo/DemoTable.h"\n' >"$tree/src/store/Other.inc"
status=0
while IFS= read -r source; do
  printf '%b\n' "$source" >"$tree/src/store/Table.cpp"
  if out=$(compile); then
    echo "FAIL: passed: $source"
    status=1
  elif ! grep -q "src/store/Table.cpp: reads" <<<"$out"; then
    echo "FAIL: refused without naming the file and header: $source: $out"
    status=1
  elif [ -e "$tree/out.o" ]; then
    echo "FAIL: the object file of a refused compile is left: $source"
    status=1
  fi
done <<'SPELLINGS'
#include "engine/../demo/DemoTable.h"
#include <engine/../demo/DemoTable.h>
#include "../demo/DemoTable.h"
#include /* a comment */ "../demo/DemoTable.h"
#define HEADER "../demo/DemoTable.h"\n#include HEADER
#include "../demo/\\\nDemoTable.h"
#include "Other.inc"
#include <QtWidgets/QWidget>
#include "QtWidgets/QWidget"
#include <QtCore/../QtWidgets/QWidget>
SPELLINGS
printf '#include "%s/src/demo/DemoTable.h"\n' "$tree" >"$tree/src/store/Table.cpp"
if compile >/dev/null; then
  echo "FAIL: passed: an absolute path"
  status=1
fi
exit $status
