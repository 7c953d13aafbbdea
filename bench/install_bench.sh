#!/bin/sh
# Times a whole native install, flushed to disk, against `cp -r` of the game
# folder followed by `sync`, against the same copy when it also deletes what
# it replaced (`cp -r` + `sync` + `rm -r` + `sync`: the least any rewrite that
# keeps the old bytes until the new ones are on disk pays), and against the
# floor of an install
# (bench/install_floor.cpp: every file renamed to its backup, written anew
# from it, flushed, the folders flushed, the backups deleted), in interleaved
# rounds whose order rotates.  Before each timed step every dirty page is
# written (`sync`) and, where the system lets us (root), the page cache is
# dropped; with the warm cache (the default) the game folder is then read
# back in, with the cold one it is not.  After each install the folder is
# put back by an uninstall, outside the timed part.
#
# Prints the four times of each round, their medians, the median and the
# range (min-max) of the ratios of the install to each of the other three,
# user and system time, the peak resident memory of the install, and, from
# one more run of each under `strace -f -c -w` (all processes, the editor
# stand-in included), the system calls by kind: the number per rewritten file
# (213) and the wall time spent in them.  Checks that every run ended with
# status 0 and that the folder is byte for byte as made at the end.
#
#   bench/install_bench.sh [BUILD_DIR] [--size default|256M|1G|4G] [--rounds N]
#                          [--cache warm|cold] [--scratch DIR]
#
# Defaults: build/, the default sample game, 5 rounds, warm cache, the scratch
# folder BUILD_DIR/bench-install-rounds (deleted afterwards; it needs about 4
# times the folder's size of disk).  Sizes: 256M is archives of 75 MiB and
# databases of about 128 KiB, 1G 300 MiB and 512 KiB, 4G 1200 MiB and
# 2048 KiB.  Needs /usr/bin/time and strace (Debian packages time, strace).
set -eu

build=build
size=default
rounds=5
cache=warm
scratch=
usage() {
  echo "usage: $0 [BUILD_DIR] [--size default|256M|1G|4G] [--rounds N] [--cache warm|cold] [--scratch DIR]" >&2
  exit 2
}
while [ $# -gt 0 ]; do
  case $1 in
    --size) [ $# -ge 2 ] || usage; size=$2; shift 2 ;;
    --rounds) [ $# -ge 2 ] || usage; rounds=$2; shift 2 ;;
    --cache) [ $# -ge 2 ] || usage; cache=$2; shift 2 ;;
    --scratch) [ $# -ge 2 ] || usage; scratch=$2; shift 2 ;;
    -*) usage ;;
    *) build=$1; shift ;;
  esac
done
case $size in
  default) options= ;;
  256M) options="--archive-mib 75 --database-kib 128" ;;
  1G) options="--archive-mib 300 --database-kib 512" ;;
  4G) options="--archive-mib 1200 --database-kib 2048" ;;
  *) usage ;;
esac
case $cache in warm | cold) ;; *) usage ;; esac
[ "$rounds" -ge 1 ] 2> /dev/null || usage

build=$(cd "$build" && pwd)
patch=$build/vandoril-patch
floor=$build/bench/install_floor
for file in "$patch" "$floor" "$build/make-sample-game" /usr/bin/time; do
  [ -x "$file" ] || { echo "missing $file (build the targets vandoril-patch, install_floor, make-sample-game)" >&2; exit 1; }
done
scratch=${scratch:-$build/bench-install-rounds}
rm -rf "$scratch"
mkdir -p "$scratch"
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"

# shellcheck disable=SC2086 # the options are words
"$build/make-sample-game" game $options > /dev/null
cp -r game pristine
size_mib=$(du -sm game | cut -f1)
files=213  # files rewritten by an install (countries 34 and 41 twice)

# Whether the page cache can be dropped (root only).
drop=no
if sync && (echo 3 > /proc/sys/vm/drop_caches) 2> /dev/null; then drop=yes; fi

# prepare: the same start for every timed step.
prepare() {
  sync
  [ "$drop" = no ] || echo 3 > /proc/sys/vm/drop_caches
  [ "$cache" = cold ] || find game -type f -exec cat {} + > /dev/null
}

# timed FOLDER WHAT COMMAND...: runs COMMAND in FOLDER, standard input from
# /dev/null; appends "seconds user system peak_kib" to $scratch/WHAT.
timed() {
  folder=$1 what=$2
  shift 2
  prepare
  start=$(date +%s.%N)
  (cd "$folder" && /usr/bin/time -f '%U %S %M' -o "$scratch/time" "$@" < /dev/null > "$scratch/out" 2> "$scratch/err") || {
    echo "$what failed:" >&2
    cat "$scratch/err" >&2
    exit 1
  }
  end=$(date +%s.%N)
  echo "$end $start $(cat "$scratch/time")" | awk '{ printf "%.4f %s %s %s\n", $1 - $2, $3, $4, $5 }' >> "$scratch/$what"
}

restore() {
  (cd game && "$patch" /uninstall < /dev/null > "$scratch/out" 2> "$scratch/err") || {
    echo "uninstall failed:" >&2
    cat "$scratch/err" >&2
    exit 1
  }
  rm -f game/editor.log
}

