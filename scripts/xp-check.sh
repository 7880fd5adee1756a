#!/usr/bin/env bash
# xp-check.sh CC OBJDUMP EXE...: fails (status 1) unless each program loads on
# Windows XP SP3: it imports no function that XP lacks, only DLLs that XP has,
# and its PE header asks for no system newer than 5.1. The functions that XP
# lacks are those that MinGW-w64's own headers declare for Windows 10 but not
# for XP: windows.h, commdlg.h and shellapi.h compiled by CC (the MinGW C
# compiler) with _WIN32_WINNT and WINVER at 0x0A00 and at 0x0501. OBJDUMP is
# MinGW's objdump, which reads the import tables and the header.
set -euo pipefail
if [ $# -lt 3 ]; then
  echo "usage: $0 CC OBJDUMP EXE..." >&2
  exit 2
fi
cc=$1 objdump=$2
shift 2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The names of the functions declared for one version, from the compiler's own
# list of the prototypes it has seen (-aux-info), one "extern TYPE NAME (...);"
# a line. The name is the first word followed by a parameter list; "(*" opens
# a function pointer of the return type instead.
declared() {
  printf '#include <windows.h>\n#include <commdlg.h>\n#include <shellapi.h>\n' >"$work/headers.c"
  "$cc" -fsyntax-only -D_WIN32_WINNT="$1" -DWINVER="$1" -aux-info "$work/declared-$1" \
    "$work/headers.c"
  awk '{
    sub(/^\/\*[^*]*\*\/ /, "")
    if (match($0, /[A-Za-z_][A-Za-z0-9_]* \([^*]/)) print substr($0, RSTART, RLENGTH - 3)
  }' "$work/declared-$1" | sort -u
}
declared 0x0501 >"$work/xp"
declared 0x0A00 >"$work/later"
comm -13 "$work/xp" "$work/later" >"$work/newer"
# A list that came out empty would let everything through.
if ! grep -qx GetTickCount64 "$work/newer" || grep -qx CreateFileA "$work/newer"; then
  echo "$0: could not derive the functions that Windows XP lacks from $cc's headers" >&2
  exit 2
fi

# The system DLLs of Windows XP SP3 that a program of this kind may import.
is_xp_dll() {
  case ${1,,} in
    advapi32.dll | comctl32.dll | comdlg32.dll | gdi32.dll | kernel32.dll | msvcrt.dll | \
      ole32.dll | oleaut32.dll | shell32.dll | shlwapi.dll | user32.dll | version.dll | \
      winmm.dll | ws2_32.dll) return 0 ;;
    *) return 1 ;;
  esac
}

# "MAJOR.MINOR" of one of the header's versions (OSystem, Subsystem).
header_version() {
  awk -v major="Major$2" -v minor="Minor$2" '
    $1 == major { a = $2 } $1 == minor { b = $2 } END { print a "." b }' <<<"$1"
}

status=0
for exe in "$@"; do
  name=$(basename "$exe")
  dump=$("$objdump" -p "$exe")
  # "DLL NAME" a line, then "DLL FUNCTION" for each function imported by name.
  imports=$(awk '
    /^The Import Tables/ { inside = 1; next }
    /^[A-Za-z]/ { inside = 0 }
    inside && /^\tDLL Name: / { dll = $3; print dll }
    inside && /^\t[0-9a-f]+\t +[0-9]+ +[^ ]+$/ { print dll, $NF }
  ' <<<"$dump")
  count=0
  while read -r dll function; do
    [ -n "$dll" ] || continue
    if [ -z "$function" ]; then
      if ! is_xp_dll "$dll"; then
        echo "$name: imports from $dll, which Windows XP does not have"
        status=1
      fi
      continue
    fi
    count=$((count + 1))
    if grep -qx "$function" "$work/newer"; then
      echo "$name: imports $function from $dll, which Windows XP lacks"
      status=1
    fi
  done <<<"$imports"

  os=$(header_version "$dump" OSystemVersion)
  subsystem=$(header_version "$dump" SubsystemVersion)
  for pair in "OS version:$os" "subsystem version:$subsystem"; do
    label=${pair%%:*} value=${pair#*:}
    major=${value%.*} minor=${value#*.}
    if [ -z "$major" ] || [ -z "$minor" ] || [ $((major * 256 + minor)) -gt $((5 * 256 + 1)) ]; then
      echo "$name: its PE header asks for $label $value, newer than Windows XP's 5.1"
      status=1
    fi
  done
  echo "$name: $count functions imported by name; OS version $os, subsystem version $subsystem"
done
exit "$status"
