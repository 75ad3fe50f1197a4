#!/usr/bin/env bash
# Packs the already-built tree into a scratch folder, then checks the package: exactly the
# expected files (no test programs, no demo tools), the dependencies found in the binaries, and
# that the launcher inside it runs.
# Usage: package_deb.sh <build folder> <expected file list>
set -euo pipefail
build_dir=$1
expected_files=$2
cpack=${CPACK_PROGRAM:-cpack}

for tool in "$cpack" dpkg-deb dpkg-shlibdeps; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIP: $tool is missing; the package needs cpack (cmake) and dpkg-dev"
    exit 77
  fi
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

if ! "$cpack" -G DEB --config "$build_dir/CPackConfig.cmake" -B "$scratch/out" \
     >"$scratch/cpack.log" 2>&1; then
  cat "$scratch/cpack.log"
  echo "FAIL: cpack could not make the package"
  exit 1
fi
debs=("$scratch"/out/tarvo-updater_*_"$(dpkg --print-architecture)".deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
  ls -l "$scratch/out"
  echo "FAIL: expected exactly one tarvo-updater_<version>_<arch>.deb"
  exit 1
fi
deb=${debs[0]}
failed=0

# Modes, owners and names of everything but folders.
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $1, $2, $6 }' | LC_ALL=C sort -k3 >"$scratch/files.txt"
if ! diff -u "$expected_files" "$scratch/files.txt"; then
  echo "FAIL: the package's files differ from $expected_files"
  failed=1
fi

check_field() {
  local field=$1 pattern=$2 value
  value=$(dpkg-deb -f "$deb" "$field")
  if ! grep -Eq "$pattern" <<<"$value"; then
    echo "FAIL: $field '$value' does not match '$pattern'"
    failed=1
  fi
}
check_field Depends '(^|, )libqt6widgets6( |,|$)'
check_field Depends '(^|, )libqt6webenginecore6-bin( |,|$)'
check_field Depends '(^|, )libunrar[0-9]+( |,|$)'
check_field Depends '(^|, )libsodium[0-9]+( |,|$)'
check_field Depends '(^|, )libcurl[0-9]'
check_field Depends '(^|, )libtorrent-rasterbar[0-9.]+( |,|$)'
check_field Depends '(^|, )fonts-dejavu-extra( |,|$)'
check_field Section '^games$'
check_field Maintainer '^[^<]+ <[^>]+@[^>]+>$'

# The packaged launcher, with no display at all.
dpkg -x "$deb" "$scratch/root"
expected_version="tarvo-updater $(dpkg-deb -f "$deb" Version)"
status=0
actual_version=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
  "$scratch/root/usr/bin/tarvo-updater" --version) || status=$?
if [ "$status" -ne 0 ] || [ "$actual_version" != "$expected_version" ]; then
  echo "FAIL: --version printed '$actual_version' (exit $status), expected '$expected_version'"
  failed=1
fi

# The window mode loads its module from the package's lib folder: in an empty folder the
# launcher shows its first box (a missing file) and ends.
mkdir "$scratch/game"
(cd "$scratch/game" && QT_QPA_PLATFORM=offscreen UPDATER_DIALOG_ANSWERS=OK \
  UPDATER_DIALOG_LOG="$scratch/boxes.jsonl" timeout 120 "$scratch/root/usr/bin/tarvo-updater" \
  >"$scratch/window.log" 2>&1) || true
if ! grep -q '"text": "Cannot open file' "$scratch/boxes.jsonl" 2>/dev/null; then
  cat "$scratch/window.log"
  echo "FAIL: the packaged launcher did not open its window module"
  failed=1
fi

[ "$failed" -eq 0 ] && echo "package: $(basename "$deb") is complete"
exit "$failed"