step() {
  case $1 in
    cp) timed . cp sh -c 'cp -r game copy && sync'
        rm -rf copy ;;
    cprm) timed . cprm sh -c 'cp -r game copy && sync && rm -r copy && sync' ;;
    floor) timed game floor "$floor"
           rm -f game/editor.log ;;
    install) timed game install "$patch"
             restore ;;
  esac
}

echo "sample game '$size' ($size_mib MiB, make-sample-game${options:+ $options}), $rounds rounds, cache $cache" \
  "(page cache dropped before each step: $drop), in $scratch"
round=1
while [ "$round" -le "$rounds" ]; do
  case $((round % 4)) in
    1) step cp; step cprm; step floor; step install ;;
    2) step cprm; step floor; step install; step cp ;;
    3) step floor; step install; step cp; step cprm ;;
    0) step install; step cp; step cprm; step floor ;;
  esac
  round=$((round + 1))
done
"$build/make-sample-game" --compare pristine game > /dev/null || {
  echo "the folder is not as it was made after the rounds" >&2
  exit 1
}

paste cp cprm floor install | awk '
  { printf "round %2d: cp -r + sync %7.3f s  + rm -r + sync %7.3f s  floor %7.3f s  install %7.3f s\n", NR, $1, $5, $9, $13 }'
# median FILE COLUMN
median() { awk -v c="$2" '{ print $c }' "$1" | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# ratio_summary NUMERATOR DENOMINATOR: median and range of the per-round ratios
ratio_summary() {
  paste "$1" "$2" | awk '{ print $1 / $5 }' | sort -n |
    awk '{ v[NR] = $1 } END { m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
           printf "median %.2fx, range %.2fx-%.2fx", m, v[1], v[NR] }'
}
printf 'medians: cp -r + sync %.3f s, cp -r + sync + rm -r + sync %.3f s, floor %.3f s, install %.3f s\n' \
  "$(median cp 1)" "$(median cprm 1)" "$(median floor 1)" "$(median install 1)"
echo "install / cp -r + sync:                 $(ratio_summary install cp)"
echo "install / cp -r + sync + rm -r + sync:  $(ratio_summary install cprm)"
echo "install / floor:                        $(ratio_summary install floor)"
printf 'install: user %.2f s, system %.2f s (medians); floor: user %.2f s, system %.2f s\n' \
  "$(median install 2)" "$(median install 3)" "$(median floor 2)" "$(median floor 3)"
printf 'peak resident memory: install %.1f MiB, floor %.1f MiB\n' \
  "$(sort -n -k 4 install | tail -n 1 | awk '{ print $4 / 1024 }')" "$(sort -n -k 4 floor | tail -n 1 | awk '{ print $4 / 1024 }')"
echo "after the rounds every file was as made"

# One more run of each under strace: the calls by kind, per rewritten file,
# and the wall time spent in them (strace slows the calls it stops).
command -v strace > /dev/null || { echo "no strace: no calls by kind"; exit 0; }
prepare
(cd game && strace -f -c -w -o "$scratch/install.strace" "$patch" < /dev/null > /dev/null 2>&1)
restore
prepare
(cd game && strace -f -c -w -o "$scratch/floor.strace" "$floor" < /dev/null > /dev/null 2>&1)
echo "system calls under strace -f -c -w (per rewritten file: calls / $files; seconds: wall time in the calls):"
awk -v files="$files" '
  # strace -c lines: % time, seconds, usecs/call, calls, [errors,] syscall
  FNR == 1 { which = (FILENAME ~ /install\.strace$/) ? "i" : "f" }
  $1 ~ /^[0-9.]+$/ && NF >= 5 && $NF != "total" {
    n[which, $NF] += $4; s[which, $NF] += $2; seen[$NF] = 1
    total[which] += $4; time[which] += $2
  }
  END {
    split("openat newfstatat statx close read write writev lseek fsync fdatasync sync_file_range fadvise64 " \
          "rename renameat2 unlink unlinkat chmod fchmod mkdir rmdir getdents64", kinds, " ")
    printf "  %-16s %9s %8s %8s   %9s %8s %8s\n", "call", "install", "per file", "seconds", "floor", "per file", "seconds"
    for (k = 1; k in kinds; k++) {
      c = kinds[k]
      if (!(c in seen)) continue
      printf "  %-16s %9d %8.2f %8.3f   %9d %8.2f %8.3f\n", c, n["i", c], n["i", c] / files, s["i", c],
        n["f", c], n["f", c] / files, s["f", c]
      listed["i"] += n["i", c]; listed["f"] += n["f", c]; ltime["i"] += s["i", c]; ltime["f"] += s["f", c]
    }
    printf "  %-16s %9d %8.2f %8.3f   %9d %8.2f %8.3f\n", "other", total["i"] - listed["i"],
      (total["i"] - listed["i"]) / files, time["i"] - ltime["i"], total["f"] - listed["f"],
      (total["f"] - listed["f"]) / files, time["f"] - ltime["f"]
    printf "  %-16s %9d %8.2f %8.3f   %9d %8.2f %8.3f\n", "total", total["i"], total["i"] / files, time["i"],
      total["f"], total["f"] / files, time["f"]
  }' "$scratch/install.strace" "$scratch/floor.strace"
