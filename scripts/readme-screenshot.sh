#!/usr/bin/env bash
# Makes the README's picture: the window after a scan, taken from the whole-cycle test's run in
# a virtual X server (the build must exist: scripts/test.sh builds it).
set -euo pipefail
cd "$(dirname "$0")/.."
work=build/readme-shot
bash tests/e2e/run_cycle.sh build/bivara-scanner "$work" tests/data/e2e/bed-prints.png tests/data/e2e/bed-prints.png
mkdir -p docs
# The window sits at the screen's top-left corner; keep the window alone.
/usr/bin/python3 - "$work/screens/04.png" docs/window.png <<'PY'
import sys
from PIL import Image
Image.open(sys.argv[1]).crop((0, 0, 1080, 720)).save(sys.argv[2], optimize=True)
PY
echo "docs/window.png"
