#!/usr/bin/env bash
# Builds the .deb from a built tree and checks it as a Debian packager would: lintian (no error or
# warning), the desktop entry, the AppStream metadata (pedantic) and the manual page, all as they
# stand inside the package.
#   scripts/package.sh [build folder]      (default: build; the .deb goes to <build>/package)
set -euo pipefail
cd "$(dirname "$0")/.."

build=$(realpath "${1:-build}")
out="$build/package"
[ -f "$build/CPackConfig.cmake" ] || { echo "package.sh: $build is not a configured build tree" >&2; exit 1; }
[ -f "$build/game.dat" ] || { echo "package.sh: $build holds no game.dat (configure it with PARLORIX_CONTENT=ON and build it)" >&2; exit 1; }

rm -rf "$out"
mkdir -p "$out"
# The tree as it was built: naming the Ninja generator keeps CPack from rebuilding every target.
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out" -D CPACK_CMAKE_GENERATOR=Ninja > "$out/cpack.log" 2>&1 ||
  { cat "$out/cpack.log" >&2; echo "package.sh: cpack failed" >&2; exit 1; }
deb=$(find "$out" -maxdepth 1 -name 'parlorix_*.deb' | head -n 1)
[ -n "$deb" ] || { cat "$out/cpack.log" >&2; echo "package.sh: no .deb was made" >&2; exit 1; }
echo "== $deb"

failed=0
check() { # name, command...
  local name=$1
  shift
  if "$@" > "$out/$name.log" 2>&1; then
    echo "ok   $name"
  else
    echo "FAIL $name"
    sed 's/^/     /' "$out/$name.log"
    failed=1
  fi
}

root="$out/root"
dpkg-deb -x "$deb" "$root"
# Informational tags are shown but do not fail; an override in the package carries its reason.
check lintian lintian --fail-on error,warning --display-info --show-overrides "$deb"
check desktop-file-validate desktop-file-validate "$root/usr/share/applications/parlorix.desktop"
for meta in "$root"/usr/share/metainfo/*.metainfo.xml; do
  check appstream appstreamcli validate --pedantic --no-net "$meta"
done
man="$root/usr/share/man/man6/parlorix.6.gz"
manual_lint() { zcat "$man" | mandoc -T lint -W warning && zcat "$man" | groff -ww -z -man 2>&1 | (! grep .); }
check manual manual_lint

if [ "$failed" -ne 0 ]; then
  echo "package.sh: the package has findings (logs in $out)" >&2
  exit 1
fi
echo "package.sh: $(basename "$deb") is clean"
