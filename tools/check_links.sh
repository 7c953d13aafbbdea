#!/bin/sh
# Checks the relative links of README.md and docs/*.md: each must name a file that exists and, after a
# '#', a heading of that file as GitHub makes its anchor.  Usage: check_links.sh [SOURCE_FOLDER]
cd "${1:-.}" || exit 2
awk '
function slug(text) {  # GitHub: lower case, punctuation dropped, each space a hyphen
  text = tolower(text); gsub(/[^a-z0-9 _-]/, "", text); gsub(/ /, "-", text); return text
}
function resolve(base, path,   parts, n, i, out, k) {  # base folder + relative path, "." and ".." folded
  n = split(base path, parts, "/"); k = 0
  for (i = 1; i <= n; i++) {
    if (parts[i] == "" || parts[i] == ".") continue
    if (parts[i] == ".." && k > 0) { k--; continue }
    out[++k] = parts[i]
  }
  path = out[1]; for (i = 2; i <= k; i++) path = path "/" out[i]
  return path
}
FNR == 1 { fenced = 0 }
/^ *(```|~~~)/ { fenced = !fenced; next }
fenced { next }
/^#+ / {
  text = $0; sub(/^#+ +/, "", text); sub(/ +#* *$/, "", text); anchor = slug(text)
  if ((FILENAME, anchor) in seen) anchor = anchor "-" seen[FILENAME, anchor]++
  else seen[FILENAME, anchor] = 1
  heading[FILENAME "#" anchor] = 1
}
{
  line = $0; gsub(/`[^`]*`/, "", line)
  while (match(line, /\]\([^)]*\)/)) {
    target = substr(line, RSTART + 2, RLENGTH - 3); line = substr(line, RSTART + RLENGTH)
    if (target ~ /^[a-z]+:/) continue  # http:, https:, mailto:
    links[++count] = FILENAME ":" FNR ": " target
    base = FILENAME; sub(/[^\/]*$/, "", base)
    path = target; sub(/#.*/, "", path); anchor = ""
    if (index(target, "#")) anchor = substr(target, index(target, "#") + 1)
    file[count] = path == "" ? FILENAME : resolve(base, path); want[count] = anchor
  }
}
END {
  for (i = 1; i <= count; i++) {
    if (system("test -e \"" file[i] "\"") != 0) { print links[i] ": no file " file[i]; bad++ }
    else if (want[i] != "" && !((file[i] "#" want[i]) in heading)) { print links[i] ": no heading #" want[i] " in " file[i]; bad++ }
  }
  printf "%d links checked, %d broken\n", count, bad
  exit bad > 0
}' README.md docs/*.md
