#!/usr/bin/env bash
# Chapter: the command object: a design sent and received without dialogs, a PC folder as the machine sees it, and the operator's panel served from the PC
set -euo pipefail
show() { echo "\$ vantel $*"; "$VANTEL" "$@"; echo; }

export VANTEL_MACHINE=embedded:machine
"$VANTEL" sample --out rose.kst --colours 3 --units 400 >/dev/null
"$VANTEL" sample --out tulip.kst --colours 2 --units 300 >/dev/null
"$VANTEL" sample --out leaf.kst+ --extended --colours 2 --units 200 >/dev/null

show status
show put rose.kst --to '\EMB\ROSE.KST'
show get '\EMB\ROSE.KST' --out rose-back.kst
echo "\$ cmp rose.kst rose-back.kst"
cmp rose.kst rose-back.kst && echo "(the same bytes came back)"
echo

# A PC folder with a subfolder, two designs and a file the machine does not show.
mkdir -p pc/Designs/Flowers
cp rose.kst pc/Designs/ROSE.KST
cp leaf.kst+ pc/Designs/
cp tulip.kst pc/Designs/Flowers/
echo "shopping list" >pc/Designs/notes.txt
show folderinfo pc/Designs

# The operator's panel belongs to a served machine: the service runs against it while the panel
# raises the requests from another process.
"$VANTEL" machine serve --storage served --socket machine.sock >/dev/null &
machine=$!
for _ in $(seq 100); do [ -S machine.sock ] && break; sleep 0.05; done
panel() { echo "\$ vantel machine panel --socket machine.sock $*"; "$VANTEL" machine panel --socket machine.sock "$@"; }

echo "\$ vantel serve pc/Designs &"
VANTEL_MACHINE=unix:machine.sock "$VANTEL" serve pc/Designs >serve.log &
service=$!
trap 'kill $service $machine 2>/dev/null; wait $service $machine 2>/dev/null || true' EXIT
shown=0
# Waits until the service has printed its line number $1, and shows its new lines.
served() {
    for _ in $(seq 300); do [ "$(wc -l <serve.log)" -ge "$1" ] && break; sleep 0.1; done
    tail -n +$((shown + 1)) serve.log | head -n $(($1 - shown))
    shown=$1
}
served 1
panel request 1; served 2            # the operator starts browsing the PC
panel request 3; served 3            # the listing of pc/Designs
panel request 4 Flowers; served 4    # into the subfolder: its listing comes at once
panel request 4 ..; served 5         # and back up
panel request 4 Flowers; served 6
panel request 4 tulip.kst; served 8  # load a design for sewing; the machine then asks for the list
panel request 5 SEWN.KST; served 9   # store it back: into the remembered folder, current again
for _ in $(seq 100); do [ -s pc/Designs/SEWN.KST ] && break; sleep 0.1; done
sleep 0.5
kill -INT $service
wait $service || true
served 10
trap 'kill $machine 2>/dev/null; wait $machine 2>/dev/null || true' EXIT
echo
panel answers
echo
show machine ls --storage served --medium 4
echo "\$ ls pc/Designs"
ls pc/Designs
echo "\$ cmp pc/Designs/Flowers/tulip.kst pc/Designs/SEWN.KST"
cmp pc/Designs/Flowers/tulip.kst pc/Designs/SEWN.KST && echo "(the design stored is the one loaded)"
