#!/usr/bin/env bash
# Builds and tests tskbase on a Debian machine, installing what is missing.
#
#   ./build.sh          build libtskbase.so and tskbase.dll, run the demo
#   ./build.sh test     run the test suite natively, with the sanitizers and
#                       under Wine; one summary line per configuration
#   ./build.sh bench    release build, run the benchmarks
#   ./build.sh package  release builds; the Windows SDK zip and the Debian
#                       packages in build/packages
#   ./build.sh docs     the API reference in build/linux/docs/html
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(
  cmake ninja-build g++ clang libclang-rt-14-dev    # native and sanitizer builds
  libgtest-dev googletest libbenchmark-dev          # tests and benchmarks
  libboost-dev                                      # Boost.Tokenizer (header only)
  g++-mingw-w64-x86-64 wine wine64                  # Windows cross build, tests under Wine
  binutils file pkgconf clang-format
  locales libicu-dev                                # Latin-1 test locale; ICU for the text benchmark
  libsqlite3-dev                                    # the registry's store outside Windows
  libglib2.0-bin trash-cli                          # gio and trash-cli, which share the trash with the tests
  dpkg-dev llvm lld                                 # packages: shlibdeps, llvm-dlltool, lld-link
  doxygen                                           # the API reference
)

log() { printf '\n### %s\n' "$*"; }

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

install_missing_packages() {
  local missing=()
  for package in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
      missing+=("$package")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    log "Installing ${missing[*]}"
    as_root apt-get update -q
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
  fi
}

build_preset() {
  log "Building $1"
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1"
}

stop_wine() {
  local runner
  for runner in build/*/wine-run.sh; do
    [ -x "$runner" ] && "$runner" --stop 2>/dev/null || true
  done
}

# Runs one configuration's tests and records its summary line.
SUMMARY=()
TOTAL_PASSED=0
TOTAL_FAILED=0
test_preset() {
  local preset=$1 log_file=build/$1/ctest.log
  if ! build_preset "$preset"; then
    SUMMARY+=("$preset: 0 passed, 1 failed" "  (the build failed)")
    TOTAL_FAILED=$((TOTAL_FAILED + 1))
    return
  fi
  log "Testing $preset"
  local status=0
  ctest --preset "$preset" 2>&1 | tee "$log_file" || status=$?
  local total failed
  total=$(sed -n 's/.*tests failed out of \([0-9]*\).*/\1/p' "$log_file" | tail -n 1)
  failed=$(sed -n 's/.* \([0-9]*\) tests failed out of.*/\1/p' "$log_file" | tail -n 1)
  total=${total:-0}
  failed=${failed:-1}
  [ "$status" -eq 0 ] || [ "$failed" -gt 0 ] || failed=1
  local cases
  cases=$(grep -ho '\[  PASSED  \] [0-9]*' build/"$preset"/Testing/Temporary/LastTest.log |
    awk '{ n += $4 } END { print n + 0 }' || true)
  SUMMARY+=("$preset: $((total - failed)) passed, $failed failed" "  ($cases test cases)")
  TOTAL_PASSED=$((TOTAL_PASSED + total - failed))
  TOTAL_FAILED=$((TOTAL_FAILED + failed))
}

# The text tests also run under a Latin-1 and a GB18030 locale, to show that
# the narrow encoding follows the locale, single-byte and multibyte. Created
# once; the tests skip without them.
ensure_locale() { # input charmap name
  locale -a 2>/dev/null | grep -qix "$(echo "$3" | sed 's/-//g')" && return 0
  log "Generating the $3 locale"
  as_root localedef -i "$1" -f "$2" "$3" ||
    echo "warning: could not generate $3; the tests that need it will be skipped"
}

ensure_test_locales() {
  ensure_locale de_DE ISO-8859-1 de_DE.ISO-8859-1
  ensure_locale zh_CN GB18030 zh_CN.GB18030
}

