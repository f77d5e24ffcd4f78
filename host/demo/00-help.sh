#!/usr/bin/env bash
# Chapter: the vantel commands
set -euo pipefail
"$VANTEL" --help
