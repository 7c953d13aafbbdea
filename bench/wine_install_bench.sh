#!/bin/sh
# Times the Windows program under Wine: an install and an uninstall of the
# default sample game and of one with 64 MiB archives, each against the floor
# of an install (bench/wine/install_floor.cpp: the 213 files moved aside,
# rewritten through user space and flushed, the backups deleted, the editor
# and "pause" started through system()), in the same rounds and the same kind
# of folder, the order within a round alternating.  Prints the medians, and
# the median and range (min-max) of the per-round ratios to the floor; then
# the file calls of one more install of the default sample game and of the
# floor, counted by the tests' counter (vandoril-patch-faults.exe and
# install-floor-counted.exe of the same build), in all and per rewritten file
# (213).  Checks that every run ended with status 0 and nothing on standard
# error, and that after the uninstalls every file is as before.
#
#   bench/wine_install_bench.sh [BUILD_DIR] [ROUNDS] [PROGRAM_EXE]
#
# Defaults: build/ (a native build, whose target windows-build makes the
# Windows programs in BUILD_DIR/windows), 5 rounds, the program of that build.
# Wine runs in a prefix of its own, BUILD_DIR/wine-bench-prefix (made on the
# first run and kept), with its server kept running, address space
# randomisation off, and standard input from /dev/null.  The folders are made
# in BUILD_DIR/bench-wine and deleted afterwards.
set -eu

build=$(cd "${1:-build}" && pwd)
rounds=${2:-5}
patch=${3:-$build/windows/vandoril-patch.exe}
editor=$build/windows/stand-ins/editor.exe
floor=$build/windows/bench/install-floor.exe
for file in "$patch" "$editor" "$floor" "$build/make-sample-game"; do
  [ -f "$file" ] || { echo "missing $file: build it with 'cmake --build $build --target windows-build'" >&2; exit 1; }
done

wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(dirname "$wine")/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)
export WINEPREFIX="$build/wine-bench-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
# Wine as packaged here has no preloader: with address space randomisation a
# new process now and then cannot start (see docs/testing.md).
run_wine() {
  if setarch "$(uname -m)" -R true 2> /dev/null; then setarch "$(uname -m)" -R "$wine" "$@"; else "$wine" "$@"; fi
}

scratch=$build/bench-wine
rm -rf "$scratch"
mkdir -p "$scratch"
trap '"$wineserver" -k 2> /dev/null; rm -rf "$scratch"' EXIT
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  run_wine wineboot --init < /dev/null > "$scratch/wineboot.log" 2>&1
  "$wineserver" -w
fi
"$wineserver" -p 2> /dev/null || true  # kept running; status 2 when it runs already
run_wine cmd /c exit < /dev/null > /dev/null 2>&1  # the first start loads the prefix

# make_game NAME OPTIONS...: a sample game with the Windows programs, and a
# pristine copy of it.
make_game() {
  name=$1
  shift
  "$build/make-sample-game" "$scratch/$name" "$@" > /dev/null
  cp "$editor" "$scratch/$name/editor.exe"
  cp "$patch" "$scratch/$name/vandoril-patch.exe"
  cp "$floor" "$scratch/$name/install-floor.exe"
  cp -r "$scratch/$name" "$scratch/$name.pristine"
}

# timed WHAT FOLDER PROGRAM ARGUMENTS...: runs PROGRAM in FOLDER and appends
# the seconds that it took to $scratch/FOLDER.WHAT.
timed() {
  what=$1 folder=$2 program=$3
  shift 3
  start=$(date +%s.%N)
  status=0
  (cd "$scratch/$folder" && run_wine "$program" "$@" < /dev/null > "$scratch/out" 2> "$scratch/err") || status=$?
  end=$(date +%s.%N)
  if [ "$status" -ne 0 ] || [ -s "$scratch/err" ]; then
    echo "$folder: $program $* ended with status $status:" >&2
    cat "$scratch/err" >&2
    exit 1
  fi
  echo "$end - $start" | bc >> "$scratch/$folder.$what"
}

