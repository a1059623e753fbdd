#!/usr/bin/env bash
# Refreshes the pictures that the AppStream metadata shows in software centres
# (docs/screenshots/, published at the project's home page) from the game's own pictures of its
# screens, which the headless session test writes into <build>/screens-shots.
#   scripts/screenshots.sh [build folder]      (default: build; needs ImageMagick's convert)
set -euo pipefail
cd "$(dirname "$0")/.."
shots="${1:-build}/screens-shots"
command -v convert > /dev/null || { echo "screenshots.sh: needs convert (Debian package imagemagick)" >&2; exit 1; }
for name in title lines-in-play groups-in-play high-scores; do
  [ -f "$shots/$name.bmp" ] || { echo "screenshots.sh: no $shots/$name.bmp; run the test suite first" >&2; exit 1; }
  convert "$shots/$name.bmp" -strip "docs/screenshots/$name.png"
done
echo "screenshots.sh: docs/screenshots refreshed"
