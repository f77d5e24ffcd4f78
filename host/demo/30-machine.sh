#!/usr/bin/env bash
# Chapter: the simulated machine, served to other processes, and its operator panel
set -euo pipefail
show() { echo "\$ vantel $*"; "$VANTEL" "$@"; echo; }

"$VANTEL" sample --out rose.kst --colours 3 --units 400 >/dev/null
"$VANTEL" machine serve --storage machine --socket machine.sock &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null || true' EXIT
for _ in $(seq 100); do [ -S machine.sock ] && break; sleep 0.05; done

show machine panel --socket machine.sock status
show machine panel --socket machine.sock put-sewing ROSE.KST --in rose.kst
show machine panel --socket machine.sock request 4 ROSE.KST
show machine panel --socket machine.sock run on
show machine panel --socket machine.sock status
show machine ls --storage machine --medium 1
show machine ls --storage machine --medium 4
