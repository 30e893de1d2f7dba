#!/usr/bin/env bash
# The main job: build the installer and run it under Wine in a throwaway prefix (a whole
# install headless under Xvfb when there is no display; see tests/wine/main_job.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
exec tests/wine/main_job.sh
