#!/bin/sh
# Usage: links-widgets.sh yes|no EXECUTABLE
# Passes when EXECUTABLE does (yes) or does not (no) load libQt6Widgets, as ldd resolves it.
expected=$1
file=$2
libs=$(ldd "$file") || { echo "ldd cannot read $file"; exit 2; }
if echo "$libs" | grep -q 'libQt6Widgets'; then actual=yes; else actual=no; fi
if [ "$actual" != "$expected" ]; then
    echo "$file: links libQt6Widgets: $actual, expected: $expected"
    exit 1
fi
