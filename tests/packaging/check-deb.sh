#!/usr/bin/env bash
# Builds the Debian package from the built tree and checks that it holds what
# an installation needs: programs, manual pages, docs, the desktop entry that
# makes the per-user folder, the display plugins and the udev post-install.
set -euo pipefail
build="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

(cd "$build" && cpack -G DEB -B "$work" >"$work/cpack.log") || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/vorn_*.deb)
failed=0
expect() { # what, command...
    local what=$1; shift
    if "$@" >/dev/null; then echo "ok: $what"; else echo "MISSING: $what" >&2; failed=1; fi
}

dpkg-deb -c "$deb" >"$work/files"
for f in usr/bin/vorn usr/bin/vorn-unit-sim usr/share/man/man1/vorn.1.gz \
         usr/share/man/man1/vorn-unit-sim.1.gz usr/share/doc/vorn/README.md \
         usr/share/doc/vorn/CHANGELOG.md usr/share/applications/vorn.desktop \
         lib/udev/rules.d/69-vorn.rules; do
    expect "$f" grep -Eq " \./(usr/)?$f\$" "$work/files" # the rule may sit in /usr/lib
done

dpkg-deb -I "$deb" >"$work/info"
expect "depends on qt6-qpa-plugins" grep -Eq '^ Depends:.*\bqt6-qpa-plugins\b' "$work/info"
expect "library dependencies kept" grep -Eq '^ Depends:.*\blibqt6core6' "$work/info"

dpkg-deb -x "$deb" "$work/root"
dpkg-deb -e "$deb" "$work/control"
expect "desktop entry starts vorn --user-folder" \
    grep -qx 'Exec=vorn --user-folder' "$work/root/usr/share/applications/vorn.desktop"
expect "manual page lists --user-folder" \
    sh -c "zcat '$work/root/usr/share/man/man1/vorn.1.gz' | grep -q 'user\\\\-folder'"
expect "postinst is executable" test -x "$work/control/postinst"
expect "postinst triggers hidraw" \
    grep -q 'udevadm trigger --subsystem-match=hidraw || true' "$work/control/postinst"
exit $failed