median() { sort -n "$1" | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# ratios NUMERATOR DENOMINATOR: median and range of the per-round ratios
ratios() {
  paste "$1" "$2" | awk '{ print $1 / $2 }' | sort -n |
    awk '{ v[NR] = $1 } END { m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
           printf "median %.2fx, range %.2fx-%.2fx", m, v[1], v[NR] }'
}

make_game default
make_game big --archive-mib 64
round=1
while [ "$round" -le "$rounds" ]; do
  for game in default big; do
    if [ $((round % 2)) -eq 1 ]; then timed floor "$game" install-floor.exe; fi
    timed install "$game" vandoril-patch.exe
    timed uninstall "$game" vandoril-patch.exe /uninstall
    if [ $((round % 2)) -eq 0 ]; then timed floor "$game" install-floor.exe; fi
  done
  round=$((round + 1))
done

for game in default big; do
  rm -f "$scratch/$game/editor.log"
  "$build/make-sample-game" --compare "$scratch/$game.pristine" "$scratch/$game" > /dev/null || {
    echo "$game: the uninstalls did not give every file back" >&2
    exit 1
  }
done

echo "Windows program under Wine ($("$wine" --version)), medians of $rounds rounds"
for game in default big; do
  floor_s=$(median "$scratch/$game.floor")
  install_s=$(median "$scratch/$game.install")
  uninstall_s=$(median "$scratch/$game.uninstall")
  label="default sample game ($(du -sm "$scratch/$game.pristine" | cut -f1) MiB)"
  [ "$game" = big ] && label="sample game with 64 MiB archives ($(du -sm "$scratch/$game.pristine" | cut -f1) MiB)"
  echo "$label:"
  printf '  floor      %6.2f s\n' "$floor_s"
  printf '  install    %6.2f s  per round %s the floor\n' "$install_s" "$(ratios "$scratch/$game.install" "$scratch/$game.floor")"
  printf '  uninstall  %6.2f s  per round %s the floor\n' "$uninstall_s" "$(ratios "$scratch/$game.uninstall" "$scratch/$game.floor")"
done
echo "after the uninstalls every file was as before the installs"

# The file calls of one install and of the floor, as the tests' counter
# traces them (one line a call) into a file named by a Windows path.
counted_patch=$build/windows/stand-ins/vandoril-patch-faults.exe
counted_floor=$build/windows/bench/install-floor-counted.exe
[ -f "$counted_patch" ] && [ -f "$counted_floor" ] || { echo "no counted programs: no calls"; exit 0; }
counted() {
  rm -f "$scratch/$1.trace"
  (cd "$scratch/default" && VANDORIL_FAULT_TRACE="Z:$(echo "$scratch/$1.trace" | tr / '\\')" run_wine "$2" < /dev/null > /dev/null 2>&1)
}
counted install "$counted_patch"
(cd "$scratch/default" && run_wine vandoril-patch.exe /uninstall < /dev/null > /dev/null 2>&1)
counted floor "$counted_floor"
install_calls=$(wc -l < "$scratch/install.trace")
floor_calls=$(wc -l < "$scratch/floor.trace")
printf 'file calls, default sample game: install %d (%.1f per rewritten file), floor %d (%.1f), %.2fx\n' \
  "$install_calls" "$(echo "$install_calls / 213" | bc -l)" "$floor_calls" "$(echo "$floor_calls / 213" | bc -l)" \
  "$(echo "$install_calls / $floor_calls" | bc -l)"
for what in install floor; do
  printf '  %-8s' "$what"
  awk '{ n[$2]++ } END { for (c in n) printf "%s %d\n", c, n[c] }' "$scratch/$what.trace" | sort -k2 -nr |
    awk '{ printf " %s %d", $1, $2 } END { print "" }'
done
