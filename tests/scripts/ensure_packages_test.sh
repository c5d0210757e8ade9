#!/usr/bin/env bash
# scripts/ensure-packages run as a user without root or sudo, against a package list of its
# own: it names what is missing and stops only for what the build needs.
set -euo pipefail
script="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
cp "$script" "$work/ensure-packages"
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
# Runs the copied script as an unprivileged user (or as the caller when not root) with no
# terminal; prints its standard error, returns its status.
as_user() {
    if ((EUID == 0)); then
        setpriv --reuid=65534 --regid=65534 --clear-groups env -i PATH=/usr/bin:/bin \
            "$work/ensure-packages" "$@" </dev/null
    else
        "$work/ensure-packages" "$@" </dev/null
    fi
}
if ((EUID != 0)) && command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
    echo "skipped: this user has sudo without a password"
    exit 0
fi

# Runs ensure-packages as the unprivileged user with these arguments; leaves what it wrote to
# stderr in $err (and shows it) and its exit status in $status.
run_capturing() {
    set +e
    err="$(as_user "$@" 2>&1 >/dev/null)"
    status=$?
    set -e
    echo "$err"
}

cat >"$work/packages.txt" <<'LIST'
# a list of its own
[test]
velmora-absent-test-package
[build]
coreutils
velmora-absent-build-package
[run]
velmora-absent-run-package
LIST

[[ "$(as_user --missing build run 2>&1)" == $'velmora-absent-build-package\nvelmora-absent-run-package' ]] ||
    fail "--missing lists the wrong packages"

run_capturing run
((status == 1)) || fail "a missing build package must end the run (status $status)"
grep -q 'velmora-absent-build-package velmora-absent-run-package' <<<"$err" || fail "not named"
grep -q 'apt-get install' <<<"$err" || fail "no command to give an administrator"
grep -q 'velmora-absent-test-package' <<<"$err" && fail "run must not ask for test packages"

# Only a [run] package missing: reported, and the run goes on.
sed -i '/velmora-absent-build-package/d' "$work/packages.txt"
run_capturing run
((status == 0)) || fail "a missing [run] package must not stop the run (status $status)"
grep -q 'velmora-absent-run-package' <<<"$err" || fail "missing run package not named"

# Testing needs every section.
run_capturing test
((status == 1)) || fail "test must stop without its packages (status $status)"
echo "ensure-packages: all checks passed"
