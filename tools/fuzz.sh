#!/usr/bin/env bash
# Fuzzes the image service's read entry points with libFuzzer for a bounded time, in a tree of
# its own (build-fuzz, clang with AddressSanitizer and UndefinedBehaviorSanitizer).
#   FUZZ_SECONDS  how long to run (default 600)
# The corpus grows in build-fuzz/corpus; crashes, leaks, timeouts and allocations over 1 GiB
# land in build-fuzz/findings.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-600}

missing=()
for p in clang libclang-rt-14-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DPELU_FUZZ=ON "${launcher[@]}"
cmake --build build-fuzz --target pelu-fuzz pelu-fuzz-seeds

mkdir -p build-fuzz/seeds build-fuzz/corpus build-fuzz/findings
# The seeds are made with the test fixtures; the HEVC encoder keeps a little until exit.
ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen ./build-fuzz/fuzz/pelu-fuzz-seeds build-fuzz/seeds
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=0
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen
./build-fuzz/fuzz/pelu-fuzz -max_total_time="$seconds" -timeout=20 -rss_limit_mb=4096 \
  -malloc_limit_mb=1024 -print_final_stats=1 -artifact_prefix=build-fuzz/findings/ \
  build-fuzz/corpus build-fuzz/seeds
