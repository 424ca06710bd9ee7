#!/usr/bin/env bash
# Lists, verifies and extracts a payload with the native ovpack and with ovpack.exe under Wine,
# then compares the two listings and the two extracted trees byte for byte.
# usage: compare_demo.sh NATIVE-OVPACK OVPACK-EXE WINE-RUN PAYLOAD OUTDIR
#   OUTDIR is emptied first; it receives native/ and wine/ (listings and extracted trees).
#   The Wine session (wineserver) must be running. Exit 0 only when everything matches.
set -euo pipefail
native_ovpack=${1:?usage: compare_demo.sh NATIVE-OVPACK OVPACK-EXE WINE-RUN PAYLOAD OUTDIR}
ovpack_exe=${2:?}
wine_run=${3:?}
payload=$(cd "$(dirname "${4:?}")" && pwd)/$(basename "$4")
mkdir -p "${5:?}"
out=$(cd "$5" && pwd)
rm -rf "$out/native" "$out/wine"
mkdir -p "$out/native" "$out/wine"

# Unix path -> the same file through Wine's drive Z:.
winpath() { printf 'Z:%s' "$1" | tr '/' '\\'; }

echo "== native: $native_ovpack"
"$native_ovpack" list "$payload" >"$out/native/listing.txt"
awk -F'\t' '{ n[$1]++; bytes += $2 } END {
  printf "%d entries, %d bytes of data; by kind:", NR, bytes
  sep = ""; for (k = 0; k <= 5; k++) if (n[k]) { printf "%s %d of kind %d", sep, n[k], k; sep = "," }
  print "" }' "$out/native/listing.txt"
# The shape of the shipped payload: entries by kind and destination, about 3.4 MB in all.
shape=$(awk -F'\t' '{ print $1 "\t" $4 }' "$out/native/listing.txt" | LC_ALL=C sort | uniq -c | sed 's/^ *//')
expected_shape=$(printf '%s\n' \
  $'21 0\t<CommonData>\\Orvane & Drey\\Textures\\Vestrilo' \
  $'18 0\t<InstallPath>\\Lang' \
  $'1 1\t<InstallPath>' \
  $'1 2\t<InstallPath>' \
  $'7 3\t<CommonData>\\Orvane & Drey\\Modules\\Vestrilo' \
  $'6 4\t<SamplePath>')
if [ "$shape" != "$expected_shape" ]; then
  printf 'the demo payload does not have the shipped shape:\n%s\nexpected:\n%s\n' "$shape" "$expected_shape" >&2
  exit 1
fi
data_bytes=$(awk -F'\t' '{ bytes += $2 } END { print bytes }' "$out/native/listing.txt")
if [ "$data_bytes" -lt 3000000 ] || [ "$data_bytes" -gt 3800000 ]; then
  echo "the demo payload holds $data_bytes bytes of data, not about 3.4 MB" >&2
  exit 1
fi
"$native_ovpack" verify "$payload"
"$native_ovpack" extract "$payload" \
  --map "<InstallPath>=$out/native/InstallPath" \
  --map "<CommonData>=$out/native/CommonData" \
  --map "<SamplePath>=$out/native/SamplePath"

echo "== Windows, under Wine: $ovpack_exe"
"$wine_run" "$ovpack_exe" list "$(winpath "$payload")" >"$out/wine/listing.txt"
"$wine_run" "$ovpack_exe" verify "$(winpath "$payload")"
"$wine_run" "$ovpack_exe" extract "$(winpath "$payload")" \
  --map "<InstallPath>=$(winpath "$out/wine/InstallPath")" \
  --map "<CommonData>=$(winpath "$out/wine/CommonData")" \
  --map "<SamplePath>=$(winpath "$out/wine/SamplePath")"

echo "== comparing"
status=0
if ! cmp "$out/native/listing.txt" "$out/wine/listing.txt"; then
  echo "the listings differ" >&2
  diff "$out/native/listing.txt" "$out/wine/listing.txt" >&2 || true
  status=1
fi
if ! diff -r "$out/native" "$out/wine" >&2; then
  echo "the extracted trees differ" >&2
  status=1
fi
entries=$(wc -l <"$out/native/listing.txt")
files=$(find "$out/native" -type f ! -name listing.txt | wc -l)
if [ "$files" -ne "$entries" ]; then
  echo "$entries entries listed, but $files files extracted" >&2
  status=1
fi
if [ $status -eq 0 ]; then
  echo "same listing ($entries entries) and the same $files files, byte for byte, natively and under Wine"
fi
exit $status
