#!/usr/bin/env bash
# End-to-end tests of the Windows program, run under Wine with the real
# command interpreter behind std::system, in sample game folders:
#   - an install stopped abruptly halfway (every Wine process killed): a
#     second run meanwhile is refused, and the next run undoes the stopped
#     one and gives every file back;
#   - an install and an uninstall run that give every file back (archives
#     byte for byte, text files line for line, a read-only database still
#     read-only) and start the editor;
#   - every refusal, with its exact messages (CR LF line ends on Windows),
#     exit status 0 and no file changed; backups that no run made, exit
#     status 1 and no file changed;
#   - a results script that cannot be opened: the run is undone, exit status
#     1, "error!!!" last, no file changed.
# Registered as a CTest test by tests/wine/CMakeLists.txt; prints one line per
# check and the time that each phase took.
set -u

usage() {
  echo "usage: $0 --wine WINE64 --wineserver WINESERVER --prefix WINEPREFIX --patch vandoril-patch.exe" \
       "--editor editor.exe --make-sample-game PROGRAM --work DIR" >&2
  exit 2
}
wine='' wineserver='' prefix='' patch='' editor='' make_sample_game='' work=''
while [ $# -gt 0 ]; do
  [ $# -ge 2 ] || usage
  case $1 in
    --wine) wine=$2 ;;
    --wineserver) wineserver=$2 ;;
    --prefix) prefix=$2 ;;
    --patch) patch=$2 ;;
    --editor) editor=$2 ;;
    --make-sample-game) make_sample_game=$2 ;;
    --work) work=$2 ;;
    *) usage ;;
  esac
  shift 2
done
for value in "$wine" "$wineserver" "$prefix" "$patch" "$editor" "$make_sample_game" "$work"; do
  [ -n "$value" ] || usage
done

# Quiet Wine, in a prefix of its own, without windows or downloads.
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
# Ends the Wine processes of this prefix only (the server lingers otherwise).
trap '"$wineserver" -k 2>/dev/null' EXIT

# Wine as packaged here starts without a preloader that reserves the Windows
# address ranges first.  With address space randomisation, about one new
# process in a couple of thousand then cannot map its shared user data
# ("failed to map the shared user data") and never starts: a "move" of the
# program would silently not happen.  Without randomisation, which every
# process that Wine starts inherits, the layout leaves room.  It is a
# property of this Wine, not of the program or of Windows.
no_aslr=()
if setarch "$(uname -m)" -R true 2>/dev/null; then
  no_aslr=(setarch "$(uname -m)" -R)
fi
run_wine() { "${no_aslr[@]}" "$wine" "$@"; }

rm -rf "$work"
mkdir -p "$work"
out=$work/last.out err=$work/last.err expected=$work/expected

passed=0 failed=0
check() {  # DESCRIPTION COMMAND...: one check, counted
  local what=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
    echo "ok: $what"
  else
    failed=$((failed + 1))
    echo "FAIL: $what"
  fi
}

now() { date +%s.%N; }
since() { awk -v start="$1" -v end="$(now)" 'BEGIN { printf "%.1f s", end - start }'; }
started=$(now)

# --- Files and their contents ----------------------------------------------

crlf() { printf '%s\r\n' "$@"; }
text_lines() { awk '{ sub(/\r$/, ""); print }' "$1"; }

show_difference() {  # EXPECTED ACTUAL: both made visible, control characters too
  echo "  expected: $(cat -A "$1" | head -c 2000)"
  echo "  actual:   $(cat -A "$2" | head -c 2000)"
}
same_bytes() {  # EXPECTED-FILE ACTUAL-FILE
  cmp -s "$1" "$2" || { show_difference "$1" "$2"; return 1; }
}
same_lines() {  # EXPECTED-FILE ACTUAL-FILE, line ends aside
  text_lines "$2" >"$work/actual" 2>/dev/null
  same_bytes "$1" "$work/actual"
}
starts_with() {  # FILE PREFIX-FILE
  head -c "$(stat -c %s "$2")" "$1" | cmp -s - "$2" || { show_difference "$2" "$1"; return 1; }
}
ends_with() {  # FILE SUFFIX-FILE
  tail -c "$(stat -c %s "$2")" "$1" | cmp -s - "$2" || { show_difference "$2" "$1"; return 1; }
}
is_empty_file() { [ -f "$1" ] && [ ! -s "$1" ]; }
is_absent() { [ ! -e "$1" ]; }
contains() { grep -qF -- "$2" "$1" || { echo "  not found: $2"; return 1; }; }  # FILE TEXT
# Wine shows a file as read-only exactly when it has no write permission bit.
is_read_only() { [ $((0$(stat -c %a "$1") & 0222)) -eq 0 ] || { echo "  mode $(stat -c %a "$1"): $1"; return 1; }; }
differs() { ! cmp -s "$1" "$2"; }

