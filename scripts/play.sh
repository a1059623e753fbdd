#!/usr/bin/env bash
# One command from a fresh clone to a running game: packages, Release build (which also
# generates the game's content into build/Data and build/game.dat), then start the game.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)

bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DPARLORIX_TESTS=OFF
cmake --build build -j"$(nproc)"

if [ ! -x build/app/parlorix ]; then
  echo "Everything is built, but there is no game binary yet."
  exit 0
fi
cd build
exec "$ROOT/build/app/parlorix"
