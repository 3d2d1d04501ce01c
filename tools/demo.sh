#!/usr/bin/env bash
# The main job. Until the control and the installer exist it runs what is
# built: the platform and serial-engine self-check.
set -euo pipefail
bin=$1
root=$(mktemp -d -t qorv-demo-XXXXXX)
trap 'rm -rf "$root"' EXIT
export QORV_SYSTEM_ROOT="$root"
echo "system root: $root"
if [ -x "$bin/qorvinfo" ]; then "$bin/qorvinfo"; else echo "nothing to demonstrate yet"; fi
