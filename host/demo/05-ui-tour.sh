#!/usr/bin/env bash
# Chapter: the library's dialogs as the terminal shows them
set -euo pipefail
"$VANTEL" ui-tour --pause 300
