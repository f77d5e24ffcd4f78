#!/usr/bin/env bash
# Chapter: a design, its header and checks, and its division into parts
set -euo pipefail
echo "\$ vantel sample --out rose.kst --colours 4 --units 600"
"$VANTEL" sample --out rose.kst --colours 4 --units 600
echo
echo "\$ vantel info rose.kst"
"$VANTEL" info rose.kst
echo
echo "\$ vantel divide rose.kst --budget 350 --first 1 --second 2 --out parts"
"$VANTEL" divide rose.kst --budget 350 --first 1 --second 2 --out parts
for part in parts/rose_*.kst; do
    echo
    echo "\$ vantel info $part"
    "$VANTEL" info "$part"
done
