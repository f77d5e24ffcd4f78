#!/usr/bin/env bash
# Chapter: converting an extended design for the large two-position hoop
set -euo pipefail
# An extended design (.kst+) for hoop 5: an upper and a lower part joined by jumps, with its
# block records and the division point between the parts.
"$VANTEL" sample --extended --hoop 5 --colours 4 --out large.kst+
# The plain design keeps the whole design and carries in its trailer the block records and
# the two halves, one for each position of the hoop.
"$VANTEL" convert large.kst+ large.kst
"$VANTEL" info large.kst
# A design shorter than its header says is refused, and nothing is written.
head -c 200 large.kst+ > cut.kst+
if "$VANTEL" convert cut.kst+ cut.kst; then
    echo "a cut-off design was converted" >&2
    exit 1
fi
test ! -e cut.kst
