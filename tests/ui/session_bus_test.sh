#!/bin/sh
# Without a session bus the window starts without trying to launch one: a dbus-launch placed
# first on PATH records every call. With an address that asks for a launch, the same set-up
# does record one, which shows the probe would notice.
set -eu
probe="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/runtime"
chmod 700 "$work/runtime"
cat >"$work/bin/dbus-launch" <<SCRIPT
#!/bin/sh
echo "\$*" >>"$work/launched"
exit 1
SCRIPT
chmod +x "$work/bin/dbus-launch"

run() {
    env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY PATH="$work/bin:$PATH" XDG_RUNTIME_DIR="$work/runtime" \
        "$@" xvfb-run -a "$probe"
}

run env -u DBUS_SESSION_BUS_ADDRESS
if [ -e "$work/launched" ]; then
    echo "a bus launch was tried without a session bus: $(cat "$work/launched")"
    exit 1
fi

run env DBUS_SESSION_BUS_ADDRESS=autolaunch:
if [ ! -e "$work/launched" ]; then
    echo "the probe did not see the launch that an autolaunch address asks for"
    exit 1
fi
echo "no launch without a bus; one launch when asked for"
