#!/usr/bin/env bash
# Reads every #include of the program's folders, quoted or in angle brackets, and fails when a
# folder includes one of a higher layer, or a folder beside it on the same layer. An include
# is resolved as the compiler does (a quoted one beside the file first, then from the project
# root, which every library has on its include path) and its path is normalised, so
# "ledger/../widgets/guard.h" counts as widgets/. A source file in a folder the table does not
# know fails too: a new folder gets its layer here first.
# Also checks that the layers below the widgets link no Qt widget or GUI module.
#   scripts/check-layers.sh [root]   the project folder to check (by default this script's)
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

# The layers, lowest first. A folder's subfolders belong to it unless listed themselves.
layers='
ledger          0  the ledger file, money, regional texts: no widgets
ledger/jet      1  the old-format import: no widgets
rates           1  the bank rates: no widgets
imports         1  receipts and statements read, marked and written: no widgets
widgets         2  what every window shares (boxes, the guard, dialog pieces)
dialogs         3  the password prompt and the create-ledger dialog
entries         4  the windows of the program
charts          4
tools           4
app             5  the main window that puts them together
bench           6  may use anything
tests           6
fuzz            6
'

# The sources: those git knows of (tracked or new, not ignored), or every one below the root
# when the folder is no git checkout of its own (a scratch copy).
sources() {
    if [ "$(git rev-parse --show-toplevel 2>/dev/null)" = "$(pwd -P)" ]; then
        git ls-files -co --exclude-standard -- '*.cpp' '*.h'
    else
        find . \( -path './build*' -o -path './.git' \) -prune -o \
            -type f \( -name '*.cpp' -o -name '*.h' \) -print | sed 's|^\./||'
    fi
}

failures=0
sources | awk -v layers="$layers" '
BEGIN {
    n = split(layers, rows, "\n")
    for (i = 1; i <= n; i++)
        if (split(rows[i], cell, " ") >= 2) layer[cell[1]] = cell[2]
}
# The listed folder a root-relative path lies in (the longest one), or its first folder.
function folder_of(path,   f, best) {
    best = ""
    for (f in layer)
        if (index(path, f "/") == 1 && length(f) > length(best)) best = f
    if (best == "" && index(path, "/") > 0) best = substr(path, 1, index(path, "/") - 1)
    return best
}
# A path with its "." and ".." steps worked out; "" when it leaves the root.
function normal(path,   n, part, kept, k, i, out) {
    n = split(path, part, "/")
    k = 0
    for (i = 1; i <= n; i++) {
        if (part[i] == "" || part[i] == ".") continue
        if (part[i] == "..") { if (k == 0) return ""; k--; continue }
        kept[++k] = part[i]
    }
    out = ""
    for (i = 1; i <= k; i++) out = out (i > 1 ? "/" : "") kept[i]
    return out
}
# Whether the system opens the path as written (so "a/missing/../b.h" is no file).
function exists(path,   line, got) {
    got = (getline line < path)
    if (got >= 0) close(path)
    return got >= 0
}
{
    file = $0
    from = folder_of(file)
    if (!(from in layer)) {
        print file ": the folder " from "/ has no layer in scripts/check-layers.sh"
        bad++
        next
    }
    if (layer[from] >= 6) next
    dir = file; sub(/\/[^\/]*$/, "", dir)
    while ((getline line < file) > 0) {
        if (line !~ /^[ \t]*#[ \t]*include[ \t]*["<]/) continue
        quoted = line ~ /^[ \t]*#[ \t]*include[ \t]*"/
        included = line
        sub(/^[ \t]*#[ \t]*include[ \t]*["<]/, "", included)
        if (quoted) sub(/".*/, "", included); else sub(/>.*/, "", included)
        if (quoted && exists(dir "/" included)) target = normal(dir "/" included)
        else target = normal(included)
        to = folder_of(target)
        if (!(to in layer) || to == from) continue
        if (layer[to] >= layer[from]) {
            print file " includes " included ": " from " (layer " layer[from] ") may use only lower layers, not " to " (layer " layer[to] ")"
            bad++
        }
    }
    close(file)
}
END { exit bad > 0 }
' || failures=1

for lists in ledger/CMakeLists.txt ledger/jet/CMakeLists.txt rates/CMakeLists.txt imports/CMakeLists.txt; do
    [ -e "$lists" ] || continue
    if grep -n -E 'Qt6?::(Widgets|Gui|PrintSupport|Charts)' "$lists"; then
        echo "$lists: the layers below the widgets link no widget or GUI module"
        failures=1
    fi
done

if [ "$failures" -gt 0 ]; then
    echo "layer check: includes or links against the layer order"
    exit 1
fi
echo "layer check: every folder includes only folders below it"
