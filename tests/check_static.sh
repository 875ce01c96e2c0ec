#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Wendrel developers
# SPDX-License-Identifier: MIT
# clang-format (the house style in .clang-format), clang-tidy (bugprone,
# performance, modernize; see .clang-tidy) and cppcheck over Wendrel's own
# sources and tests. Anything they report fails the test, and so does a
# missing tool: a check that cannot run has not passed. They run niced: the
# test command runs real-time tests beside them.
set -euo pipefail
source_dir=$1
build_dir=$2
cd "$source_dir"

for tool in clang-format:clang-format clang-tidy:clang-tidy cppcheck:cppcheck; do
    if ! command -v "${tool%%:*}" >/dev/null; then
        echo "${tool%%:*} is missing: apt-get install ${tool##*:}"
        exit 1
    fi
done

folders="engine serialport system commandline service desktop grad window app"
sources=$(for folder in $folders; do ls $folder/*.cpp $folder/*.h 2>/dev/null; done; ls tests/*.cpp tests/*.h bench/*.c)
echo "clang-format over $(echo "$sources" | wc -l) files"
# shellcheck disable=SC2086 # one file a word
if ! clang-format --dry-run --Werror $sources; then
    echo "not in the house style: run clang-format -i on the files above"
    exit 1
fi

# Qt 6.4 has no QT_NO_CONTEXTLESS_CONNECT (it came with 6.7): a connect to a
# lambda with no context object, which outlives whatever the lambda uses, is
# looked for here instead.
# shellcheck disable=SC2086 # one file a word
if grep -nE 'connect\([^,()]+,[^,()]+,[[:space:]]*\[' $sources; then
    echo "a connect without a context object: give the lambda's owner as the third argument"
    exit 1
fi

# The Windows files are built and warned about by the Windows build; the
# Linux compile database does not know them.
files=$(for folder in $folders tests; do ls $folder/*.cpp; done \
        | while read -r file; do grep -q "\"file\": \"$source_dir/$file\"" \
                                      "$build_dir/compile_commands.json" && echo "$file"; done)
echo "clang-tidy over $(echo "$files" | wc -l) files"
tidy_log=$(mktemp)
trap 'rm -f "$tidy_log"' EXIT
tidy_status=0
# qCDebug(category) << ... is Qt's own idiom; clang's -Wpedantic calls its empty
# variadic part a GNU extension, which GCC and Qt take as standard C++20.
echo "$files" | nice -n 15 xargs -P"$(nproc)" -n1 clang-tidy -p "$build_dir" --quiet \
    --extra-arg=-Wno-gnu-zero-variadic-macro-arguments \
    --header-filter="^$source_dir/(${folders// /|}|tests)/" >"$tidy_log" 2>&1 \
    || tidy_status=$?
if grep -E 'warning:|error:' "$tidy_log" || [ "$tidy_status" -ne 0 ]; then
    cat "$tidy_log" | tail -20
    echo "clang-tidy found the above (status $tidy_status)"
    exit 1
fi

echo "cppcheck"
nice -n 15 cppcheck --enable=warning,performance,portability,style --inline-suppr --quiet \
    --std=c++17 --language=c++ --library=qt -I . --suppress=missingIncludeSystem --error-exitcode=1 \
    "-DQ_DECLARE_LOGGING_CATEGORY(name)=" \
    $folders tests
echo "static analysis: clean"
