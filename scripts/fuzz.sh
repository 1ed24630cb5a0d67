#!/usr/bin/env bash
# Builds the libFuzzer targets with clang-14 into build-fuzz/ (or $FUZZ_BUILD_DIR) and runs each
# for FUZZ_SECONDS seconds (default 60). Fails when a target finds a crash, a sanitizer report,
# an allocation above the memory limit, or a failed check; the input is saved under
# build-fuzz/fuzz-artifacts/. The growing corpus stays in build-fuzz/fuzz-corpus/ between runs.
#   FUZZ_SECONDS=3600 bash scripts/fuzz.sh              run each target for an hour
#   FUZZ_TARGETS="fuzz_import" bash scripts/fuzz.sh     only some targets
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=${FUZZ_SECONDS:-60}
targets=${FUZZ_TARGETS:-fuzz_audiofile fuzz_samplefile fuzz_import fuzz_engine}

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DBRELKA_FUZZ=ON -DBRELKA_TESTS=ON -DBRELKA_GUI=OFF >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target fuzz_targets brelka-cli
bash "$root/tests/fuzz/make_seeds.sh" "$build" >/dev/null

# UndefinedBehaviorSanitizer stops at its first report, so libFuzzer saves the input.
export UBSAN_OPTIONS=halt_on_error=1:abort_on_error=1:print_stacktrace=1
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}
mkdir -p "$build/fuzz-artifacts"
failed=0
for t in $targets; do
  corpus=$build/fuzz-corpus/$t
  mkdir -p "$corpus"
  # Inputs that once failed are kept as regression inputs and run first.
  regressions=$root/tests/hostile/inputs/$t
  dirs=("$corpus" "$build/fuzz-seeds/$t")
  [ -d "$regressions" ] && dirs+=("$regressions")
  echo "== $t: ${seconds}s"
  log=$build/fuzz-artifacts/$t.log
  # No single allocation may exceed 300 MB (a header-sized allocation would); 1 GB in all.
  if "$build/bin/$t" -max_total_time="$seconds" -max_len=65536 -timeout=30 \
      -rss_limit_mb=1024 -malloc_limit_mb=300 -print_final_stats=1 \
      -artifact_prefix="$build/fuzz-artifacts/$t-" "${dirs[@]}" >"$log" 2>&1; then
    grep -E '^stat::number_of_executed_units|^stat::new_units_added' "$log" | tr '\n' ' '
    echo
  else
    echo "!! $t failed; see $log"
    grep -E 'ERROR|check failed|runtime error|SUMMARY|Test unit written' "$log" | head -20
    failed=1
  fi
done
exit $failed
