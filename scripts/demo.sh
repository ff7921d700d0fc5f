#!/usr/bin/env bash
# The demo: the service emulator with the demo scenario, an installation's
# config.ini pointed at it by the settings tool's own cipher, and a first
# conversation with it. The emulator then keeps serving until Ctrl-C.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin="${KAVREL_NATIVE_BUILD:-$root/build/native}"
demo="$root/build/demo"
mkdir -p "$demo"
log="$demo/requests.jsonl"

"$bin/tools/service-emulator/kavrel-service" --scenario "$root/tools/service-emulator/scenarios/demo.json" \
  --log "$log" --write-config "$demo/config.ini" >"$demo/emulator.out" 2>&1 &
emulator=$!
trap 'kill $emulator 2>/dev/null; wait $emulator 2>/dev/null' EXIT INT TERM
for _ in $(seq 50); do grep -q '^ready' "$demo/emulator.out" 2>/dev/null && break; sleep 0.1; done
cat "$demo/emulator.out"

echo
echo "config.ini, deciphered by kavrel-config:"
"$bin/tools/kavrel-config/kavrel-config" --file "$demo/config.ini" get ServerUrl
base=$(awk '/^server /{print $3; exit}' "$demo/emulator.out")
echo
echo "handshake:"
curl -s "$base/pcAuth.action?terminal=2&ack=0000002a0001000000000000002b"; echo
echo
echo "first lines of the catalogue:"
uuid=$(curl -s "$base/pcAuth.action?terminal=2&ack=0000002a0001000000000000002b" | sed -n 's/.*<uuid>\([^<]*\)<.*/\1/p')
curl -s "$base/pcTv.action?terminal=2&uuid=$uuid" | head -c 600; echo
echo
echo "The emulator keeps serving at $base (request log: $log). Ctrl-C stops it."
wait $emulator
