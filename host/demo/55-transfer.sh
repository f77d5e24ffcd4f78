#!/usr/bin/env bash
# Chapter: the transfer dialogs: designs sent with their progress dialog, received back into a PC folder, and a send cancelled with Ctrl-C
set -euo pipefail
show() { echo "\$ vantel $*"; "$VANTEL" "$@"; echo; }

export VANTEL_MACHINE=embedded:transfer-machine
"$VANTEL" sample --out rose.kst --colours 3 --units 400 >/dev/null
"$VANTEL" sample --out tulip.kst --colours 2 --units 300 >/dev/null
"$VANTEL" sample --out daisy.kst --colours 4 --units 500 >/dev/null

# Designs read into memory first and counted (direct mode), then files sent by their paths.
show send rose.kst tulip.kst daisy.kst --to '\EMB' --direct
mkdir -p pc && cp rose.kst pc/ROSE2.KST
show send pc/ROSE2.KST --to '\EMB\'
show machine ls --storage transfer-machine --medium 1

# Received designs land in the folder as "temp" with their own extension.
mkdir -p received
show receive '\EMB\rose.kst' '\EMB\tulip.kst' --to received
echo "\$ cmp tulip.kst received/temp.kst"
cmp tulip.kst received/temp.kst && echo "(the last design received is in temp.kst)"
echo

# A long send interrupted: Ctrl-C presses the dialog's Cancel, which ends the dialog at once;
# the design in progress is finished, the next ones are not sent.
for i in 1 2 3 4 5 6; do cp daisy.kst "pc/LONG$i.KST"; done
echo "\$ vantel send pc/LONG*.KST --to '\\EMB' --direct   # Ctrl-C during the second design"
"$VANTEL" send pc/LONG*.KST --to '\EMB' --direct >send.log &
sender=$!
for _ in $(seq 300); do grep -q "2/6" send.log && break; sleep 0.05; done
kill -INT $sender
status=0
wait $sender || status=$?
cat send.log
echo "(exit status $status)"
