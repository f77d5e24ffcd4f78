#!/usr/bin/env bash
# Chapter: is a machine connected? The library's connection test, with and without a machine
set -euo pipefail
run() {
    echo "\$ VANTEL_MACHINE=$1 vantel connected"
    status=0
    VANTEL_MACHINE=$1 "$VANTEL" connected || status=$?
    echo "(exit status $status)"
    echo
}

# The embedded simulated machine, on storage of its own in the demo's folder.
run embedded:machine
# No machine at all: the driver's device interface is not there.
run none
