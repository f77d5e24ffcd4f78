#!/usr/bin/env bash
# The guided tour of the library on the embedded simulated machine.
set -euo pipefail
vantel=${1:?usage: demo.sh PATH-TO-vantel}
"$vantel" --help
