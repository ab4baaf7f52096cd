#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test tier (unit, gpu, e2e) with ctest,
# plus the worker tests under ThreadSanitizer and the corrupt-input tests under AddressSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
kestrune_install_deps

export VK_ICD_FILENAMES=/usr/share/vulkan/icd.d/lvp_icd.x86_64.json
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
chmod 700 "$XDG_RUNTIME_DIR"

kestrune_configure_and_build build -DCMAKE_BUILD_TYPE=Release

# Sanitizer builds only hold the unit tier, and build only its binary (not the program, shaders or tools); their
# filters pick the tests that exercise threads / parse input.
# Each compiles only the unit test files that hold a test of its words.
thread_words='Thread|Worker|Concurren'
address_words='Corrupt|Malformed|Truncated'
kestrune_configure_and_build build-tsan --target kestrune_unit_tests -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKESTRUNE_SANITIZE=thread -DKESTRUNE_TESTS_ONLY_UNIT=ON "-DKESTRUNE_UNIT_TEST_WORDS=$thread_words"
kestrune_configure_and_build build-asan --target kestrune_unit_tests -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKESTRUNE_SANITIZE=address -DKESTRUNE_TESTS_ONLY_UNIT=ON "-DKESTRUNE_UNIT_TEST_WORDS=$address_words"
echo "== ThreadSanitizer: worker tests"
TSAN_OPTIONS="halt_on_error=1" build-tsan/tests/kestrune_unit_tests --gtest_filter="*${thread_words//|/*:*}*" --gtest_brief=1
echo "== AddressSanitizer: corrupt input tests"
ASAN_OPTIONS="detect_leaks=0" build-asan/tests/kestrune_unit_tests --gtest_filter="*${address_words//|/*:*}*" --gtest_brief=1

echo "== All tiers"
# The e2e tests run one at a time (they are marked to run alone); the others two at a time.
ctest --test-dir build --output-on-failure --timeout 900 -j2 "$@"
