#!/usr/bin/env bash
# Builds the Debian packages from the built tree and checks that they hold
# what an installation needs: vornd, the monitor a server installs without Qt
# Gui or Widgets, with the service, the udev rule and its post-install; and
# vorn, the window, which depends on it: programs, manual pages, docs, the
# desktop entry that makes the per-user folder and the display plugins; the
# copyright file and the README's pictures.
set -euo pipefail
build="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

(cd "$build" && cpack -G DEB -B "$work" >"$work/cpack.log") || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/vorn_*.deb)
daemon=$(ls "$work"/vornd_*.deb)
failed=0
expect() { # what, command...
    local what=$1; shift
    if "$@" >/dev/null; then echo "ok: $what"; else echo "MISSING: $what" >&2; failed=1; fi
}

for package in "$deb" "$daemon"; do dpkg-deb -c "$package"; done >"$work/files"
for f in usr/bin/vorn usr/bin/vornd usr/bin/vorn-unit-sim usr/share/man/man1/vorn.1.gz \
         usr/share/man/man1/vornd.1.gz usr/share/man/man1/vorn-unit-sim.1.gz \
         usr/share/doc/vorn/README.md usr/share/doc/vorn/CHANGELOG.md \
         usr/share/doc/vorn/copyright \
         usr/share/applications/vorn.desktop lib/udev/rules.d/69-vorn.rules \
         lib/systemd/user/vorn-headless.service; do
    expect "$f" grep -Eq " \./(usr/)?$f\$" "$work/files" # the rule may sit in /usr/lib
done
expect "vorn holds the window alone" test "$(dpkg-deb -c "$deb" | grep -c '/bin/.')" = 1

dpkg-deb -I "$deb" >"$work/info"
dpkg-deb -I "$daemon" >"$work/daemon-info"
expect "depends on qt6-qpa-plugins" grep -Eq '^ Depends:.*\bqt6-qpa-plugins\b' "$work/info"
expect "vorn depends on its own vornd" grep -Fq "vornd (= $(dpkg-deb -f "$deb" Version))" "$work/info"
expect "vornd's library dependencies kept" grep -Eq '^ Depends:.*\blibqt6core6' "$work/daemon-info"
expect "vornd depends on SQLite" grep -Eq '^ Depends:.*\blibsqlite3-0' "$work/daemon-info"
expect "vornd needs no Qt Gui or Widgets" sh -c \
    "! grep -E '^ Depends:.*(libqt6gui6|libqt6widgets6|qt6-qpa-plugins)' '$work/daemon-info'"

dpkg-deb -x "$deb" "$work/root"
dpkg-deb -x "$daemon" "$work/root"
dpkg-deb -e "$daemon" "$work/control"
expect "desktop entry starts vorn --user-folder" \
    grep -qx 'Exec=vorn --user-folder' "$work/root/usr/share/applications/vorn.desktop"
expect "manual page lists --user-folder" \
    sh -c "zcat '$work/root/usr/share/man/man1/vorn.1.gz' | grep -q 'user\\\\-folder'"
expect "postinst is executable" test -x "$work/control/postinst"
# Every picture the installed README shows lies where its link points.
for picture in $(grep -o '](docs/[^)]*)' "$work/root/usr/share/doc/vorn/README.md" | tr -d '()]'); do
    expect "README picture $picture" test -s "$work/root/usr/share/doc/vorn/$picture"
done

# ExecStart follows the prefix: the package's, and a plain install's.
service=lib/systemd/user/vorn-headless.service
expect "packaged service starts /usr/bin/vornd" grep -qx \
    'ExecStart=/usr/bin/vornd --user-folder' "$work/root/usr/$service"
DESTDIR="$work/stage" cmake --install "$build" --prefix /usr/local >/dev/null
expect "installed service starts /usr/local/bin/vornd" grep -qx \
    'ExecStart=/usr/local/bin/vornd --user-folder' "$work/stage/usr/local/$service"
# The notification module vornd loads lies where vornd looks, in the package
# and in a plain install.
expect "vornd holds its notification module" grep -Eq ' \./usr/lib/vorn/libvorn-notify-dbus\.so$' \
    <(dpkg-deb -c "$daemon")
expect "installed vornd finds its notification module" \
    test -f "$work/stage/usr/local/bin/../lib/vorn/libvorn-notify-dbus.so"
expect "the module's D-Bus library is depended on" grep -Eq '^ Depends:.*\blibqt6dbus6' \
    "$work/daemon-info"

# systemd's own reading of the unit, with a program really at its ExecStart.
if command -v systemd-analyze >/dev/null; then
    cmake --install "$build" --prefix "$work/prefix" >/dev/null
    mkdir -m 0700 "$work/runtime"
    XDG_RUNTIME_DIR="$work/runtime" systemd-analyze --user verify "$work/prefix/$service" \
        >"$work/verify" 2>&1 || echo "exit status $?" >>"$work/verify"
    expect "systemd-analyze verify finds nothing" test ! -s "$work/verify"
    cat "$work/verify"
else
    echo "SKIPPED: systemd-analyze verify (systemd-analyze is not installed)"
fi

# postinst asks udev to apply the rule only where udev runs (its control
# socket exists), never from a chroot or a container without it. A udevadm
# that records its calls stands in for the real one; a private /run per case.
mkdir "$work/bin"
printf '#!/bin/sh\necho "$*" >>"%s/udevadm.calls"\n' "$work" >"$work/bin/udevadm"
chmod +x "$work/bin/udevadm"
postinst_with() { # what to make under the private /run
    rm -f "$work/udevadm.calls"
    PATH="$work/bin:$PATH" unshare --mount sh -c \
        "mount -t tmpfs none /run && $1 && '$work/control/postinst' configure"
    cat "$work/udevadm.calls" 2>/dev/null || true
}
if unshare --mount true 2>/dev/null; then
    expect "postinst leaves udev alone without /run/udev/control" \
        test -z "$(postinst_with true)"
    expect "postinst reloads the rules and triggers hidraw with udev running" \
        test "$(postinst_with 'mkdir /run/udev && touch /run/udev/control')" \
        = "$(printf 'control --reload-rules\ntrigger --subsystem-match=hidraw')"
else
    echo "SKIPPED: postinst under a private /run (unshare needs root)"
fi
exit $failed
