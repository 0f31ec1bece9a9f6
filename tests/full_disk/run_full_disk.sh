#!/usr/bin/env bash
# Runs the full-disk cases of themes_tests against a tiny tmpfs that Wine
# reaches through drive Z:. Mounting needs root; elsewhere the test is
# reported as skipped (exit 77).
# Usage: run_full_disk.sh THEMES_TESTS_EXE WINE_RUN MOUNT_POINT
set -euo pipefail
exe=$1
wine_run=$2
dir=$3
mkdir -p "$dir"
if ! mount -t tmpfs -o size=320k,mode=0777 quorvel-full-disk "$dir" 2>/dev/null; then
    echo "cannot mount a tmpfs at $dir (needs root): skipped"
    exit 77
fi
trap 'umount "$dir" || umount -l "$dir"' EXIT
QUORVEL_FULL_DISK_DIR="$dir" "$wine_run" "$exe" --gtest_filter='*FullDisk*' </dev/null
