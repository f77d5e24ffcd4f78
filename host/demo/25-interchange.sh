#!/usr/bin/env bash
# Chapter: designs from other tools: a DST file converted for the machine, looked at, and sent
set -euo pipefail
show() { echo "\$ vantel $*"; "$VANTEL" "$@"; echo; }
export VANTEL_MACHINE=embedded:machine

# A design as another tool would hand it over: a Tajima DST file.
show sample --out tulip.dst --colours 5 --units 900
echo "\$ head -c 125 tulip.dst | tr '\\r' '\\n'    # its header"
head -c 125 tulip.dst | tr '\r\032' '\n '
echo
show convert tulip.dst tulip.kst
show info tulip.kst

# What it looks like: PNG and SVG files kept after the demo, and the terminal.
show preview tulip.kst --out "$DEMO_KEEP/tulip.png" --jumps
show preview tulip.dst --out "$DEMO_KEEP/tulip.svg"
show preview tulip.kst --terminal --size 48
# The large-hoop design of the conversion chapter: its two halves in their hoop positions.
show preview large.kst --out "$DEMO_KEEP/large.png"
show preview large.kst --terminal --size 40

# Sent as it is: converted in memory and stored under its name with ".kst".
show send tulip.dst --to '\EMB'
show machine ls --storage machine --medium 1