# Every path in the folder, and the checksum of every file.
snapshot() {
  (cd "$1" && find . -mindepth 1 -printf '%y %p\n' | LC_ALL=C sort &&
    find . -type f -print0 | LC_ALL=C sort -z | xargs -0 md5sum)
}
unchanged_since() {  # FOLDER SNAPSHOT-FILE
  snapshot "$1" | diff "$2" - >/dev/null || { snapshot "$1" | diff "$2" - | head -20; return 1; }
}

# True when FOLDER holds every file of ORIGINAL again and nothing else but the
# editor's log: archives and programs byte for byte, text files line for line.
gives_every_file_back() {  # ORIGINAL FOLDER
  local original=$1 folder=$2 ok=0 file
  if ! diff <(cd "$original" && find . -mindepth 1 | LC_ALL=C sort) \
            <(cd "$folder" && find . -mindepth 1 ! -path ./editor.log | LC_ALL=C sort); then
    ok=1
  fi
  while IFS= read -r -d '' file; do
    [ -f "$folder/$file" ] || continue
    case $file in
      *.big | *.exe) cmp -s "$original/$file" "$folder/$file" || { echo "  bytes differ: $file"; ok=1; } ;;
      *) cmp -s <(text_lines "$original/$file") <(text_lines "$folder/$file") ||
           { echo "  lines differ: $file"; ok=1; } ;;
    esac
  done < <(cd "$original" && find . -type f -print0)
  return $ok
}

no_backup_left() {  # FOLDER
  local found
  found=$(cd "$1" && find . -name '*.bak')
  [ -z "$found" ] || { echo "  left behind: $found"; return 1; }
}

# --- Running the program ------------------------------------------------------

# Runs the program placed in FOLDER, with FOLDER as the current directory and
# standard input from /dev/null; sets $status.  Each run's output is also kept
# as run-N.out and run-N.err in the work directory.
runs=0
run_patch() {  # FOLDER ARGUMENTS...
  local folder=$1
  shift
  (cd "$folder" && run_wine ./vandoril-patch.exe "$@" </dev/null >"$out" 2>"$err")
  status=$?
  runs=$((runs + 1))
  cp "$out" "$work/run-$runs.out"
  cp "$err" "$work/run-$runs.err"
}

make_game() {  # FOLDER: a sample game with the Windows programs in it
  "$make_sample_game" "$1" >/dev/null || { echo "make-sample-game failed" >&2; exit 1; }
  cp "$editor" "$1/editor.exe"
  cp "$patch" "$1/vandoril-patch.exe"
}

# --- Wine prefix ----------------------------------------------------------------

if [ ! -f "$prefix/system.reg" ]; then
  phase=$(now)
  run_wine wineboot --init </dev/null >"$work/wineboot.log" 2>&1
  "$wineserver" -w
  echo "time: wineboot of a new prefix: $(since "$phase")"
fi
[ -f "$prefix/system.reg" ] || { echo "Wine prefix could not be created:"; cat "$work/wineboot.log"; exit 1; }

# What this interpreter's "pause" prints when no key can be read.
(cd "$work" && run_wine cmd /c pause </dev/null >"$work/pause.out" 2>/dev/null)

# --- Messages -----------------------------------------------------------------

EDITOR_MISSING="Veldo-Editor wasn't found. That means you haven't installed the editor or this patch was not placed in the Veldo-Folder. Patch will not be installed."
BETA_FOUND="Beta Patch found. Please uninstall the Betapatch first. Therefor you need the Betapatch-Installer."
PATCH_2005_FOUND="Patch for Veldo 2005 found. Please uninstall the Veldo2005 patch first. Therefor you need the Veldo 2005 patch-Installer."
AFTER_UNINSTALLATION="After uninstallation, execute this patch again to install it."
ALREADY_INSTALLED="Patch is already installed. Aborting installation."
HOW_TO_UNINSTALL='To uninstall the patch please execute the file "Brisco-UnInstall.exe".'
ATTENTION='ATTENTION: Before installing new database updates or game updates you have to uninstall this patch by executing the file "Brisco-UnInstall.exe". Otherwise your database will be corrupt. After installing the updates this patch can be installed again.'
WAITING="This will take some time. Please wait until the window closes..."
STOPPED_UNDONE="The last run of the patch was stopped before it had finished. Every file has been put back as it was before that run: the patch is not installed. To install it, run the patch again."
ANOTHER_RUN="vandoril-patch: another run of the patch is working in this folder."
UNDONE="Nothing was changed: the run was undone and every file is as it was before it."
MARKER=vandoril_06.dontdelete JOURNAL=vandoril_06.journal LOCK=vandoril_06.lock

