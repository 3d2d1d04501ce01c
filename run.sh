#!/usr/bin/env bash
# One entry point for a fresh Debian 12 machine: installs what the build and the
# tests need (apt-get update only when a package is missing), configures and
# builds with CMake and Ninja, then does what was asked.
#
#   ./run.sh demo    build, then run the main job (see README)
#   ./run.sh test    build normally and with sanitizers, run every test under CTest,
#                    then the stress stage and the fuzz targets (see README)
#   ./run.sh build   build only (build/bin)
#   ./run.sh installer  build, then open the installer's window on the sample
#                    medium against the SQL Server stand-in
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(
  cmake ninja-build g++ pkg-config git
  libgtest-dev libgmock-dev
  libpng-dev libjpeg-dev zlib1g-dev
  libcairo2-dev libpango1.0-dev libx11-dev libxfixes-dev
  xvfb xauth fontconfig fonts-noto-core fonts-farsiweb fonts-freefarsi
  fonts-liberation2 fonts-dejavu-core fonts-dejavu-extra fonts-noto-ui-core
  clang libclang-rt-14-dev
  libsqlite3-dev libffi-dev mingw-w64-tools libgsf-1-dev libgsf-bin
  liblnk-utils unixodbc-dev tdsodbc freetds-bin
)

install_packages() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "run.sh: installing ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# build DIR [SANITIZERS]
build() {
  local dir=$1 sanitize=${2:-}
  cmake -S . -B "$dir" -G Ninja -DQORV_SANITIZE="$sanitize" >/dev/null
  cmake --build "$dir" -j "$(nproc)"
}

# run_ctest DIR [ENV...] [-- CTEST-ARGS...]: runs the tests of one build;
# remembers a failure.
failed=0
run_ctest() {
  local dir=$1 envs=() args=()
  shift
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do envs+=("$1"); shift; done
  [ $# -gt 0 ] && shift && args=("$@")
  echo "=== tests: $dir ${args[*]}"
  env "${envs[@]}" ctest --test-dir "$dir" -j "$(nproc)" --output-on-failure --timeout 300 "${args[@]}" || failed=1
}

# The threaded suites (platform serial and message passing, serial engine,
# port component, control end to end), repeated in the sanitizer builds while
# CPU hogs keep the machine busy: races that hide on an idle machine show here.
THREADED_SUITES='^(Tty|Substitute|Recsim|PlatformSendMessage|PlatformMessageQueue|PlatformEvents|PlatformThreads|SioWin32|SioPort|SioDispatchConcurrency|SioRecorderPort|QorvXEndToEnd|QorvServer|QorvXCom)'
hogs=()
start_hogs() {
  local i
  for ((i = 0; i < $(nproc) / 2; i++)); do
    timeout 3600 sh -c 'while :; do :; done' &
    hogs+=($!)
  done
}
stop_hogs() {
  [ ${#hogs[@]} -eq 0 ] && return 0
  kill "${hogs[@]}" 2>/dev/null || true
  wait "${hogs[@]}" 2>/dev/null || true
  hogs=()
}
trap stop_hogs EXIT

stress() {
  local repeats=${QORV_STRESS_REPEATS:-10}
  echo "=== stress: threaded suites, until-fail:$repeats, under load"
  start_hogs
  run_ctest build-tsan TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 -- -R "$THREADED_SUITES" --repeat until-fail:"$repeats"
  run_ctest build-asan ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 -- \
    -R "$THREADED_SUITES" --repeat until-fail:"$repeats"
  stop_hogs
}

# Each libFuzzer target for a fixed number of runs from a fixed seed, starting
# from the project's own inputs (copied: the fuzzer adds to its corpus folder).
FUZZERS=(
  "ReceivePathFuzz 300000"
  "FormReaderFuzz 200000 recorder/*.dfm recorder/serial/*.dfm tests/framework/data/*.dfm tests/framework/data/bad-forms/*"
  "PictureFuzz 300000 tests/framework/data/*.png tests/framework/data/*.bmp tests/framework/data/*.jpg tests/framework/data/bad/*"
  "TypeLibFuzz 30000 build-fuzz/typelib/*.tlb build-fuzz/tests/*.tlb"
  "TdsPacketFuzz 250000 tests/tools/data/tds/*"
)
fuzz() {
  if ! command -v clang++ >/dev/null; then
    echo "=== fuzz: clang++ not found, fuzz targets not run"
    return 0
  fi
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DQORV_SANITIZE=address,undefined \
    -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link >/dev/null
  local entry name runs seeds corpus
  for entry in "${FUZZERS[@]}"; do
    read -r name runs seeds <<<"$entry"
    cmake --build build-fuzz --target "$name" -j "$(nproc)" >/dev/null || { failed=1; continue; }
    corpus=$(mktemp -d -t "qorv-$name-XXXXXX")
    mkdir -p build-fuzz/artifacts
    local seed
    # shellcheck disable=SC2086 # the seed patterns are meant to expand
    for seed in $seeds; do
      if [ -f "$seed" ]; then cp "$seed" "$corpus"/; fi
    done
    echo "=== fuzz: $name, $runs runs"
    if QORV_SYSTEM_ROOT="$corpus/root" build-fuzz/bin/"$name" -runs="$runs" -seed=20261208 -max_len=8192 \
      -rss_limit_mb=1024 -artifact_prefix=build-fuzz/artifacts/ "$corpus" >"$corpus/log" 2>&1; then
      grep -E '^Done' "$corpus/log" || true
    else
      tail -n 60 "$corpus/log"
      echo "fuzz: $name failed; the input is kept in build-fuzz/artifacts/"
      failed=1
    fi
    rm -rf "$corpus"
  done
}

cmd=${1:-demo}
install_packages
case "$cmd" in
  build)
    build build
    ;;
  test)
    build build
    build build-asan address,undefined
    build build-tsan thread
    run_ctest build
    run_ctest build-asan ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1
    run_ctest build-tsan TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
    stress
    fuzz
    [ $failed -eq 0 ] && echo "run.sh: every stage passed" || echo "run.sh: a stage FAILED (see above)"
    exit $failed
    ;;
  demo)
    build build
    exec tools/demo.sh build/bin
    ;;
  installer)
    build build
    exec tools/installer-demo.sh build/bin build/demo window
    ;;
  *)
    echo "usage: ./run.sh [demo|test|build|installer]" >&2
    exit 2
    ;;
esac
