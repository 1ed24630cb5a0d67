#!/usr/bin/env bash
# Builds everything and runs every test: the normal suite, the same suite built with the
# sanitizers, the fuzz targets, the Windows build under wine, and the release packages' checks.
# Ends with one line that counts them all.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# The tests and the benchmark are options of the build; warnings fail it here.
bash "$root/scripts/build.sh" -DBRELKA_TESTS=ON -DBRELKA_BENCH=ON -DBRELKA_WERROR=ON || exit 1
build=${BUILD_DIR:-$root/build}
logs=$build/test-logs
mkdir -p "$logs"
status=0
(cd "$build" && ctest --output-on-failure --timeout 600 -j "$(nproc)") 2>&1 | tee "$logs/ctest.log" || status=1
bash "$root/scripts/sanitize.sh" 2>&1 | tee "$logs/sanitize.log" || status=1
bash "$root/scripts/fuzz.sh" 2>&1 | tee "$logs/fuzz.log" || status=1
bash "$root/scripts/windows.sh" 2>&1 | tee "$logs/windows.log" || status=1
{ bash "$root/scripts/package.sh" && bash "$root/scripts/check-package.sh"; } 2>&1 |
  tee "$logs/package.log" || status=1

# "N% tests passed, F tests failed out of T" of each suite, and one test a fuzz target.
passed=0
failed=0
for suite in ctest sanitize windows; do
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$logs/$suite.log" | tail -n 1)
  if [ -z "$line" ]; then
    failed=$((failed + 1)) # the suite did not run to its end
    continue
  fi
  f=$(echo "$line" | sed -E 's/.* ([0-9]+) tests? failed out of.*/\1/')
  t=$(echo "$line" | sed -E 's/.* out of ([0-9]+).*/\1/')
  passed=$((passed + t - f))
  failed=$((failed + f))
done
passed=$((passed + $(grep -c '^== fuzz_' "$logs/fuzz.log") - $(grep -c '^!! fuzz_' "$logs/fuzz.log")))
failed=$((failed + $(grep -c '^!! fuzz_' "$logs/fuzz.log")))
# The comparison of the Linux and the Windows tool's outputs counts as one test.
passed=$((passed + $(grep -c '^same results: passed' "$logs/windows.log")))
failed=$((failed + $(grep -c '^same results: failed' "$logs/windows.log")))
passed=$((passed + $(grep -c '^== pkg ' "$logs/package.log")))
failed=$((failed + $(grep -c '^!! pkg ' "$logs/package.log")))
if [ "$status" -ne 0 ] && [ "$failed" -eq 0 ]; then failed=1; fi
echo "tests: $passed passed, $failed failed"
exit $status
