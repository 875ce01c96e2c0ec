#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Wendrel developers
# SPDX-License-Identifier: MIT
# cmake --install and the Debian packages put the programs, a launcher, an
# AppStream record and the icon where a desktop finds them, and the service's
# units where systemd does; the packaged programs run, and the service's
# package needs no display library.
set -euo pipefail
build=$1
expected="Wendrel $2"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

DESTDIR="$work/root" cmake --install "$build" --prefix /usr >/dev/null
for file in usr/bin/wendrel usr/bin/wendreld \
            usr/share/applications/org.wendrel.Wendrel.desktop \
            usr/share/metainfo/org.wendrel.Wendrel.metainfo.xml \
            usr/share/icons/hicolor/32x32/apps/org.wendrel.Wendrel.png \
            usr/share/icons/hicolor/48x48/apps/org.wendrel.Wendrel.png \
            usr/share/icons/hicolor/128x128/apps/org.wendrel.Wendrel.png \
            usr/share/man/man1/wendrel.1.gz \
            usr/share/man/man1/wendreld.1.gz \
            usr/share/doc/wendrel/copyright \
            usr/share/doc/wendreld/changelog.gz \
            usr/lib/systemd/user/wendrel.service \
            usr/lib/systemd/system/wendreld@.service \
            usr/share/wendrel/camera.env.example; do
    [ -s "$work/root/$file" ] || { echo "missing after install: /$file"; exit 1; }
done
# No program looks for its libraries in the working folder: no library search
# path with an empty or relative entry, in the build tree or installed.
for program in "$build/wendrel" "$build/wendreld" "$work/root/usr/bin/wendrel" \
               "$work/root/usr/bin/wendreld"; do
    paths=$(readelf -d "$program" | sed -n 's/.*(R\(UN\)\?PATH).*\[\(.*\)\]$/\2/p')
    case ":$paths:" in
        ::) ;;
        *::* | *:[!/]*) echo "$program looks for libraries in the working folder: [$paths]"; exit 1 ;;
    esac
done
desktop-file-validate "$work/root/usr/share/applications/org.wendrel.Wendrel.desktop"
appstreamcli validate --no-net --pedantic "$work/root/usr/share/metainfo/org.wendrel.Wendrel.metainfo.xml" \
    | grep -vE '^(I:|P:)' || true
appstreamcli validate --no-net "$work/root/usr/share/metainfo/org.wendrel.Wendrel.metainfo.xml" >/dev/null

# The manual page formats without a warning; the unit passes systemd's own
# check where systemd is there to ask.
if command -v groff >/dev/null; then
    for page in wendrel wendreld; do
        warnings=$(zcat "$work/root/usr/share/man/man1/$page.1.gz" | groff -man -Tutf8 -ww -z 2>&1)
        [ -z "$warnings" ] || { echo "the manual page of $page: $warnings"; exit 1; }
    done
fi
# Every unit runs the installed program by its full path, does not restart
# after a mistake in the environment file (status 2) nor for a missing one,
# and is watched; they pass systemd's own check, run against this build's
# program. (As root in CI there is no user manager to ask; the system one
# reads the same syntax.) The system unit's sandbox is rated safe.
mkdir "$work/units"
for unit in user/wendrel.service user/wendrel@.service system/wendreld@.service; do
    file="$work/root/usr/lib/systemd/$unit"
    for line in '^ExecStart=/usr/bin/wendreld ' '^RestartPreventExitStatus=2$' \
                '^AssertPathExists=' '^WatchdogSec='; do
        grep -q "$line" "$file" || { echo "$unit has no line $line"; exit 1; }
    done
    name=$(basename "$unit")
    sed "s|^ExecStart=/usr/bin/wendreld|ExecStart=$work/root/usr/bin/wendreld|" "$file" \
        >"$work/units/${name/@/@camera1}"
done
if ! command -v systemd-analyze >/dev/null; then
    echo "systemd-analyze is missing: apt-get install systemd"; exit 1
fi
if ! systemd-analyze verify --man=no "$work/units/wendrel.service" \
        "$work/units/wendrel@camera1.service" "$work/units/wendreld@camera1.service" \
        >"$work/verify" 2>&1; then
    echo "systemd-analyze verify:"; cat "$work/verify"; exit 1
fi
if ! systemd-analyze security --offline=yes --threshold=10 \
        "$work/units/wendreld@camera1.service" >"$work/security" 2>&1; then
    echo "systemd-analyze security:"; cat "$work/security"; exit 1
fi
grep -F 'Overall exposure level' "$work/security"

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" >/dev/null)
desktop=$(ls "$work"/wendrel_*.deb)
service=$(ls "$work"/wendreld_*.deb)
dpkg-deb -c "$desktop" >"$work/contents"  # listed to a file: grep -q would cut the pipe
grep -q './usr/share/applications/org.wendrel.Wendrel.desktop' "$work/contents"
grep -q './usr/share/icons/hicolor/64x64/apps/org.wendrel.Wendrel.png' "$work/contents"
grep -q './usr/bin/wendrel$' "$work/contents"
dpkg-deb -c "$service" >"$work/contents"
grep -q './usr/bin/wendreld$' "$work/contents"
grep -q './usr/lib/systemd/user/wendrel@.service' "$work/contents"
grep -q './usr/lib/systemd/system/wendreld@.service' "$work/contents"
# A rig with no display installs no display library for the service.
depends=$(dpkg-deb -f "$service" Depends)
echo "$depends" | grep -q 'libqt6serialport6'
if echo "$depends" | grep -qiE 'libqt6(gui|widgets|dbus)|libx|libgl|libegl|xcb|fontconfig'; then
    echo "the service's package depends on a display library: $depends"; exit 1
fi
for deb in "$desktop" "$service"; do
    dpkg-deb -x "$deb" "$work/deb"
done
for program in wendrel wendreld; do
    version=$("$work/deb/usr/bin/$program" --version)
    [ "$version" = "$expected" ] || { echo "packaged $program said: $version"; exit 1; }
done
echo "install and package: all in place, both packaged programs say '$expected'"
