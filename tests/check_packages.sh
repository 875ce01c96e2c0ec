#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Wendrel developers
# SPDX-License-Identifier: MIT
# The two packages as a distribution would take them: built from the release
# preset and checked by Debian's lintian, which may find no error and no
# warning but that the project has no mail address yet (bogus-mail-host).
set -euo pipefail
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$source_dir"
# Niced: the real-time tests run beside it.
nice -n 15 cmake --preset release >/dev/null
nice -n 15 cmake --build --preset release >/dev/null
(cd "$work" && cpack -G DEB --config "$source_dir/build/release/CPackConfig.cmake" >/dev/null)
status=0
for deb in "$work"/wendrel_*.deb "$work"/wendreld_*.deb; do
    echo "lintian $(basename "$deb"):"
    lintian --fail-on error,warning \
        --suppress-tags bogus-mail-host,bogus-mail-host-in-debian-changelog "$deb" || status=1
done
[ "$status" -eq 0 ] && echo "lintian: no error, no warning"
exit "$status"
