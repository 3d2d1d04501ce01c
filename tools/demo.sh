#!/usr/bin/env bash
# The main job: the control drives the recorder simulator (qorvdemo), after
# the platform and serial-engine self-check (qorvinfo).
set -euo pipefail
bin=$1
root=$(mktemp -d -t qorv-demo-XXXXXX)
trap 'rm -rf "$root"' EXIT
export QORV_SYSTEM_ROOT="$root"
echo "system root: $root"
if [ -x "$bin/qorvinfo" ]; then "$bin/qorvinfo"; fi
if [ -x "$bin/qorvdemo" ]; then
  "$bin/qorvdemo"
elif [ ! -x "$bin/qorvinfo" ]; then
  echo "nothing to demonstrate yet"
fi
