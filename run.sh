#!/usr/bin/env bash
# One entry point for a fresh Debian 12 machine: installs what the build and the
# tests need (apt-get update only when a package is missing), configures and
# builds with CMake and Ninja, then does what was asked.
#
#   ./run.sh demo    build, then run the main job (see README)
#   ./run.sh test    build normally and with sanitizers, run every test under CTest
#   ./run.sh build   build only (build/bin)
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(
  cmake ninja-build g++ pkg-config git
  libgtest-dev libgmock-dev
  libpng-dev libjpeg-dev zlib1g-dev
  libcairo2-dev libpango1.0-dev libx11-dev
  xvfb xauth fonts-noto-core fonts-farsiweb fontconfig
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

# run_ctest DIR [ENV...]: runs the tests of one build; remembers a failure.
failed=0
run_ctest() {
  local dir=$1
  shift
  echo "=== tests: $dir"
  env "$@" ctest --test-dir "$dir" -j "$(nproc)" --output-on-failure --timeout 300 || failed=1
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
    exit $failed
    ;;
  demo)
    build build
    exec tools/demo.sh build/bin
    ;;
  *)
    echo "usage: ./run.sh [demo|test|build]" >&2
    exit 2
    ;;
esac
