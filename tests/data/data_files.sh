#!/usr/bin/env bash
# What is installed beside the programs: the desktop entry and the AppStream
# metadata pass their validators, the manual pages format without warnings,
# and vandro-admin's manual page documents every command its --help lists.
# Usage: data_files.sh SOURCE_DIR BUILD_DIR VANDRO_ADMIN
set -u
source_dir=$1
build_dir=$2
admin=$3
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

for tool in desktop-file-validate appstreamcli man; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed (scripts/install-deps.sh installs it)"; exit 1; }
done

desktop-file-validate "$build_dir/data/org.vandro.Vandro.desktop" || fail "the desktop entry"
grep -qx 'StartupWMClass=Vandro' "$build_dir/data/org.vandro.Vandro.desktop" || fail "StartupWMClass"
appstreamcli validate --no-net "$source_dir/data/org.vandro.Vandro.metainfo.xml" >/dev/null || {
  appstreamcli validate --no-net "$source_dir/data/org.vandro.Vandro.metainfo.xml"
  fail "the AppStream metadata"
}

for page in Vandro.1 vandro-admin.1; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$source_dir/data/man/$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$page formats with warnings: $warnings"
done

# The commands --help lists (and the subcommands of those that have them),
# each of which the manual page must name in bold: ".B alias set" and the like.
page=$(cat "$source_dir/data/man/vandro-admin.1")
subcommands() { "$admin" "$@" --help | sed -n '/^Subcommands:/,$p' | sed -n 's/^  \([a-z][a-z-]*\) .*/\1/p'; }
for command in $(subcommands); do
  nested=$(subcommands "$command")
  names=("$command")
  [ -n "$nested" ] && names=($(for sub in $nested; do echo "$command:$sub"; done))
  for name in "${names[@]}"; do
    words=${name//:/ }
    grep -qE "^\.(B|BI|BR) \"?$words\b" <<<"$page" || fail "vandro-admin.1 does not document \"$words\""
  done
  # Every option of the command too.
  for option in $("$admin" $command --help | sed -n 's/^ *\(-[a-z],\)\?\(--[a-z-]*\).*/\2/p' | grep -v -- '--help'); do
    grep -qF -- "${option//-/\\-}" <<<"$page" || fail "vandro-admin.1 does not document $command's $option"
  done
done

[ "$failures" -eq 0 ] || exit 1
echo "ok: desktop entry, metadata and manual pages"
