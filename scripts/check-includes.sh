#!/usr/bin/env bash
# Fails when a folder includes a project folder it must not. The table below is the module graph:
# each folder may include itself and the folders listed after it, nothing else. The game model
# (game/) includes no other folder: it is engine-free, and the screens (screens/) put it on the
# engine. A new folder, or a new direction, is added here on purpose, in the same change that
# needs it.
#
#   bash scripts/check-includes.sh [root]     (root defaults to the repository)
set -euo pipefail
root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"

declare -A allowed=(
  [platform]=""
  [core]="platform"
  [picture]="core platform"
  [sound]="core platform"
  [input]="core platform"
  [scene]="core platform picture"
  [gfx]="core platform picture scene"
  [ui]="core platform picture scene gfx sound input"
  [game]=""
  [screens]="core platform picture scene gfx sound input ui game"
  [app]="core platform picture scene gfx sound input ui game screens"
  [tools]="core platform picture scene gfx sound input ui game"
  [fuzz]="core platform picture scene gfx sound input ui game"
  [bench]="core platform picture scene gfx sound input ui game screens app"
  [tests]="core platform picture scene gfx sound input ui game screens app support"
)

status=0
for folder in "${!allowed[@]}"; do
  [ -d "$root/$folder" ] || continue
  while IFS= read -r hit; do
    file="${hit%%:*}"
    rest="${hit#*:}"
    line="${rest%%:*}"
    header="$(sed -E 's/.*#include "([^"]+)".*/\1/' <<<"$rest")"
    target="${header%%/*}"
    [ "$target" = "$header" ] && continue # same-folder include without a folder name
    [ "$target" = "$folder" ] && continue
    [ -d "$root/$target" ] || [ "$target" = support ] || continue # a system header such as "gtest/gtest.h"
    ok=0
    for a in ${allowed[$folder]}; do [ "$a" = "$target" ] && ok=1; done
    if [ $ok = 0 ]; then
      echo "${file#"$root"/}:$line: $folder/ must not include \"$header\""
      status=1
    fi
  done < <(grep -rnE '^\s*#\s*include\s+"[^"]+"' "$root/$folder" --include='*.cpp' --include='*.h' || true)
done
[ $status = 0 ] && echo "check-includes: every include goes in an allowed direction"
exit $status
