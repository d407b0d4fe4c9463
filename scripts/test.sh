#!/usr/bin/env bash
# Installs what is missing, checks the formatting, then builds and runs every test twice: in
# the plain build and under AddressSanitizer and UndefinedBehaviorSanitizer; builds the Debian
# package from the plain build and checks it; then runs each decoder fuzzer for a bounded
# time. Ends with one summary line. The server's tests run Debian's nginx in front of it (installed here, never
# started as the system's service); without it they fail.
set -uo pipefail
cd "$(dirname "$0")/.."

# The formats' tests compare with files made and decoded by independent tools.
scripts/deps.sh clang-14 libclang-rt-14-dev \
    dpkg-dev file desktop-file-utils appstream groff-base nginx-light clang-format-14 \
    imagemagick netpbm libvips-tools webp libheif-examples libjxl-tools libtiff-tools dcraw || exit 1

export QT_QPA_PLATFORM=offscreen
# Rebuilds are much shorter through ccache where it is installed; nothing needs it.
launcher=()
if command -v ccache >/dev/null 2>&1; then
    export CCACHE_BASEDIR=$PWD
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
passed=0
failed=0
status=0
# What failed, repeated at the end: a long run's log is often read from its tail only.
failures=()

run_suite() { # name, build dir, cmake options...
    local name=$1 dir=$2
    shift 2
    echo "== $name"
    if ! cmake -S . -B "$dir" -G Ninja -DTONALYX_BENCH=OFF "${launcher[@]}" "$@" >"$dir.configure.log" 2>&1; then
        cat "$dir.configure.log"; status=1; failed=$((failed + 1))
        failures+=("$name: configuration"); return
    fi
    if ! cmake --build "$dir"; then
        status=1; failed=$((failed + 1)); failures+=("$name: build"); return
    fi
    local log="$dir/ctest.log"
    ctest --test-dir "$dir" --output-on-failure -j "$(nproc)" 2>&1 | tee "$log"
    [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
    local line
    line=$(grep -E 'tests passed, [0-9]+ tests? failed out of' "$log" | tail -n 1)
    if [ -n "$line" ]; then
        local total f
        total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
        f=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
        passed=$((passed + total - f))
        failed=$((failed + f))
    else
        failed=$((failed + 1)); status=1; failures+=("$name: no test summary")
    fi
    local test
    while IFS= read -r test; do
        failures+=("$name: $test")
    done < <(sed -n '/The following tests FAILED:/,$p' "$log" | grep -E '^[[:space:]]+[0-9]+ - ' |
        sed -E 's/^[[:space:]]+//')
}

mkdir -p build-tests
run_suite "plain build" build-tests/plain -DCMAKE_BUILD_TYPE=RelWithDebInfo

echo "== format"
if scripts/check-format.sh; then
    passed=$((passed + 1))
else
    failed=$((failed + 1)); status=1; failures+=("format")
fi

echo "== package"
if [ -f build-tests/plain/build.ninja ] &&
    scripts/check-package.sh build-tests/plain 2>&1 | tee build-tests/package.log &&
    [ "${PIPESTATUS[0]}" -eq 0 ]; then
    passed=$((passed + 1))
else
    failed=$((failed + 1)); status=1; failures+=("package")
    while IFS= read -r line; do
        failures+=("package: ${line#FAILED  }")
    done < <(grep '^FAILED  ' build-tests/package.log 2>/dev/null)
fi

run_suite "sanitizer build" build-tests/asan -DCMAKE_BUILD_TYPE=Debug -DTONALYX_SANITIZE=ON

if [ -x tests/fuzz/run-fuzzers.sh ]; then
    echo "== fuzzers"
    if tests/fuzz/run-fuzzers.sh build-tests/fuzz "${TONALYX_FUZZ_SECONDS:-20}"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1)); status=1; failures+=("fuzzers")
    fi
fi

echo
for failure in "${failures[@]}"; do
    echo "failed: $failure"
done
echo "$passed passed, $failed failed"
exit $status
