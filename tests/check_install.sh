#!/usr/bin/env bash
# cmake --install and the Debian package put the program, a launcher, an
# AppStream record and the icon where a desktop finds them; the packaged
# program runs.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

DESTDIR="$work/root" cmake --install "$build" --prefix /usr >/dev/null
for file in usr/bin/wendrel usr/bin/wendreld \
            usr/share/applications/org.wendrel.Wendrel.desktop \
            usr/share/metainfo/org.wendrel.Wendrel.metainfo.xml \
            usr/share/icons/hicolor/32x32/apps/org.wendrel.Wendrel.png \
            usr/share/icons/hicolor/48x48/apps/org.wendrel.Wendrel.png \
            usr/share/icons/hicolor/128x128/apps/org.wendrel.Wendrel.png \
            usr/share/man/man1/wendrel.1 \
            usr/share/man/man1/wendreld.1 \
            usr/lib/systemd/user/wendrel.service \
            usr/share/wendrel/camera.env.example; do
    [ -s "$work/root/$file" ] || { echo "missing after install: /$file"; exit 1; }
done
desktop-file-validate "$work/root/usr/share/applications/org.wendrel.Wendrel.desktop"
appstreamcli validate --no-net --pedantic "$work/root/usr/share/metainfo/org.wendrel.Wendrel.metainfo.xml" \
    | grep -vE '^(I:|P:)' || true
appstreamcli validate --no-net "$work/root/usr/share/metainfo/org.wendrel.Wendrel.metainfo.xml" >/dev/null

# The manual page formats without a warning; the unit passes systemd's own
# check where systemd is there to ask.
if command -v groff >/dev/null; then
    warnings=$(groff -man -Tutf8 -ww -z "$work/root/usr/share/man/man1/wendrel.1" \
                   "$work/root/usr/share/man/man1/wendreld.1" 2>&1)
    [ -z "$warnings" ] || { echo "the manual page: $warnings"; exit 1; }
fi
# Both units run the installed program by its full path and do not restart
# after a mistake in the environment file (status 2); they pass systemd's own
# check, run against this build's program. (As root in CI there is no user
# manager to ask; the system one reads the same syntax.)
units="$work/root/usr/lib/systemd/user"
mkdir "$work/units"
for unit in wendrel.service wendrel@.service; do
    grep -q '^ExecStart=/usr/bin/wendreld ' "$units/$unit"
    grep -q '^RestartPreventExitStatus=2$' "$units/$unit"
    sed "s|^ExecStart=/usr/bin/wendreld|ExecStart=$work/root/usr/bin/wendreld|" "$units/$unit" \
        >"$work/units/${unit/@/@camera1}"
done
if ! command -v systemd-analyze >/dev/null; then
    echo "systemd-analyze is missing: apt-get install systemd"; exit 1
fi
if ! systemd-analyze verify --man=no "$work/units/wendrel.service" \
        "$work/units/wendrel@camera1.service" >"$work/verify" 2>&1; then
    echo "systemd-analyze verify:"; cat "$work/verify"; exit 1
fi

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" >/dev/null)
deb=$(ls "$work"/wendrel_*.deb)
dpkg-deb -c "$deb" >"$work/contents"  # listed to a file: grep -q would cut the pipe
grep -q './usr/share/applications/org.wendrel.Wendrel.desktop' "$work/contents"
grep -q './usr/share/icons/hicolor/64x64/apps/org.wendrel.Wendrel.png' "$work/contents"
grep -q './usr/bin/wendrel' "$work/contents"
dpkg-deb -f "$deb" Depends | grep -q 'libqt6serialport6'
dpkg-deb -x "$deb" "$work/deb"
version=$("$work/deb/usr/bin/wendrel" --version)
[ "$version" = "Wendrel 1.00" ] || { echo "packaged program said: $version"; exit 1; }
echo "install and package: all in place, packaged program says '$version'"
