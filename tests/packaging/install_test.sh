#!/usr/bin/env bash
# Installs the build into a folder of its own and checks what a distribution would ship: the
# desktop entry and metadata validate, every icon size is there, the man page formats cleanly,
# the licence is there and the program is stripped and answers --version. With "deb" it also
# builds the Debian package, checks its file list and dependencies and, when lintian is
# installed, that lintian finds no error or warning in it.
set -euo pipefail
build="$1"
id="$2"
version="$3"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

prefix="$work/usr"
cmake --install "$build" --prefix "$prefix" --strip >"$work/install.log" ||
    fail "install failed: $(cat "$work/install.log")"

expected=(
    bin/velmora
    bin/velmora-release
    share/applications/$id.desktop
    share/metainfo/$id.metainfo.xml
    share/icons/hicolor/scalable/apps/$id.svg
    share/man/man1/velmora.1.gz
    share/man/man1/velmora-release.1.gz
    share/doc/velmora/LICENSE
    share/doc/velmora/copyright
    share/doc/velmora/changelog.gz
)
for size in 16 24 32 48 64 128 256 512; do
    expected+=("share/icons/hicolor/${size}x${size}/apps/$id.png")
done
# The window, a module the program loads from its library folder (lib or lib/<triplet>).
module="$(cd "$prefix" && find lib* -name velmora-window.so -path '*/velmora/*' 2>/dev/null)"
[[ -n "$module" ]] || fail "not installed: the window module velmora-window.so"
expected+=("$module")
for file in "${expected[@]}"; do
    [[ -s "$prefix/$file" ]] || fail "not installed: $file"
done
# No test programs, benchmarks or static libraries.
stray="$(cd "$prefix" && find . -type f \( -name '*test*' -o -name '*bench*' -o -name '*.a' \))"
[[ -z "$stray" ]] || fail "installed by mistake: $stray"

for size in 16 24 32 48 64 128 256 512; do
    file "$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png" | grep -q "$size x $size" ||
        fail "icon of $size px has the wrong size"
done
file "$prefix/bin/velmora" | grep -q ', stripped' || fail "program not stripped"
[[ "$("$prefix/bin/velmora" --version)" == "Velmora $version" ]] || fail "--version"

desktop-file-validate "$prefix/share/applications/$id.desktop" || fail "desktop entry"
appstreamcli validate --no-net --explain "$prefix/share/metainfo/$id.metainfo.xml" ||
    fail "metainfo"
grep -q "<release version=\"$version\"" "$prefix/share/metainfo/$id.metainfo.xml" ||
    fail "metainfo release is not $version"
grep -q "SPDX-License-Identifier: MIT" "$prefix/share/metainfo/$id.metainfo.xml" ||
    fail "no SPDX line"
for page in velmora velmora-release; do
    man="$work/$page.1"
    gzip -dc "$prefix/share/man/man1/$page.1.gz" >"$man" || fail "$page.1.gz is no gzip file"
    warnings="$(groff -man -Tutf8 -ww -z "$man" 2>&1)"
    [[ -z "$warnings" ]] || fail "man page $page: $warnings"
    grep -q "Velmora $version" "$man" || fail "man page $page: version"
done
# Every option that --help lists is described in the man page.
for option in $("$prefix/bin/velmora" --help | grep -o -- '--[a-z0-9-]*' | sort -u); do
    grep -qF -- "${option//-/\\-}" "$work/velmora.1" || fail "man page does not describe $option"
done
for option in $("$prefix/bin/velmora-release" --help | grep -o -- '--[a-z0-9-]*' | sort -u); do
    grep -qF -- "${option//-/\\-}" "$work/velmora-release.1" ||
        fail "velmora-release man page does not describe $option"
done
gzip -dc "$prefix/share/doc/velmora/changelog.gz" | head -n 1 | grep -qF "velmora ($version)" ||
    fail "changelog does not start with this version"

if [[ "${4:-}" == "deb" ]]; then
    (cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb" >"$work/cpack.log") ||
        fail "cpack: $(cat "$work/cpack.log")"
    deb="$(ls "$work"/deb/velmora_"$version"_*.deb)"
    contents="$(dpkg-deb -c "$deb")"
    for file in "${expected[@]}"; do
        grep -q "\./usr/$file\$" <<<"$contents" || fail "not in the package: $file"
    done
    depends="$(dpkg-deb -f "$deb" Depends)"
    echo "Depends: $depends"
    for dep in libqt6widgets6 libcurl4 libssl3 qt6-qpa-plugins xdg-utils; do
        grep -q "$dep" <<<"$depends" || fail "package does not depend on $dep"
    done
    [[ "$(dpkg-deb -f "$deb" Version)" == "$version" ]] || fail "package version"
    if command -v lintian >/dev/null; then
        # Informational notes (I:, P:) may stay; errors and warnings may not.
        report="$(lintian --allow-root "$deb" 2>&1 || true)"
        echo "$report"
        ! grep -qE '^[EW]: ' <<<"$report" || fail "lintian: $(grep -E '^[EW]: ' <<<"$report")"
    else
        echo "lintian is not installed: package not linted"
    fi
fi
echo "install tree: all checks passed"
