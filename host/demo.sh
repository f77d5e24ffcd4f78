#!/usr/bin/env bash
# The guided tour of the library on the embedded simulated machine: runs every chapter in
# host/demo/ in order, in a scratch folder, with the vantel program given as argument.
set -euo pipefail
vantel=$(realpath "${1:?usage: demo.sh PATH-TO-vantel}")
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/vantel-demo-XXXXXX")
trap 'rm -rf "$work"' EXIT
# Files worth looking at after the tour (the previews) are kept beside the build's programs.
keep=$(realpath -m "$(dirname "$vantel")/../demo")
mkdir -p "$keep"
export VANTEL="$vantel" DEMO_WORK="$work" DEMO_KEEP="$keep"
for chapter in "$here"/demo/*.sh; do
    echo
    echo "=== $(sed -n 's/^# Chapter: //p' "$chapter") ==="
    (cd "$work" && bash "$chapter")
done
echo
echo "Demo finished. Kept in $keep:"
ls "$keep"
