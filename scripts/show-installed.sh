#!/usr/bin/env bash
# Prints what the installer left in the private Wine prefix: the install directory, the files it
# placed in the Windows, system and drivers directories, the settings file and the shell links.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
prefix=${ZELNAR_WINEPREFIX:-${ZELNAR_BUILD_ROOT:-$root/build}/wineprefix}
c=$prefix/drive_c
list=${1:-$root/sample/Velmarin.lst}

echo "== install directory c:\\Zelnar"
(cd "$c/Zelnar" 2>/dev/null && find . -type f -printf '  %TY-%Tm-%Td %TH:%TM  %8s  %p\n' | sort -k4) ||
  echo "(missing)"

echo "== Windows, system and drivers directories"
tr -d '\r' <"$list" | while IFS=, read -r _ dest letter _; do
  case "$letter" in
    W*) dir=windows ;; S*) dir=windows/system32 ;; D*) dir=windows/system32/drivers ;; *) continue ;;
  esac
  f=$(find "$c/$dir" -maxdepth 1 -iname "$dest" 2>/dev/null | head -n 1)
  if [ -n "$f" ]; then echo "  ${f#$c/}  $(stat -c %s "$f") bytes"; else echo "  $dir/$dest (missing)"; fi
done

echo "== c:\\Zelnar\\Velmarin.ini"
tr -d '\r' <"$c/Zelnar/Velmarin.ini" 2>/dev/null | sed 's/^/  /' || echo "(missing)"

echo "== shell links"
for folder in "$c/users/Public/Desktop" "$c/ProgramData/Microsoft/Windows/Start Menu/Programs/Moldar"; do
  echo "  ${folder#$c/}:"
  for link in "$folder"/*.lnk; do
    [ -e "$link" ] || { echo "    (none)"; break; }
    target=$(lnkinfo "$link" 2>/dev/null | sed -n 's/^\s*Local path\s*:\s*//p' | head -n 1)
    echo "    $(basename "$link") -> ${target:-?}"
  done
done
