#!/bin/sh
# The layer check on a scratch copy of the sources: the copy as it is passes, and each include
# written to get past a plain reading of the include lines fails, naming its file.
#   tests/test_layercheck.sh <project root>
set -eu
root=$1
scratch=$(mktemp -d "${TMPDIR:-/tmp}/layercheck.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

# case | file | line added to it ("" adds nothing: the copy must pass)
cases='clean||
up from the ledger|ledger/money.cpp|#include "ledger/../widgets/guard.h"
beside on layer 4|charts/plot.cpp|#include "charts/../entries/gridcolumns.h"
angle brackets|rates/page.cpp|#include <widgets/seam.h>
folder without a layer|newfolder/new.cpp|#include <QString>'

status=0
echo "$cases" | while IFS='|' read -r name file line; do
    rm -rf "$scratch/tree"
    mkdir "$scratch/tree"
    (cd "$root" && git ls-files -co --exclude-standard -- '*.cpp' '*.h' '*CMakeLists.txt') |
        (cd "$root" && tar -cf - -T -) | tar -C "$scratch/tree" -xf -
    if [ -n "$file" ]; then
        mkdir -p "$scratch/tree/$(dirname "$file")"
        echo "$line" >>"$scratch/tree/$file"
    fi
    if out=$("$root/scripts/check-layers.sh" "$scratch/tree" 2>&1); then
        [ -z "$file" ] || { echo "FAIL $name: passed the check"; exit 1; }
    else
        [ -n "$file" ] || { echo "FAIL $name: $out"; exit 1; }
        echo "$out" | grep -q "^$file" || { echo "FAIL $name: $file not named: $out"; exit 1; }
    fi
    echo "PASS $name"
done || status=1
exit $status
