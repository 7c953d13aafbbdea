#!/bin/sh
# Times a whole install and a whole uninstall of a sample game of about 1 GB
# (three archives and 206 country databases), which write every rewritten
# file to stable storage before they delete a backup, against `cp -r` of the
# folder followed by `sync`, and `cp -r` alone; reports the peak resident
# memory of each run, and checks that the uninstall gave every file back.
# When strace is installed, one more install, not timed with the others,
# shows where the time of an install goes.
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

best_cp='' best_cp_sync='' best_install='' best_uninstall='' peak=0
run=1
while [ "$run" -le "$runs" ]; do
  rm -rf pristine
  timed "cp -r" cp -r game pristine
  best_cp=$(best "$best_cp" "$seconds")
  rm -rf pristine
  timed "cp -r + sync" sh -c 'cp -r game pristine && sync'
  best_cp_sync=$(best "$best_cp_sync" "$seconds")

  # shellcheck disable=SC2016 # "$0" is expanded by the inner shell
  timed install sh -c 'cd game && exec "$0"' "$build/vandoril-patch"
  best_install=$(best "$best_install" "$seconds")
  [ "$peak_kib" -gt "$peak" ] && peak=$peak_kib

  # shellcheck disable=SC2016
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

# Phases of one install under strace (which slows it a little: only the
# system calls named stop the program, where the kernel can filter), from the
# times of the system calls that begin them: the journal and the marker,
# the archives, the country list, results script and databases, writing the
# files to disk, deleting the backups (up to the deletion of the journal).
command -v strace > /dev/null || exit 0
rm -rf pristine
sync
filter=--seccomp-bpf
strace -f $filter -o /dev/null true 2> /dev/null || filter=
(cd game && strace -f $filter -tt -e trace=openat,fsync,unlink -o "$scratch/trace" "$build/vandoril-patch" \
  < /dev/null > /dev/null 2>&1)
awk '
  function t(s,   f) { split(s, f, ":"); return f[1] * 3600 + f[2] * 60 + f[3] }
  { if ($1 !~ /:/) $0 = substr($0, index($0, " ") + 1) }  # the process id of -f
  NR == 1 { start = t($1) }
  { now = t($1) }
  phase == 0 && /"art_01.bak"/ { mark[1] = now; phase = 1 }
  phase == 1 && /"database\/bak\/countries.sav"/ { mark[2] = now; phase = 2 }
  phase == 2 && /fsync/ { mark[3] = now; phase = 3 }
  phase == 3 && /unlink/ { mark[4] = now; phase = 4 }
  phase == 4 && /unlink/ { last = now }  # the journal is deleted last
  END {
    if (phase != 4) { print "phases: the trace was not understood"; exit }
    printf "phases of one install under strace: start %.3f s, archives %.3f s, databases %.3f s, " \
      "writing to disk %.3f s, deleting backups %.3f s\n", mark[1] - start, mark[2] - mark[1], mark[3] - mark[2],
      mark[4] - mark[3], last - mark[4]
  }' "$scratch/trace"
