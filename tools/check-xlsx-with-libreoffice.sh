#!/usr/bin/env bash
# Reads both spreadsheet outputs back with LibreOffice: writes the sample one-record
# sheet and the sample all-records export (tools/sheet_samples.cpp) through the
# station's spreadsheet application, converts them with
# `libreoffice --headless --convert-to csv` (text cells quoted, numbers in en-US form)
# and compares every cell with what the operator must see. Needs libreoffice-calc-nogui
# (Debian 12); not part of ctest because LibreOffice is big and slow to start.
# Usage: tools/check-xlsx-with-libreoffice.sh [build folder]
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$top/build}"
samples="$build/tools/velta-sheet-samples"
command -v soffice >/dev/null || { echo "soffice not found: apt-get install libreoffice-calc-nogui" >&2; exit 2; }
[ -x "$samples" ] || { echo "$samples not built" >&2; exit 2; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mapfile -t files < <("$samples" "$work/out" 2>/dev/null)
[ "${#files[@]}" -eq 2 ] || { echo "expected two workbooks, got: ${files[*]}" >&2; exit 1; }

# A private profile, so that a running LibreOffice of the user is not disturbed.
soffice -env:UserInstallation="file://$work/profile" --headless \
  --convert-to 'csv:Text - txt - csv (StarCalc):44,34,76,1,,1033,true' \
  --outdir "$work/csv" "${files[@]}" >/dev/null 2>&1

cat > "$work/one_record.csv" <<'CSV'
,,,,
"SERİNO  : T09032026K1405V",,,,
"TARİH  : 09.03.2026",,,,
"SAAT  : 14:05",,,,
"SONUÇ  : NEGATiF",,,,
,,,,
,"HAVA (Bar)","YÜK (Kg)","EN  (Cm)","BOY  (Cm)"
,9.25,"2.5",11.25,12.25
,13.25,14.25,15.25,16.25
,17.25,18.25,19.25,20.25
,21.25,22.25,23.25,
CSV
cat > "$work/export_all.csv" <<'CSV'
"SIRANO","SERiNO","HAVA","PRES","EN","BOY","HAVA1","PRES1","EN1","BOY1","HAVA2","PRES2","EN2","BOY2","HAVA3","PRES3","EN3","BOY3"
1,"T09032026K1401V",1.1,1.2,1.3,1.4,1.5,1.6,1.7,1.8,1.9,1.1,1.11,1.12,1.13,1.14,1.15,1.16
2,"T09032026K1402V","2.5",0.00001,,2.4,2.5,2.6,2.7,2.8,2.9,2.1,2.11,2.12,2.13,2.14,2.15,2.16
3,"T09032026K1403V",3.1,3.2,3.3,3.4,3.5,3.6,3.7,3.8,3.9,3.1,3.11,3.12,3.13,3.14,3.15,3.16
CSV

status=0
check() {
  local got="$work/csv/$(basename "${1%.xlsx}").csv"
  if diff -u "$2" <(tr -d '\r' < "$got"); then echo "ok: $3 ($1)"; else echo "DIFFERS: $3" >&2; status=1; fi
}
check "${files[0]}" "$work/one_record.csv" "one-record sheet"
check "${files[1]}" "$work/export_all.csv" "all-records export"
exit $status
