#!/usr/bin/env bash
# Reads the installation's shortcuts with lnkinfo, a reader of the link format that has nothing
# to do with the shell that wrote them: each link must carry the program as its target and the
# program's folder as working folder, and nothing else (no arguments, description, icon,
# relative path, hot key).
# Usage: check_links.sh WINE-RUN WRITE-LINKS-EXE LNKINFO OUTPUT-FOLDER
set -euo pipefail
wine_run=$1 writer=$2 lnkinfo=$3 out=$4
rm -rf "$out"
mkdir -p "$out"
windows_out="Z:$(echo "$out" | tr / '\\')"
listing=$("$wine_run" "$writer" "$windows_out" 2>/dev/null | tr -d '\r')
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
field() { # name, lnkinfo output: the value after "name :"
  printf '%s\n' "$2" | sed -n "s/^[[:space:]]*$1[[:space:]]*: \(.*\)$/\1/p" | head -n1
}
count=0
while IFS=$'\t' read -r link target; do
  [ -n "$link" ] || continue
  count=$((count + 1))
  unix_link=$(printf '%s' "${link#Z:}" | tr '\\' /)
  [ -f "$unix_link" ] || { fail "$link was not written"; continue; }
  info=$("$lnkinfo" "$unix_link" 2>/dev/null) || { fail "lnkinfo cannot read $link"; continue; }
  expected_folder=${target%\\*}
  [ "$(field 'Local path' "$info")" = "$target" ] || fail "$link: target '$(field 'Local path' "$info")', expected '$target'"
  [ "$(field 'Working directory' "$info")" = "$expected_folder" ] ||
    fail "$link: working folder '$(field 'Working directory' "$info")', expected '$expected_folder'"
  [ "$(field 'Hot Key value' "$info")" = "0" ] || fail "$link: a hot key is set"
  [ "$(field 'Icon index' "$info")" = "0" ] || fail "$link: an icon index is set"
  case "$(field 'Show Window value' "$info")" in
    0x00000000 | 0x00000001) ;; # not set, or the shell's default (normal window)
    *) fail "$link: a show command is set" ;;
  esac
  # The data strings the link carries: the working folder only.
  strings=$(printf '%s\n' "$info" | sed -n 's/^[[:space:]]*Contains a \(.*\) string$/\1/p' | sort | tr '\n' ',')
  [ "$strings" = "working directory," ] || fail "$link: carries the strings '$strings', expected only the working directory"
  echo "ok: $link -> $target"
done <<<"$listing"
[ "$count" -eq 3 ] || fail "expected 3 links, the writer reported $count"
rm -rf "$out"
exit $((failures > 0))
