#!/usr/bin/env bash
# Reads every #include "..." of the program's folders and fails when a folder includes one of
# a higher layer, or a folder beside it on the same layer. The layers, lowest first:
#   0  ledger/                 the ledger file, money, regional texts: no widgets
#   1  ledger/jet/ rates/      the old-format import and the bank's rates: no widgets
#      imports/                receipts and statements read, marked and written: no widgets
#   2  widgets/                what every window shares (boxes, the guard, dialog pieces)
#   3  ledger/dialogs/         the password prompt and the create-ledger dialog
#   4  entries/ charts/ tools/ the windows of the program
#   5  app/                    the main window that puts them together
#   6  bench/ tests/ fuzz/     may use anything
# Also checks that the two lowest layers link no Qt widget or GUI module.
set -euo pipefail
cd "$(dirname "$0")/.."

# The layer of a folder given relative to the project root, or nothing when it is not ours.
layer_of() {
    case "$1" in
    ledger/dialogs | ledger/dialogs/*) echo 3 ;;
    ledger/jet | ledger/jet/*) echo 1 ;;
    ledger | ledger/*) echo 0 ;;
    rates | rates/*) echo 1 ;;
    imports | imports/*) echo 1 ;;
    widgets | widgets/*) echo 2 ;;
    entries | entries/* | charts | charts/* | tools | tools/*) echo 4 ;;
    app | app/*) echo 5 ;;
    bench | bench/* | tests | tests/* | fuzz | fuzz/*) echo 6 ;;
    esac
}

# The top folder of a path as the layers name them (ledger/jet, not ledger).
folder_of() {
    case "$1" in
    ledger/dialogs/*) echo ledger/dialogs ;;
    ledger/jet/*) echo ledger/jet ;;
    *) echo "${1%%/*}" ;;
    esac
}

failures=0
while IFS= read -r file; do
    dir=$(dirname "$file")
    from_folder=$(folder_of "$file")
    from_layer=$(layer_of "$from_folder")
    [ -n "$from_layer" ] || continue
    [ "$from_layer" -lt 6 ] || continue
    while IFS= read -r included; do
        # A quoted include is looked up beside the file first, then from the project root.
        if [ -e "$dir/$included" ]; then
            target=$(realpath --relative-to=. "$dir/$included")
        else
            target="$included"
        fi
        to_folder=$(folder_of "$target")
        to_layer=$(layer_of "$to_folder")
        [ -n "$to_layer" ] || continue
        [ "$to_folder" = "$from_folder" ] && continue
        if [ "$to_layer" -ge "$from_layer" ]; then
            echo "$file includes $included: $from_folder (layer $from_layer) may use only lower layers, not $to_folder (layer $to_layer)"
            failures=$((failures + 1))
        fi
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(git ls-files -co --exclude-standard -- '*.cpp' '*.h')

for lists in ledger/CMakeLists.txt ledger/jet/CMakeLists.txt rates/CMakeLists.txt imports/CMakeLists.txt; do
    [ -e "$lists" ] || continue
    if grep -n -E 'Qt6?::(Widgets|Gui|PrintSupport|Charts)' "$lists"; then
        echo "$lists: the ledger and rate layers link no widget or GUI module"
        failures=$((failures + 1))
    fi
done

if [ "$failures" -gt 0 ]; then
    echo "layer check: $failures include(s) against the layer order"
    exit 1
fi
echo "layer check: every folder includes only folders below it"
