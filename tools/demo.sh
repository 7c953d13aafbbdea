#!/bin/sh
# The demo: makes a fresh sample game folder, installs the patch, shows what
# changed, uninstalls it, and checks that every file came back as it was.
#
#   demo.sh PATCH_PROGRAM SAMPLE_GENERATOR DEMO_DIR
#
# Exits 0 when both runs ended with status 0 and every file came back,
# 1 otherwise.
set -u

patch=$1
generator=$2
demo=$3
game=$demo/game
pristine=$demo/pristine

rule() { printf '\n===== %s =====\n' "$1"; }

# Shows the lines of FILE that match PATTERN (extended regular expression) and the COUNT lines after each,
# numbered, with the CR of the CR LF line ends taken away.
show() {
  if [ -f "$1" ]; then
    found=$(tr -d '\r' < "$1" | grep -n -E -A "$3" -e "$2" | sed -e '/^--$/d' -e 's/^/    /')
    if [ -n "$found" ]; then printf '%s\n' "$found"; else echo "    (no such line)"; fi
  else
    echo "    ($1 is missing)"
  fi
}

show_file() {
  if [ -f "$1" ]; then sed 's/^/    /' "$1"; else echo "    ($1 is missing)"; fi
}

# Runs the patch in the game folder with the given arguments, standard input
# from /dev/null so that the closing "pause" returns at once.
run_patch() {
  status=0
  (cd "$game" && "$patch" "$@" < /dev/null) 2>&1 || status=$?
  echo "(exit status $status)"
  [ "$status" -eq 0 ] || failed=1
}

failed=0
rm -rf "$demo"
mkdir -p "$demo" || exit 1
rule "Making a sample game folder in $game"
"$generator" "$game" || exit 1
cp -R "$game" "$pristine" || exit 1

rule "Install: vandoril-patch run in the game folder"
run_patch

rule "After the install"
echo "database/countries.sav, the two records (each now stands where the other stood):"
show "$game/database/countries.sav" '^(San Marino|Niederlande)' 5
echo "script/Results.txt, the two lines:"
show "$game/script/Results.txt" '^[0-9]+ ; (San_Marino|Netherlands	1)$' 0
echo "database/country34.sav, now the Netherlands' database with its codes rewritten to 34's:"
show "$game/database/country34.sav" '^; Veldo country database' 1
show "$game/database/country34.sav" '^%INDEX%COMPETITIONPART' 3
echo "The archives (art_02.big changes length by 2 bytes per exchanged name):"
for name in art_01.big art_02.big art_03.big; do
  changed=unchanged
  cmp -s "$pristine/$name" "$game/$name" || changed=rewritten
  echo "    $name: $(wc -c < "$pristine/$name") bytes before, $(wc -c < "$game/$name" 2>/dev/null) after, $changed"
done
if [ -f "$game/vandoril_06.dontdelete" ]; then
  echo "The install marker vandoril_06.dontdelete exists ($(wc -c < "$game/vandoril_06.dontdelete") bytes)."
else
  echo "The install marker vandoril_06.dontdelete is missing."
fi
echo "editor.log (how the stand-in editor was started):"
show_file "$game/editor.log"

rule "Uninstall: vandoril-patch /uninstall run in the game folder"
run_patch /uninstall
echo "editor.log now:"
show_file "$game/editor.log"
rm -f "$game/editor.log"

rule "Comparing every file with the pristine copy (editor.log left out)"
if "$generator" --compare "$pristine" "$game"; then
  echo "Every file came back as it was: text line for line, archives byte for byte."
else
  echo "NOT every file came back as it was (see above)."
  failed=1
fi
exit $failed
