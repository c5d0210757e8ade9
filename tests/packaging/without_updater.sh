#!/usr/bin/env bash
# A distribution's build without the upgrade component (VELMORA_UPDATER=OFF): it configures and
# builds the program without compiling anything under upgrade/; its --help lists no --upgrade and
# its --upgrade says that the build has none. The build folder is kept, so a later run rebuilds
# only what changed.
set -euo pipefail
source_dir="$1"
build="$2"
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
mkdir -p "$build"
cmake -S "$source_dir" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF \
    -DVELMORA_UPDATER=OFF -DVELMORA_WERROR=ON >"$build/configure.log" 2>&1 ||
    fail "configuring: $(cat "$build/configure.log")"
cmake --build "$build" --target velmora -j2 >"$build/build.log" 2>&1 ||
    fail "building: $(tail -n 60 "$build/build.log")"
program="$build/ui/velmora"
[[ -x "$program" ]] || fail "no program at $program"
# Every source the build compiles, as the compilation database lists it (rewritten at each
# configuration, unlike folders that an earlier configuration may have left in the kept build).
database="$build/compile_commands.json"
[[ -s "$database" ]] || fail "no compilation database at $database"
grep -q '"file": ".*/ui/main.cpp"' "$database" || fail "the database lists no program source"
! grep -q "\"file\": \"$source_dir/upgrade/" "$database" ||
    fail "sources under upgrade/ are compiled: $(grep -o "$source_dir/upgrade/[^\"]*" "$database")"

help="$("$program" --help)" || fail "--help ended with status $?"
grep -q -- "--report CHARACTER CODE" <<<"$help" || fail "--help lacks the options: $help"
! grep -q -- "--upgrade" <<<"$help" || fail "--help lists --upgrade: $help"

status=0
message="$("$program" --upgrade 2>&1 >/dev/null)" || status=$?
[[ $status -eq 2 ]] || fail "--upgrade ended with status $status"
grep -q "no upgrade component" <<<"$message" || fail "--upgrade said: $message"
echo "built without the upgrade component"
