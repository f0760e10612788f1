#!/usr/bin/env bash
# Sets up, builds and starts the tool.
#   scripts/run.sh          the tool alone
#   scripts/run.sh --demo   the tool with a simulated controller and a
#                           matching sample firmware file (no hardware needed)
set -euo pipefail
cd "$(dirname "$0")/.."

DEMO_PORT=/tmp/quarnel-demo-port
DEMO_FILE=/tmp/quarnel-demo.QRV
DEMO_MODEL=2

demo=0
if [[ "${1:-}" == "--demo" ]]; then
  demo=1
  shift
fi

scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARNEL_TESTS=OFF >/dev/null
if ((demo == 0)); then
  cmake --build build --target quarnel
  exec build/app/quarnel "$@"
fi

cmake --build build --target quarnel mcsim-run make-sample-fw
build/tools/samplefw/make-sample-fw "$DEMO_FILE" "$DEMO_MODEL" >/dev/null
build/tools/mcsim/mcsim-run --link "$DEMO_PORT" --model "$DEMO_MODEL" >/dev/null &
sim=$!
# The simulator goes when the tool does, however the tool ends.
trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  [[ -e "$DEMO_PORT" ]] && break
  sleep 0.1
done
cat <<TEXT
Simulated controller (model $DEMO_MODEL) on: $DEMO_PORT
Sample firmware file:                  $DEMO_FILE
In the window: untick "Auto-detect COM Port", type $DEMO_PORT into the
COM Port box, Browse to $DEMO_FILE, then press Update.
TEXT
build/app/quarnel "$@"