# Builds the libFuzzer targets and runs each for a bounded time.
FUZZ_SECONDS=${FUZZ_SECONDS:-25}
fuzz_preset() {
  local preset=$1 passed=0 failed=0
  if ! build_preset "$preset"; then
    SUMMARY+=("$preset: 0 passed, 1 failed" "  (the build failed)")
    TOTAL_FAILED=$((TOTAL_FAILED + 1))
    return
  fi
  for fuzzer in build/"$preset"/bin/*_fuzz; do
    [ -x "$fuzzer" ] || continue
    local name corpus options=()
    name=$(basename "$fuzzer")
    corpus=build/$preset/corpus/$name
    mkdir -p "$corpus"
    # A dictionary of the target's syntax, where there is one.
    [ -f "fuzz/$name.dict" ] && options+=("-dict=../../fuzz/$name.dict")
    log "Fuzzing $name for ${FUZZ_SECONDS} s"
    if (cd "build/$preset" && "../../$fuzzer" -max_total_time="$FUZZ_SECONDS" \
      -print_final_stats=1 "${options[@]}" "corpus/$name") >"build/$preset/$name.log" 2>&1; then
      passed=$((passed + 1))
      tail -n 3 "build/$preset/$name.log"
    else
      failed=$((failed + 1))
      tail -n 40 "build/$preset/$name.log"
    fi
  done
  SUMMARY+=("$preset: $passed passed, $failed failed" "  (fuzz targets, ${FUZZ_SECONDS} s each)")
  TOTAL_PASSED=$((TOTAL_PASSED + passed))
  TOTAL_FAILED=$((TOTAL_FAILED + failed))
}

run_tests() {
  trap stop_wine EXIT
  ensure_test_locales
  for preset in linux linux-asan linux-tsan windows; do
    test_preset "$preset"
  done
  # The packaging tests take apart what cpack wrote.
  if make_packages; then
    test_preset package-linux
    test_preset package-windows
  else
    SUMMARY+=("packages: 0 passed, 1 failed" "  (cpack failed)")
    TOTAL_FAILED=$((TOTAL_FAILED + 1))
  fi
  fuzz_preset linux-fuzz
  log "Summary"
  printf '%s\n' "${SUMMARY[@]}"
  tests/line_ratio.sh
  echo "total: $TOTAL_PASSED passed, $TOTAL_FAILED failed"
  [ "$TOTAL_FAILED" -eq 0 ]
}

run_demo() {
  trap stop_wine EXIT
  build_preset linux
  build_preset windows
  log "Built"
  file -L build/linux/lib/libtskbase.so build/windows/bin/tskbase.dll
  log "Demo (Linux)"
  build/linux/bin/tskbase_demo
  log "Demo (Windows, under Wine)"
  build/windows/wine-run.sh build/windows/bin/tskbase_demo.exe
}

run_bench() {
  ensure_test_locales
  build_preset release
  log "Benchmarks"
  for bench in build/release/bin/*_bench; do
    "$bench" --benchmark_min_time=0.2
  done
  # The formatter beside msvcrt's: the DLL under Wine.
  build_preset windows
  log "Format benchmark (Windows, under Wine)"
  build/windows/wine-run.sh build/windows/bin/format_bench.exe
  stop_wine
}

# Release builds of both platforms and their packages: the Debian packages
# and the Windows SDK zip, copied to build/packages.
make_packages() {
  local preset
  rm -rf build/packages
  mkdir -p build/packages
  for preset in package-linux package-windows; do
    build_preset "$preset" || return 1
    log "Packaging $preset"
    cpack --preset "$preset" || return 1
    cp build/"$preset"/*.deb build/"$preset"/*.zip build/packages/ 2>/dev/null || true
  done
}

run_package() {
  trap stop_wine EXIT
  make_packages
  log "Packages"
  ls -l build/packages
}

# The API reference; every warning fails it.
run_docs() {
  cmake --preset linux >/dev/null
  cmake --build --preset linux --target docs
  log "API reference: build/linux/docs/html/index.html"
}

install_missing_packages
case "${1:-build}" in
  build) run_demo ;;
  test) run_tests ;;
  bench) run_bench ;;
  package) run_package ;;
  docs) run_docs ;;
  *) echo "usage: $0 [build|test|bench|package|docs]" >&2; exit 2 ;;
esac
