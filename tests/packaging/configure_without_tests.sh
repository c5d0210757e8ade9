#!/usr/bin/env bash
# A packager's configuration: BUILD_TESTING=OFF must configure without any test dependency.
# GoogleTest and Google Benchmark are made unfindable; the program's own targets are generated
# and the tests are not. (OpenSSL is not a test dependency: the upgrade component checks
# signatures and hashes with it.)
set -euo pipefail
source_dir="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
if ! cmake -S "$source_dir" -B "$work" -DBUILD_TESTING=OFF \
    -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON >"$work/configure.log" 2>&1; then
    cat "$work/configure.log"
    echo "FAIL: configuring without the test dependencies" >&2
    exit 1
fi
[[ -d "$work/ui" ]] || { echo "FAIL: the program is not configured" >&2; exit 1; }
[[ ! -e "$work/tests" && ! -e "$work/bench" ]] || { echo "FAIL: tests configured" >&2; exit 1; }
echo "configured without tests"
