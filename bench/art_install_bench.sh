#!/bin/sh
# Times a whole install and a whole uninstall of a sample game of about 1 GB
# (three archives and 206 country databases), which write every rewritten
# file to stable storage before they delete a backup, against `cp -r` of the
# folder followed by `sync`, and `cp -r` alone; reports the peak resident
# memory of each run, and checks that the uninstall gave every file back.
#
#   bench/art_install_bench.sh [BUILD_DIR] [SCRATCH_DIR] [ARCHIVE_MIB] [DATABASE_KIB] [RUNS]
#
# Defaults: build/, BUILD_DIR/bench-install (deleted afterwards), archives of
# 300 MiB, databases of about 512 KiB, 3 runs (best time of each is shown).
# Needs /usr/bin/time and about 3 times the folder's size of disk.
set -eu

build=$(cd "${1:-build}" && pwd)
scratch=${2:-$build/bench-install}
mib=${3:-300}
kib=${4:-512}
runs=${5:-3}

rm -rf "$scratch"
mkdir -p "$scratch"
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"

"$build/make-sample-game" game --archive-mib "$mib" --database-kib "$kib" > /dev/null
size_mib=$(du -sm game | cut -f1)

# timed LABEL COMMAND...: runs COMMAND with standard input from /dev/null and
# its output discarded; sets `seconds` and `peak_kib`.
timed() {
  label=$1
  shift
  sync
  start=$(date +%s.%N)
  /usr/bin/time -f %M -o "$scratch/rss" "$@" < /dev/null > /dev/null 2> "$scratch/stderr" || {
    echo "$label failed:" >&2
    cat "$scratch/stderr" >&2
    exit 1
  }
  end=$(date +%s.%N)
  seconds=$(echo "$end - $start" | bc)
  peak_kib=$(tail -n 1 "$scratch/rss")
}

best() { if [ -z "$1" ] || [ "$(echo "$2 < $1" | bc)" = 1 ]; then echo "$2"; else echo "$1"; fi; }

best_cp= best_cp_sync= best_install= best_uninstall= peak=0
run=1
while [ "$run" -le "$runs" ]; do
  rm -rf pristine
  timed "cp -r" cp -r game pristine
  best_cp=$(best "$best_cp" "$seconds")
  rm -rf pristine
  timed "cp -r + sync" sh -c 'cp -r game pristine && sync'
  best_cp_sync=$(best "$best_cp_sync" "$seconds")

  timed install sh -c 'cd game && exec "$0"' "$build/vandoril-patch"
  best_install=$(best "$best_install" "$seconds")
  [ "$peak_kib" -gt "$peak" ] && peak=$peak_kib

  timed uninstall sh -c 'cd game && exec "$0" /uninstall' "$build/vandoril-patch"
  best_uninstall=$(best "$best_uninstall" "$seconds")
  [ "$peak_kib" -gt "$peak" ] && peak=$peak_kib

  rm -f game/editor.log
  "$build/make-sample-game" --compare pristine game > /dev/null || {
    echo "run $run: the uninstall did not give every file back" >&2
    exit 1
  }
  run=$((run + 1))
done

echo "sample game: ${size_mib} MiB (archives ${mib} MiB each, databases about ${kib} KiB); best of $runs runs"
printf 'cp -r + sync: %7.3f s\n' "$best_cp_sync"
printf 'cp -r:        %7.3f s\n' "$best_cp"
printf 'install:      %7.3f s  %.2fx cp -r + sync (target <= 1.5x), %.2fx cp -r\n' "$best_install" \
  "$(echo "$best_install / $best_cp_sync" | bc -l)" "$(echo "$best_install / $best_cp" | bc -l)"
printf 'uninstall:    %7.3f s  %.2fx cp -r + sync, %.2fx cp -r\n' "$best_uninstall" \
  "$(echo "$best_uninstall / $best_cp_sync" | bc -l)" "$(echo "$best_uninstall / $best_cp" | bc -l)"
printf 'peak resident memory of vandoril-patch: %.1f MiB (target <= 16 MiB)\n' "$(echo "$peak / 1024" | bc -l)"
echo "after each uninstall every file was as before the install"
