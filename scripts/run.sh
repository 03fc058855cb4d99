#!/usr/bin/env bash
# Sets up, builds and starts the program. Arguments go to the program;
# --simulate runs it on the virtual unit, without hardware.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh >&2

if [ -x build/src/app/dsp-v36 ]; then
  exec build/src/app/dsp-v36 "$@"
elif [ -x build/src/cli/v36ctl ]; then
  if [ $# -eq 0 ]; then set -- --simulate info; fi
  exec build/src/cli/v36ctl "$@"
else
  echo "run: the core library is built; the programs are not part of this build yet" >&2
  exit 1
fi
