#!/usr/bin/env bash
# tools/run-fuzzers.sh BUILD_DIR SECONDS: runs every *_fuzz binary of BUILD_DIR/fuzz at once, each
# for SECONDS, starting from its seeds in fuzz/seeds/<entry>/. New corpus entries go to a scratch
# folder, never into the tree. Fails if any target finds a crash, leak, time-out or memory blow-up.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$1
seconds=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

shopt -s nullglob
targets=("$build"/fuzz/*_fuzz)
if [ ${#targets[@]} -eq 0 ]; then
  echo "no fuzz targets built"
  exit 0
fi

pids=()
for t in "${targets[@]}"; do
  name=$(basename "$t" _fuzz)
  mkdir -p "$scratch/$name/corpus" "$scratch/$name/artifacts"
  seeds=("$top/fuzz/seeds/$name")
  [ -d "${seeds[0]}" ] || seeds=()
  dict=()
  [ -f "$top/fuzz/$name.dict" ] && dict=(-dict="$top/fuzz/$name.dict")
  ( "$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$scratch/$name/artifacts/" "${dict[@]}" \
      "$scratch/$name/corpus" "${seeds[@]}" >"$scratch/$name.log" 2>&1 ) &
  pids+=("$!:$name")
done

failed=0
for entry in "${pids[@]}"; do
  pid=${entry%%:*}
  name=${entry#*:}
  if wait "$pid"; then
    printf '%-20s ok (%s)\n' "$name" "$(grep -a -m1 -o 'stat::number_of_executed_units: [0-9]*' "$scratch/$name.log" | awk '{print $2 " runs"}')"
  else
    printf '%-20s FAILED\n' "$name"
    tail -n 60 "$scratch/$name.log"
    for a in "$scratch/$name/artifacts"/*; do
      echo "input ($a), base64:"; base64 -w0 "$a" | head -c 4000; echo
    done
    failed=1
  fi
done
exit $failed
