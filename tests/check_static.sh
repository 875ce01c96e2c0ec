#!/usr/bin/env bash
# clang-tidy (bugprone, performance, modernize; see .clang-tidy) and cppcheck over
# Wendrel's own sources and tests. Anything they report fails the test.
set -euo pipefail
source_dir=$1
build_dir=$2
cd "$source_dir"
files=$(ls window/*.cpp grad/*.cpp platform/*.cpp app/*.cpp tests/*.cpp)

echo "clang-tidy over $(echo "$files" | wc -l) files"
tidy_log=$(mktemp)
trap 'rm -f "$tidy_log"' EXIT
echo "$files" | xargs -P"$(nproc)" -n1 clang-tidy -p "$build_dir" --quiet \
    --header-filter="^$source_dir/(window|grad|platform|app|tests)/" >"$tidy_log" 2>&1 || true
if grep -E 'warning:|error:' "$tidy_log"; then
    echo "clang-tidy found the above"
    exit 1
fi

echo "cppcheck"
cppcheck --enable=warning,performance,portability,style --inline-suppr --quiet \
    --std=c++17 --language=c++ -I . --suppress=missingIncludeSystem --error-exitcode=1 \
    window grad platform app tests
echo "static analysis: clean"
