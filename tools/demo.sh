#!/usr/bin/env bash
# The main job: the control drives the recorder simulator (qorvdemo), after
# the platform and serial-engine self-check (qorvinfo). The system root is a
# temporary folder; the recording is copied out of it before it goes.
set -euo pipefail
bin=$1
kept=${QORV_DEMO_OUTPUT:-$(cd "$bin/.." && pwd)/demo}
root=$(mktemp -d -t qorv-demo-XXXXXX)
trap 'rm -rf "$root"' EXIT
export QORV_SYSTEM_ROOT="$root"
echo "system root: $root (removed at the end)"
if [ -x "$bin/qorvinfo" ]; then "$bin/qorvinfo"; fi
if [ -x "$bin/qorvdemo" ]; then
  "$bin/qorvdemo"
  recording=$(find "$root/drive_c" -maxdepth 1 -iname 'fileQorv1.wav' -print -quit)
  if [ -n "$recording" ]; then
    mkdir -p "$kept"
    cp "$recording" "$kept/fileQorv1.wav"
    echo "recording kept: $kept/fileQorv1.wav"
  fi
elif [ ! -x "$bin/qorvinfo" ]; then
  echo "nothing to demonstrate yet"
fi
# The installer on the sample medium against the SQL Server stand-in.
"$(dirname "$0")/installer-demo.sh" "$bin" "$kept"
