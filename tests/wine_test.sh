#!/bin/sh
# SPDX-FileCopyrightText: 2026 The Wendrel developers
# SPDX-License-Identifier: MIT
# Runs one Windows test program under Wine and passes its status on. Under
# Wine, QtTest writes its log to the debugger unless it is given a file: the
# log goes to one and is shown afterwards. Wine finds Qt's and MinGW's DLLs
# through WINEPATH, made here from WENDREL_WINE_DLLS (folders, ':' between).
set -u
program=$1
shift
winepath=
old_ifs=$IFS
IFS=:
for folder in ${WENDREL_WINE_DLLS:-}; do
    winepath="${winepath:+$winepath;}Z:$(printf '%s' "$folder" | tr / '\\')"
done
IFS=$old_ifs
export WINEPATH="$winepath" WINEDEBUG=-all
log=$(mktemp "${TMPDIR:-/tmp}/wendrel-wine-test.XXXXXX")
case "$program" in
    *tst_*.exe) wine "$program" "$@" -o "$log,txt" ;;
    *) wine "$program" "$@" ;;
esac
status=$?
cat "$log"
rm -f "$log"
exit "$status"
