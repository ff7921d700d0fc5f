#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan, UBSan) and runs each one.
#   scripts/fuzz.sh smoke      a few seconds per target (part of make test)
#   scripts/fuzz.sh long [S]   S seconds per target (default 300), figures printed
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mode=${1:-smoke}
seconds=${2:-300}
[ "$mode" = smoke ] && seconds=10

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target fuzz_targets
mapfile -t targets < <(find "$root/build/fuzz" -type f -name '*_fuzz' -perm -u+x | sort)
if [ ${#targets[@]} -eq 0 ]; then
  echo "fuzz: no fuzz targets yet"
  exit 0
fi
for t in "${targets[@]}"; do
  name=$(basename "$t")
  corpus="$root/build/fuzz/corpus/$name"
  mkdir -p "$corpus"
  seeds=$(dirname "$t")/${name}_seeds
  echo "fuzz: $name for ${seconds}s"
  log="$root/build/fuzz/$name.log"
  args=(-max_total_time="$seconds" -print_final_stats=1 "$corpus")
  [ -d "$seeds" ] && args+=("$seeds")
  if ! "$t" "${args[@]}" >"$log" 2>&1; then
    tail -n 40 "$log"
    echo "fuzz: $name failed (log: $log)"
    exit 1
  fi
  grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|Done)' "$log" || true
done
