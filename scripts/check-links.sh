#!/usr/bin/env bash
# Fails when a program's link line holds a project library it must not: every parlorix_<name>
# library on it must be one of the allowed names, and no engine library from outside (SDL, its
# mixer, FreeType) may be there at all. Reads the link command CMake wrote into the build tree.
#
#   bash scripts/check-links.sh BUILD_DIR TARGET [ALLOWED_LIBRARY...]
set -euo pipefail
build="$1"
target="$2"
shift 2

line=""
link_txt="$(find "$build" -path "*/CMakeFiles/$target.dir/link.txt" -print -quit)"
if [ -n "$link_txt" ]; then
  line="$(cat "$link_txt")"
elif [ -f "$build/build.ninja" ]; then
  line="$(ninja -C "$build" -t commands "$target" | tail -n 1)"
fi
if [ -z "$line" ]; then
  echo "check-links: no link command for $target in $build"
  exit 1
fi

status=0
found=""
for word in $line; do
  name="$(basename -- "$word")"
  case "$name" in
  libparlorix_*.a)
    lib="${name#lib}"
    lib="${lib%.a}"
    found="$found $lib"
    ok=0
    for a in "$@"; do [ "$a" = "$lib" ] && ok=1; done
    if [ $ok = 0 ]; then
      echo "check-links: $target links $lib"
      status=1
    fi
    ;;
  -lSDL2* | libSDL2*.so* | libSDL2*.a | -lfreetype | libfreetype.so*)
    echo "check-links: $target links the engine's $name"
    status=1
    ;;
  esac
done
[ $status = 0 ] && echo "check-links: $target links only:${found:- no project library}"
exit $status
