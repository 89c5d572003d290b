#!/usr/bin/env bash
# Checks the Debian package that `make deb` wrote: exactly the files it must
# ship, owned by root, and no lintian error. Usage: check-package.sh DEB
set -euo pipefail
deb=$1
expected="./usr/bin/Vandro
./usr/bin/vandro-admin
./usr/share/applications/org.vandro.Vandro.desktop
./usr/share/doc/vandro/changelog.gz
./usr/share/doc/vandro/copyright
./usr/share/icons/hicolor/scalable/apps/org.vandro.Vandro.svg
./usr/share/man/man1/Vandro.1.gz
./usr/share/man/man1/vandro-admin.1.gz
./usr/share/metainfo/org.vandro.Vandro.metainfo.xml
./usr/share/vandro/gum-map.csv"
shipped=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort)
if [ "$shipped" != "$(sort <<<"$expected")" ]; then
  echo "FAIL: the package ships other files than expected:" >&2
  diff <(sort <<<"$expected") <(echo "$shipped") >&2 || true
  exit 1
fi
owners=$(dpkg-deb -c "$deb" | awk '{print $2}' | sort -u)
[ "$owners" = "root/root" ] || { echo "FAIL: files not owned by root: $owners" >&2; exit 1; }
dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6 || { echo "FAIL: no library dependencies" >&2; exit 1; }
lintian --fail-on error "$deb"
echo "ok: $deb"
