#!/usr/bin/env bash
# Installs what velTor needs (Debian 12 or Ubuntu), builds it, and then either starts it
# or runs the whole test suite headless.
#   scripts/setup.sh run    build and start velTor
#   scripts/setup.sh test   build and run every test, then once more built with
#                           AddressSanitizer and UndefinedBehaviorSanitizer
set -euo pipefail

cd "$(dirname "$0")/.."
mode="${1:-run}"

# Every Debian package the program, its tests and the end-to-end journeys need, in one place.
packages=(
    # the compiler and the build
    build-essential cmake pkg-config
    # Qt 6: widgets, charts (whose CMake files need Qt6OpenGL), SVG pictures, the SQLite driver,
    # and Qt's own Russian texts for the standard buttons
    qt6-base-dev qt6-charts-dev libqt6opengl6-dev qt6-svg-dev libqt6sql6-sqlite libqt6svg6
    qt6-translations-l10n
    # the ledger engine and the stock tool the tests read ledgers with
    libsqlite3-dev sqlite3
    # the backup copies, compressed
    libzstd-dev
    # the bank's rates over HTTPS, and the old Jet ledgers
    libcurl4-openssl-dev ca-certificates mdbtools-dev
    # spreadsheet export of typed cells (.xlsx)
    libxlsxwriter-dev
    # tests: a font, PDF pages of a printed chart, certificates of a loopback TLS server
    fonts-dejavu-core poppler-utils openssl
    # tests: reading the exported Excel workbooks back
    python3-openpyxl
    # end-to-end journeys: a real X server with a Russian keyboard beside the US one, real key
    # and mouse events, screenshots, and Xlib for the journeys' own look at the windows
    xvfb xauth x11-xkb-utils xdotool x11-utils imagemagick libx11-dev
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTOR_WERROR=ON
cmake --build build -j "$jobs"

case "$mode" in
run)
    exec build/veltor
    ;;
test)
    (cd build && ctest --output-on-failure -j "$jobs")
    # The same suite with the memory and undefined-behaviour checkers compiled in.
    cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DVELTOR_SANITIZE=ON -DVELTOR_WERROR=ON
    cmake --build build-sanitize -j "$jobs"
    (cd build-sanitize && ctest --output-on-failure -j "$jobs")
    ;;
*)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
