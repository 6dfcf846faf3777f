#!/usr/bin/env bash
# Sets up the machine if needed, builds everything and runs every test:
#   1. the test suite (build/)
#   2. the renderer and HRIR libraries built without FFTW, on KISS FFT alone, with their tests (build-kiss/)
#   3. the whole suite under AddressSanitizer + UndefinedBehaviorSanitizer (build-asan/)
#   4. a short run of each fuzz target from its seed corpus (build-fuzz/, clang + libFuzzer)
#   5. the thread test under ThreadSanitizer (build-tsan/)
# VENDRASOLITH_QUICK=1 runs the first stage only.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
export CCACHE_BASEDIR="$root"
# The sanitizer builds carry line tables, which would otherwise make ccache key every
# object on the build folder's path: a clone in another folder could reuse nothing.
export CCACHE_NOHASHDIR=1
jobs="$(nproc)"
fuzz_seconds="${VENDRASOLITH_FUZZ_SECONDS:-20}"
suppressions="$root/tests/reliability/sanitizers"

stage_start=$SECONDS
stage() {
  echo "== $1 (previous stage took $((SECONDS - stage_start)) s)"
  stage_start=$SECONDS
}

"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
(cd "$root/build" && ctest --output-on-failure -j"$jobs" --timeout 600)

if [ "${VENDRASOLITH_QUICK:-0}" = 1 ]; then
  exit 0
fi

stage "Without FFTW: the renderer on KISS FFT alone"
cmake -S "$root" -B "$root/build-kiss" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVENDRASOLITH_BUILD_PLUGIN=OFF \
  -DVENDRASOLITH_WITH_FFTW=OFF -DVENDRASOLITH_BUILD_BENCH=OFF | grep "FFT backends"
cmake --build "$root/build-kiss" -j"$jobs"
(cd "$root/build-kiss" && ctest --output-on-failure -j"$jobs" --timeout 600)

# The sanitizer builds leave out what adds build time but no coverage (artwork tool, VST3,
# LV2 and Standalone formats with their host test, benchmarks) and compile at -O1 (see
# cmake/Sanitizers.cmake).
sanitized_build() {
  local dir="$1" sanitizers="$2"
  shift 2
  cmake -S "$root" -B "$root/$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVENDRASOLITH_SANITIZERS="$sanitizers" -DVENDRASOLITH_BUILD_BENCH=OFF \
    -DVENDRASOLITH_BUILD_ARTWORK_TOOL=OFF -DVENDRASOLITH_BUILD_ALL_FORMATS=OFF >/dev/null
  cmake --build "$root/$dir" -j"$jobs" "$@"
}

stage "AddressSanitizer + UndefinedBehaviorSanitizer: building and running the test suite"
sanitized_build build-asan address,undefined
(
  cd "$root/build-asan"
  export ASAN_OPTIONS="detect_leaks=1:strict_init_order=1:detect_stack_use_after_return=1"
  export LSAN_OPTIONS="suppressions=$suppressions/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  ctest --output-on-failure -j"$jobs" --timeout 900
)

stage "Fuzz targets: building with clang and running each for ${fuzz_seconds} s"
CC=clang CXX=clang++ sanitized_build build-fuzz fuzzer,address,undefined \
  --target vendrasolith_fuzz_state vendrasolith_fuzz_processor vendrasolith_fuzz_renderer
summary=()
for target in state processor renderer; do
  # New inputs go to the build folder; the committed seeds stay as they are. No input takes
  # more than milliseconds, so one that runs for seconds is a hang and fails the run.
  work="$root/build-fuzz/fuzz-work/$target"
  mkdir -p "$work/corpus" "$work/crashes"
  log="$work/last-run.log"
  if ! ASAN_OPTIONS="detect_leaks=1" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
       "$root/build-fuzz/tests/fuzz/vendrasolith_fuzz_$target" -max_total_time="$fuzz_seconds" \
       -timeout=5 -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$work/crashes/" \
       "$work/corpus" "$root/tests/fuzz/corpus/$target" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzz target $target failed; the input is in $work/crashes/"
    exit 1
  fi
  summary+=("$target: $(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$') runs")
done
printf 'fuzz %s\n' "${summary[@]}"

stage "ThreadSanitizer: host, audio and message threads on one instance"
sanitized_build build-tsan thread --target vendrasolith_thread_tests
echo "== ThreadSanitizer build took $((SECONDS - stage_start)) s"
# The suite's closing lines stay last: no output after this ctest.
cd "$root/build-tsan"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$suppressions/tsan.supp"
ctest --output-on-failure -L threads --timeout 900
