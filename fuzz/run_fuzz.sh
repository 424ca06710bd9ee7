#!/bin/sh
# Runs one libFuzzer target for a fixed time: OV_FUZZ_SECONDS (default 30).
# New inputs go to a working corpus in the build tree; the committed seeds are only read.
# Usage: run_fuzz.sh FUZZER WORK_CORPUS SEEDS [libFuzzer options...]
set -eu
fuzzer=$1 work=$2 seeds=$3
shift 3
mkdir -p "$work"
exec "$fuzzer" -max_total_time="${OV_FUZZ_SECONDS:-30}" -print_final_stats=1 "$@" "$work" "$seeds"
