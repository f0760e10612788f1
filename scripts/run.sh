#!/usr/bin/env bash
# Sets up, builds and starts the tool. Installs only what the tool needs
# (scripts/test.sh installs what the tests need).
#   scripts/run.sh          the tool alone
#   scripts/run.sh --demo   the tool with a simulated controller and a
#                           matching sample firmware file (no hardware needed)
set -euo pipefail
cd "$(dirname "$0")/.."

DEMO_MODEL=2
DEMO_PORT_WAIT_TRIES=50  # of 0.1 s: how long the simulator may take to show its port

demo=0
if [[ "${1:-}" == "--demo" ]]; then
  demo=1
  shift
fi

scripts/setup.sh tool
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARNEL_TESTS=OFF >/dev/null
if ((demo == 0)); then
  cmake --build build --target quarnel
  exec build/app/quarnel "$@"
fi

cmake --build build --target quarnel quarnel-cli mcsim-run make-sample-fw

# The demo's files live in a fresh folder of this user's own, so demos of
# several users (or several of one user) never meet.
if [[ -n "${XDG_RUNTIME_DIR:-}" && -d "$XDG_RUNTIME_DIR" && -w "$XDG_RUNTIME_DIR" ]]; then
  demo_dir=$(mktemp -d "$XDG_RUNTIME_DIR/quarnel-demo.XXXXXX")
else
  demo_dir=$(mktemp -d -t quarnel-demo.XXXXXX)
fi
demo_port=$demo_dir/port
demo_file=$demo_dir/sample.QRV
sim=

# The simulator and the folder go when the tool does, however the tool ends.
cleanup() {
  if [[ -n "$sim" ]]; then
    kill "$sim" 2>/dev/null || true
    wait "$sim" 2>/dev/null || true
  fi
  rm -rf "$demo_dir"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

build/tools/samplefw/make-sample-fw "$demo_file" "$DEMO_MODEL" >/dev/null
build/tools/mcsim/mcsim-run --link "$demo_port" --model "$DEMO_MODEL" >/dev/null &
sim=$!
for _ in $(seq "$DEMO_PORT_WAIT_TRIES"); do
  [[ -e "$demo_port" ]] && break
  kill -0 "$sim" 2>/dev/null || break
  sleep 0.1
done
if [[ ! -e "$demo_port" ]]; then
  echo "run.sh: the simulated controller did not start" >&2
  exit 1
fi

printf '%-42s %s\n' \
  "Demo folder (removed when the tool ends):" "$demo_dir" \
  "Simulated controller (model $DEMO_MODEL) on:" "$demo_port" \
  "Sample firmware file:" "$demo_file"
cat <<TEXT
In the window: untick "Auto-detect COM Port", type the controller's path
above into the COM Port box, Browse to the sample file, then press Update.
From another terminal, while the window is open:
  build/cli/quarnel-cli update $demo_file --port $demo_port
TEXT
build/app/quarnel "$@"
