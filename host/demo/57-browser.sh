#!/usr/bin/env bash
# Chapter: the storage browser: a medium's folders listed, and a design with its companion received into memory through "Receive a Design", picked by a script
set -euo pipefail
show() { echo "\$ vantel $*"; "$VANTEL" "$@"; echo; }

export VANTEL_MACHINE=embedded:browser-machine
# Two design folders on the built-in memory, one holding a design for the large hoop with its
# companion file and a design without one.
"$VANTEL" mkdir '\EMB' FLOWERS >/dev/null
"$VANTEL" mkdir '\EMB' LEAVES >/dev/null
"$VANTEL" sample --out rose.kst --hoop 26 --colours 3 --units 300 >/dev/null
"$VANTEL" sample --out ivy.kst --colours 2 --units 200 >/dev/null
printf 'thread chart of the rose' >rose.rzf
"$VANTEL" put rose.kst --to '\EMB\FLOWERS\ROSE.KST' >/dev/null
"$VANTEL" put rose.rzf --to '\EMB\FLOWERS\ROSE.RZF' >/dev/null
"$VANTEL" put ivy.kst --to '\EMB\FLOWERS\IVY.KST' >/dev/null

show ls
show ls '\EMB\FLOWERS'

# "Receive a Design" as a user would drive it: double click on FLOWERS, click on ROSE.KST,
# "Receive". The design comes with its companion (its hoop code is 26).
mkdir -p picked
show pick FLOWERS ROSE.KST --out picked
echo "\$ cmp rose.kst picked/ROSE.KST && cmp rose.rzf picked/ROSE.rzf"
cmp rose.kst picked/ROSE.KST && cmp rose.rzf picked/ROSE.rzf && echo "(both arrived whole)"
echo
# IVY.KST has no companion: listed only when the filter is off.
echo "\$ vantel pick FLOWERS IVY.KST --out picked"
status=0
"$VANTEL" pick FLOWERS IVY.KST --out picked || status=$?
echo "(exit status $status)"
echo
show pick FLOWERS IVY.KST --all --out picked
