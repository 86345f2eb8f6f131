#!/usr/bin/env bash
# Builds Kelvane (installing what is missing) and runs the whole test suite; then runs it
# again built with AddressSanitizer and UndefinedBehaviorSanitizer, and replays and runs the
# fuzz target of the message receiver for a minute. Every build treats a compiler warning as
# an error.
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
kelvane_install "${KELVANE_PACKAGES[@]}" "${KELVANE_CHECK_PACKAGES[@]}"
kelvane_install --no-install-recommends "${KELVANE_DAEMON_PACKAGES[@]}"
werror=-DCMAKE_COMPILE_WARNING_AS_ERROR=ON
kelvane_build -DBUILD_TESTING=ON "$werror"
ctest --test-dir "$KELVANE_BUILD" --output-on-failure -j "$(nproc)"

# Any sanitizer report fails the run: no error is let through, and leaks count.
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$KELVANE_ROOT/scripts/lsan.supp:print_suppressions=0"

echo "== The test suite under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S "$KELVANE_ROOT" -B "$KELVANE_ROOT/build-asan" -G Ninja -DKELVANE_SANITIZE=ON "$werror"
cmake --build "$KELVANE_ROOT/build-asan" -j "$(nproc)"
ctest --test-dir "$KELVANE_ROOT/build-asan" --output-on-failure -j "$(nproc)"

echo "== The fuzz target of the message receiver"
fuzz_build="$KELVANE_ROOT/build-fuzz"
cmake -S "$KELVANE_ROOT" -B "$fuzz_build" -G Ninja -DCMAKE_C_COMPILER=clang \
    -DCMAKE_CXX_COMPILER=clang++ -DKELVANE_FUZZ=ON -DKELVANE_SANITIZE=ON "$werror"
cmake --build "$fuzz_build" -j "$(nproc)" --target kelvane_fuzz_receiver
fuzzer="$fuzz_build/fuzz/kelvane_fuzz_receiver"
# The seed corpus, every input once; then a bounded run whose finds go to a scratch folder.
# Leaks are looked for when the run ends, not after every input: Qt fills its font caches
# as it goes, and a leak check after every input would make the run some twenty times
# slower.
"$fuzzer" -runs=0 "$KELVANE_ROOT/fuzz/corpus"
found=$(mktemp -d)
trap 'rm -rf "$found"' EXIT
"$fuzzer" -max_total_time=60 -timeout=20 -rss_limit_mb=4096 -max_len=4096 -detect_leaks=0 \
    -artifact_prefix="$fuzz_build/" "$found" "$KELVANE_ROOT/fuzz/corpus"
