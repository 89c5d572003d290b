#!/usr/bin/env bash
# Compiles as asked, then holds the headers the compiler read (its -MF
# dependency file, written however the source spelled its includes: "..",
# links, macros, comments, included files of any name) to the layer rules:
# - a file of the project's src/ or tools/ must be the target's own or one
#   its layers offer (ENTRIES: "DIR/" a whole folder, "DIR/*" the files
#   directly in it, else one file);
# - a Qt header must belong to a module the target links (QT_MODULES; none
#   at all when empty).
# A refusal names the source and the header, removes the object file and
# fails the compile, so the library is never built with it.
# Usage: checked-compile.sh ROOT ENTRIES QT_MODULES -- COMPILER ARGUMENTS...
# (ENTRIES and QT_MODULES separated by "|").
root=$1 entries=$2 modules=$3
shift 4
"$@" || exit $?
depfile="" object="" source="" previous=""
for argument in "$@"; do
  case $previous in
    -MF) depfile=$argument ;;
    -o) object=$argument ;;
    -c) source=$argument ;;
  esac
  previous=$argument
done
[ -n "$depfile" ] && [ -f "$depfile" ] || exit 0
# The headers: every name after the rule's target, line continuations gone.
mapfile -t headers < <(sed -e 's/\\$//' "$depfile" | tr ' \t' '\n\n' | sed -e '0,/:$/d' -e '/^$/d')
[ ${#headers[@]} -gt 0 ] || exit 0
problems=$(realpath -m -- "${headers[@]}" | awk -v root="$root" -v entries="$entries" -v modules="$modules" '
  BEGIN { n = split(entries, allowed, "|"); m = split(modules, qt, "|") }
  function offered(path,    i, entry, folder, rest) {
    for (i = 1; i <= n; i++) {
      entry = allowed[i]
      if (entry ~ /\/\*$/) {
        folder = substr(entry, 1, length(entry) - 1)
        rest = substr(path, length(folder) + 1)
        if (index(path, folder) == 1 && rest !~ /\//) return 1
      } else if (entry ~ /\/$/) {
        if (index(path, entry) == 1) return 1
      } else if (path == entry) return 1
    }
    return 0
  }
  function linked(module,    i) { for (i = 1; i <= m; i++) if (qt[i] == module) return 1; return 0 }
  {
    if (index($0, root "/src/") == 1 || index($0, root "/tools/") == 1) {
      if (!offered($0)) print "reads " substr($0, length(root) + 2) ", which its layers do not offer"
    } else if (match($0, /\/qt6\/Qt[A-Za-z]+\//)) {
      module = substr($0, RSTART + 5, RLENGTH - 6)
      if (!linked(module)) print "reads " $0 ", a header of " module ", which it does not link"
    }
  }')
if [ -n "$problems" ]; then
  while IFS= read -r line; do echo "${source#"$root"/}: $line" >&2; done <<<"$problems"
  rm -f -- "$object"
  exit 1
fi
exit 0
