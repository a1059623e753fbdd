#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, separate build folder build-fuzz), seeds them from the
# generated content, replays every kept regression input, then fuzzes each target in turn.
#
#   scripts/fuzz.sh                   # every target for 600 s (the documented long run)
#   scripts/fuzz.sh --seconds 12      # the short bounded run of scripts/test.sh
#   scripts/fuzz.sh --targets "gif tga" --seconds 60
#   scripts/fuzz.sh --replay-only     # only the regression inputs
#
# The content comes from $PARLORIX_DATA_DIR (a build tree holding Data/), else build-test or build.
# One fuzzing process at a time. The working corpus grows in build-fuzz/corpus/<target>; a crash
# stops the run and leaves its input in build-fuzz/crashes/<target>/ (keep it under
# fuzz/regressions/<target>/ once the fault is mended).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)

SECONDS_PER_TARGET=600
TARGETS="archive config texttable scene render library ani pcx bmp tga jpeg gif"
REPLAY_ONLY=0
BUILD=${PARLORIX_FUZZ_BUILD:-$ROOT/build-fuzz}
while [ $# -gt 0 ]; do
  case "$1" in
  --seconds) SECONDS_PER_TARGET=$2; shift 2 ;;
  --targets) TARGETS=$2; shift 2 ;;
  --replay-only) REPLAY_ONLY=1; shift ;;
  *) echo "fuzz.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done

DATA=${PARLORIX_DATA_DIR:-}
if [ -z "$DATA" ]; then
  for d in build-test build; do
    if [ -d "$ROOT/$d/Data" ]; then DATA=$ROOT/$d; break; fi
  done
fi

echo "== Fuzz build ($BUILD)"
if [ ! -f "$BUILD/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$BUILD" -DPARLORIX_FUZZ=ON -DPARLORIX_SANITIZE=ON -DPARLORIX_TESTS=OFF \
    -DPARLORIX_CONTENT=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
BUILD_TARGETS="jpeg_seeds datpack"
for t in $TARGETS; do BUILD_TARGETS="$BUILD_TARGETS fuzz_$t"; done
# shellcheck disable=SC2086
cmake --build "$BUILD" -j"$(nproc)" --target $BUILD_TARGETS

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

# Seeds: the game's own files of each kind, plus small pictures of every layout the decoders read.
SEEDS=$BUILD/seeds
rm -rf "$SEEDS"
mkdir -p "$SEEDS"
for t in $TARGETS; do mkdir -p "$SEEDS/$t"; done
copy_seeds() { # target, max bytes, files...
  local target=$1 max=$2
  shift 2
  [ -d "$SEEDS/$target" ] || return 0
  for f in "$@"; do
    if [ -f "$f" ] && [ "$(stat -c %s "$f")" -le "$max" ] && [ "$(stat -c %s "$f")" -gt 0 ]; then
      cp "$f" "$SEEDS/$target/"
    fi
  done
}
if [ -n "$DATA" ]; then
  L=$DATA/Data/Library
  shopt -s nullglob
  copy_seeds config 65536 "$DATA/Game.ini" "$L"/*/library.ini "$L"/Item/*.item "$L"/Animation/*.ani
  copy_seeds library 65536 "$L"/*/library.ini
  copy_seeds texttable 262144 "$L"/text/*.txt
  copy_seeds scene 262144 "$DATA"/Data/Levels/*.eed
  copy_seeds render 262144 "$DATA"/Data/Levels/*.eed
  copy_seeds ani 65536 "$L"/Animation/*.ani
  copy_seeds tga 70000 "$L"/*/*.tga
  copy_seeds jpeg 70000 "$L"/Background/*.jpg
  copy_seeds gif 4096 "$L"/AniGifs/*.gif
  if [ -d "$SEEDS/archive" ]; then
    # A small archive of a few of the real files (the whole game.dat is too big to mutate).
    A=$BUILD/seed-archive/Data
    rm -rf "$A" && mkdir -p "$A/Library/text" "$A/Levels"
    cp "$L"/text/*.txt "$A/Library/text/" 2>/dev/null || true
    cp "$L"/Item/Brick1.item "$L"/Light/library.ini "$A/Library/" 2>/dev/null || true
    "$BUILD/tools/datpack/datpack" "$A" "$SEEDS/archive/small.dat" >/dev/null
  fi
  shopt -u nullglob
else
  echo "fuzz.sh: no generated content found (set PARLORIX_DATA_DIR); seeding from fuzz/seeds only" >&2
fi
python3 fuzz/seeds/make_pictures.py "$SEEDS/pictures"
for k in pcx bmp tga; do
  if [ -d "$SEEDS/$k" ]; then cp "$SEEDS/pictures/$k"/* "$SEEDS/$k/"; fi
done
if [ -d "$SEEDS/jpeg" ]; then "$BUILD/fuzz/jpeg_seeds" "$SEEDS/jpeg"; fi
if [ -d "$SEEDS/ani" ]; then cp fuzz/seeds/ani/* "$SEEDS/ani/"; fi

# Kept inputs that once crashed a target: each must now run clean.
echo "== Fuzz regression inputs"
for t in $TARGETS; do
  R=fuzz/regressions/$t
  if [ -d "$R" ] && [ -n "$(ls -A "$R")" ]; then
    (cd "$BUILD" && "$BUILD/fuzz/fuzz_$t" "$ROOT/$R"/* >"$BUILD/replay-$t.log" 2>&1) || {
      echo "fuzz_$t: a regression input fails again; see $BUILD/replay-$t.log" >&2
      exit 1
    }
    echo "fuzz_$t: $(ls "$R" | wc -l) regression input(s) run clean"
  fi
done
[ "$REPLAY_ONLY" = 1 ] && exit 0

echo "== Fuzzing, ${SECONDS_PER_TARGET} s per target"
mkdir -p "$BUILD/logs"
for t in $TARGETS; do
  mkdir -p "$BUILD/corpus/$t" "$BUILD/crashes/$t"
  LOG=$BUILD/logs/$t.log
  if ! (cd "$BUILD" && "$BUILD/fuzz/fuzz_$t" -max_total_time="$SECONDS_PER_TARGET" -timeout=20 -rss_limit_mb=2560 \
    -print_final_stats=1 -artifact_prefix="$BUILD/crashes/$t/" "$BUILD/corpus/$t" "$SEEDS/$t" >"$LOG" 2>&1); then
    echo "fuzz_$t: FAILED; the input is in $BUILD/crashes/$t/, the report in $LOG" >&2
    grep -m1 -E "ERROR|runtime error|Assertion" "$LOG" >&2 || tail -n 20 "$LOG" >&2
    exit 1
  fi
  # Last status line: "#<n> DONE cov: <c> ft: <f> corp: ..." and the executed-unit count.
  STATUS=$(grep -E '^#[0-9]+' "$LOG" | tail -n 1 || true)
  EXECS=$(sed -n 's/^stat::number_of_executed_units: *//p' "$LOG" | tail -n 1)
  COV=$(echo "$STATUS" | sed -n 's/.* cov: \([0-9]*\).*/\1/p')
  FT=$(echo "$STATUS" | sed -n 's/.* ft: \([0-9]*\).*/\1/p')
  printf 'fuzz_%-10s %8s execs  cov %5s  ft %6s  corpus %s\n' "$t" "${EXECS:-?}" "${COV:-?}" "${FT:-?}" \
    "$(ls "$BUILD/corpus/$t" | wc -l)"
done
echo "Fuzzing found no crash."