# --- A stopped install and its repair --------------------------------------

# The main game folder holds one read-only database, which every run below
# must give back read-only.
phase=$(now)
game=$work/game original=$work/original
make_game "$game"
chmod a-w "$game/database/country77.sav"
cp -a "$game" "$original"
echo "time: sample game: $(since "$phase")"

# An install stopped abruptly while it moves the country databases into
# database\bak, the way a closed window or a power cut stops it: every
# process of the Wine prefix is killed at once.
phase=$(now)
(cd "$game" && exec "${no_aslr[@]}" "$wine" ./vandoril-patch.exe </dev/null >"$work/stopped.out" 2>"$work/stopped.err") &
stopped_run=$!
midway=$game/database/bak/country60.sav deadline=$((SECONDS + 120))
until [ -e "$midway" ] || [ $SECONDS -ge $deadline ] || ! kill -0 "$stopped_run" 2>/dev/null; do
  sleep 0.05
done
check "stopped run: reached the country databases" [ -e "$midway" ]
run_patch "$game"
check "a second run while one works: exit status 1" [ "$status" -eq 1 ]
check "a second run while one works: refused as another run" contains "$err" "$ANOTHER_RUN"
"$wineserver" -k
wait "$stopped_run"
"$wineserver" -w
check "stopped run: its journal is left" [ -f "$game/$JOURNAL" ]
[ -e "$game/$LOCK" ] && echo "note: the killed run left its lock file $LOCK"
echo "time: install until stopped: $(since "$phase")"

phase=$(now)
run_patch "$game"
echo "time: repair run: $(since "$phase")"
check "repair: exit status 0" [ "$status" -eq 0 ]
{ crlf "$STOPPED_UNDONE"; cat "$work/pause.out"; } >"$expected"
check "repair: exact message and pause" same_bytes "$expected" "$out"
check "repair: nothing on standard error" [ ! -s "$err" ]
for file in "$JOURNAL" "$JOURNAL.new" "$LOCK"; do
  check "repair: no $file" is_absent "$game/$file"
done
check "repair: every file is given back" gives_every_file_back "$original" "$game"

# --- Install and uninstall ---------------------------------------------------

phase=$(now)
run_patch "$game"
echo "time: install run: $(since "$phase")"
check "install: exit status 0" [ "$status" -eq 0 ]
{ crlf "$ATTENTION" ""; printf '%s' "$WAITING"; } >"$expected"
check "install: attention text, one empty line, waiting line" starts_with "$out" "$expected"
{ printf '\r\n'; cat "$work/pause.out"; } >"$expected"
check "install: ends with a line end and pause" ends_with "$out" "$expected"
check "install: the marker is an empty file" is_empty_file "$game/$MARKER"
check "install: no backup file is left" no_backup_left "$game"
check "install: the backup directory is removed" is_absent "$game/database/bak"
check "install: no journal" is_absent "$game/$JOURNAL"
echo -master >"$expected"
check "install: the editor was started with -master" same_lines "$expected" "$game/editor.log"
for file in art_01.big art_02.big art_03.big database/countries.sav script/Results.txt \
            database/country34.sav database/country41.sav database/country1.sav database/country77.sav; do
  check "install: $file is rewritten" differs "$original/$file" "$game/$file"
done
check "install: database/country77.sav is still read-only" is_read_only "$game/database/country77.sav"

phase=$(now)
run_patch "$game" /uninstall
echo "time: uninstall run: $(since "$phase")"
check "uninstall: exit status 0" [ "$status" -eq 0 ]
printf '%s' "$WAITING" >"$expected"
check "uninstall: starts with the waiting line" starts_with "$out" "$expected"
{ printf '\r\n'; cat "$work/pause.out"; } >"$expected"
check "uninstall: ends with a line end and pause" ends_with "$out" "$expected"
check "uninstall: the marker is deleted" is_absent "$game/$MARKER"
check "uninstall: the backup directory is removed" is_absent "$game/database/bak"
printf -- '-master\n-master\n' >"$expected"
check "uninstall: the editor was started with -master again" same_lines "$expected" "$game/editor.log"
check "uninstall: every file is given back" gives_every_file_back "$original" "$game"
check "uninstall: database/country77.sav is read-only again" is_read_only "$game/database/country77.sav"

