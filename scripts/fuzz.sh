#!/usr/bin/env bash
# Runs every fuzz target for SECONDS each (default 600), one after the other,
# each on its kept corpus (build-fuzz/corpus/<target>, grown from run to run)
# seeded from real files (fuzz/corpus/<target>). Prints the executions of each
# target; exits non-zero when a target found something (its log and the
# crashing input stay in build-fuzz/).
#   scripts/fuzz.sh [SECONDS]
set -uo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-600}
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
  echo "usage: scripts/fuzz.sh [SECONDS]" >&2
  exit 2
fi

if ! { CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
         -DV36_CORE_ONLY=ON -DV36_BUILD_FUZZ=ON >/dev/null &&
       cmake --build build-fuzz --target fuzz_targets; }; then
  echo "fuzz: the targets did not build" >&2
  exit 1
fi

# Allocations are neither filled nor traced deeply: the slower targets run
# several times faster, and every overflow and use after free is still found.
export ASAN_OPTIONS=${ASAN_OPTIONS:-max_malloc_fill_size=0:malloc_context_size=3}

# The text readers work line by line: a few hundred bytes hold every
# combination of lines they know, and shorter inputs run many more times.
# The band lists' target builds its lines from a few bytes each: 128 bytes
# make a dozen lines, and reach more of the reader in a short run than 512.
options_for() {
  case "$1" in
    fuzz_eq_text) echo "-max_len=128" ;;
    fuzz_language_file) echo "-max_len=1024" ;;
    *) echo "" ;;
  esac
}

found=()
for target in build-fuzz/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus="build-fuzz/corpus/$name"
  seeds="fuzz/corpus/$name"
  log="build-fuzz/$name.log"
  mkdir -p "$corpus"
  [ -d "$seeds" ] || seeds=""
  echo "fuzzing $name for ${seconds} s"
  # shellcheck disable=SC2086
  if "$target" -max_total_time="$seconds" -print_final_stats=1 $(options_for "$name") \
       -artifact_prefix="build-fuzz/$name-" "$corpus" $seeds >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    echo "  $name: ${runs:-?} executions, no finding"
  else
    tail -n 40 "$log"
    found+=("$name")
  fi
done

if [ ${#found[@]} -gt 0 ]; then
  echo "fuzz: FOUND something in: ${found[*]}"
  exit 1
fi
echo "fuzz: every target ran clean"
