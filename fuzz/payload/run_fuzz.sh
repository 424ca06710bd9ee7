#!/bin/sh
# Runs one payload fuzz target for a fixed time: OV_FUZZ_SECONDS (default 30).
# New inputs go to a working corpus in the build tree; the committed seeds are only read.
# Usage: run_fuzz.sh FUZZER WORK_CORPUS SEEDS
set -eu
fuzzer=$1 work=$2 seeds=$3
mkdir -p "$work"
exec "$fuzzer" -max_total_time="${OV_FUZZ_SECONDS:-30}" -max_len=8192 -timeout=60 \
  -print_final_stats=1 "$work" "$seeds"