# A backup directory that no run made, holding a read-only file: it may hold
# the only copy of a database, so the run refuses and touches nothing.
mkdir "$game/database/bak"
touch "$game/database/bak/stray.sav"
chmod a-w "$game/database/bak/stray.sav"
snapshot "$game" >"$work/before"
run_patch "$game"
check "backups in the way: exit status 1" [ "$status" -eq 1 ]
check "backups in the way: database\\bak named" contains "$err" '"database\bak"'
check "backups in the way: pause" same_bytes "$work/pause.out" "$out"
check "backups in the way: no file changed" unchanged_since "$game" "$work/before"

# --- Refusals -------------------------------------------------------------------

phase=$(now)
folder=$work/refusals
cp -a "$original" "$folder"
# Runs the program in $folder and checks for exactly the given message lines,
# then "pause", exit status 0, nothing on standard error and no file changed.
expect_refusal() {  # DESCRIPTION FIRST-LINE SECOND-LINE ARGUMENTS...
  local what=$1 first=$2 second=$3
  shift 3
  snapshot "$folder" >"$work/before"
  run_patch "$folder" "$@"
  { crlf "$first" "$second"; cat "$work/pause.out"; } >"$expected"
  check "$what: exit status 0" [ "$status" -eq 0 ]
  check "$what: exact messages and pause" same_bytes "$expected" "$out"
  check "$what: nothing on standard error" [ ! -s "$err" ]
  check "$what: no file changed" unchanged_since "$folder" "$work/before"
}

mv "$folder/editor.exe" "$work/editor.exe.aside"
touch "$folder/vandoril.dontdelete" "$folder/vandoril_03.dontdelete" "$folder/$MARKER"
expect_refusal "editor missing, every marker present" "$EDITOR_MISSING" "" /uninstall
mv "$work/editor.exe.aside" "$folder/editor.exe"
expect_refusal "beta and 2005 markers" "$BETA_FOUND" "$AFTER_UNINSTALLATION" /uninstall
rm "$folder/vandoril.dontdelete"
expect_refusal "2005 marker" "$PATCH_2005_FOUND" "$AFTER_UNINSTALLATION"
rm "$folder/vandoril_03.dontdelete"
mv "$folder/Brisco-UnInstall.exe" "$work/uninstaller.aside"
expect_refusal "installed, uninstaller missing, /uninstall" "$ALREADY_INSTALLED" "$HOW_TO_UNINSTALL" /uninstall
mv "$work/uninstaller.aside" "$folder/Brisco-UnInstall.exe"
expect_refusal "installed, no argument" "$ALREADY_INSTALLED" "$HOW_TO_UNINSTALL"
expect_refusal "installed, /UNINSTALL" "$ALREADY_INSTALLED" "$HOW_TO_UNINSTALL" /UNINSTALL
expect_refusal "installed, -uninstall" "$ALREADY_INSTALLED" "$HOW_TO_UNINSTALL" -uninstall
expect_refusal "installed, /uninstall and a second argument" "$ALREADY_INSTALLED" "$HOW_TO_UNINSTALL" /uninstall extra
echo "time: 8 refusal runs: $(since "$phase")"

# --- A results script that cannot be opened ----------------------------------

# The run fails after the artwork and the country list were rewritten: it is
# undone before it ends, every file byte for byte as before.
phase=$(now)
folder=$work/no-results-script
cp -a "$original" "$folder"
rm "$folder/script/Results.txt"
snapshot "$folder" >"$work/before"
run_patch "$folder"
check "results script missing: exit status 1" [ "$status" -eq 1 ]
{ crlf "" "vandoril-patch: \"script/Results.txt\" was not found. $UNDONE"; printf 'error!!!'; } >"$expected"
check "results script missing: exact messages on standard error" same_bytes "$expected" "$err"
printf '.' >"$expected"
check "results script missing: output stops at the step's dot, no pause" ends_with "$out" "$expected"
check "results script missing: no file changed, no marker, backup, journal, lock or editor log" \
  unchanged_since "$folder" "$work/before"
echo "time: error path: $(since "$phase")"

echo "time: all Wine tests: $(since "$started")"
echo "wine: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
