#!/bin/sh
# Makes a sample game with 512 MiB archives and times PatchArt01 on
# art_01.big against a plain copy and the literal byte-at-a-time scan.
#
#   bench/art_scan_bench.sh [BUILD_DIR] [SCRATCH_DIR] [ARCHIVE_MIB]
#
# BUILD_DIR defaults to build/, SCRATCH_DIR to BUILD_DIR/bench-data (deleted
# afterwards), ARCHIVE_MIB to 512.  Needs about 4 times ARCHIVE_MIB of disk.
set -eu

build=$(cd "${1:-build}" && pwd)
scratch=${2:-$build/bench-data}
mib=${3:-512}

rm -rf "$scratch"
mkdir -p "$scratch/work"
trap 'rm -rf "$scratch"' EXIT

"$build/make-sample-game" "$scratch/game" --archive-mib "$mib" > /dev/null
"$build/bench/art_scan_bench" "$scratch/game/art_01.big" "$scratch/work" --runs 5
