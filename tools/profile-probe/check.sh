#!/bin/sh
# Asks the platform again for every answer in tests/data/profile-probe.txt: builds the probe with
# the Windows cross compiler and runs it under wine64 on the corpus. Without them it skips (77).
# Usage: check.sh SOURCE_DIR WORK_DIR
set -eu
source_dir=$1
work_dir=$2
cc=$(command -v x86_64-w64-mingw32-gcc || true)
wine=$(command -v wine64 || command -v /usr/lib/wine/wine64 || true)
if [ -z "$cc" ] || [ -z "$wine" ]; then
    echo "SKIPPED: needs x86_64-w64-mingw32-gcc and wine64 (Debian: gcc-mingw-w64-x86-64, wine64)"
    exit 77
fi
mkdir -p "$work_dir"
"$cc" -O2 -o "$work_dir/probe.exe" "$source_dir/tools/profile-probe/probe.c"
# A prefix of our own, and the C locale: the answers are those of the Western code page.
export WINEPREFIX="$work_dir/wineprefix" WINEDEBUG=-all LC_ALL=C
golden="$source_dir/tests/data/profile-probe.txt"
status=0
"$wine" "$work_dir/probe.exe" "$source_dir/tools/profile-probe/corpus" <"$golden" >"$work_dir/answers.txt" ||
    status=$?
"$(dirname "$wine")/wineserver" -k 2>/dev/null || true
[ "$status" -eq 0 ] || { echo "the probe failed under wine64 ($status)"; exit 1; }
diff -u "$golden" "$work_dir/answers.txt"
echo "all $(grep -vc '^#' "$golden") answers are the platform's"
