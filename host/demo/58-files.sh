#!/usr/bin/env bash
# Chapter: the whole library on one medium: a folder made, designs sent into it, one renamed, browsed and picked, one deleted, the folder deleted with a subfolder inside, and the medium as it was
set -euo pipefail
show() { echo "\$ vantel $*"; "$VANTEL" "$@"; echo; }

export VANTEL_MACHINE=embedded:files-machine
"$VANTEL" sample --out rose.kst --colours 3 --units 300 >/dev/null
"$VANTEL" sample --out tulip.kst --colours 2 --units 200 >/dev/null
"$VANTEL" sample --out moss.kst --colours 1 --units 100 >/dev/null

"$VANTEL" status >/dev/null # the machine wakes up with its media
echo "(the medium before)"
"$VANTEL" machine ls --storage files-machine --medium 1 | tee before.txt
echo

show mkdir '\EMB' GARDEN
echo "\$ vantel mkdir '\\EMB\\GARDEN'        # the name typed at the prompt"
echo Mosses | "$VANTEL" mkdir '\EMB\GARDEN'
echo
show send rose.kst tulip.kst --to '\EMB\GARDEN' --direct
show send moss.kst --to '\EMB\GARDEN\Mosses'
show rename '\EMB\GARDEN\tulip.kst' Daisy
show machine ls --storage files-machine --medium 1
mkdir -p picked
show pick GARDEN Daisy.kst --all --out picked
show rm '\EMB\GARDEN\rose.kst'
show rm --folder '\EMB\GARDEN'

echo "(the medium after)"
"$VANTEL" machine ls --storage files-machine --medium 1 | tee after.txt
cmp -s before.txt after.txt && echo "(as it was)" || { echo "(the medium changed)"; exit 1; }
