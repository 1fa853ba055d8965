#!/bin/sh
# Runs one test in a world of its own: a fresh HOME and XDG folders (so no real settings or
# ledgers are touched), the offscreen platform, and a rate server address on loopback that
# nothing listens on, so that a test can never reach the internet.
set -eu
world=$(mktemp -d "${TMPDIR:-/tmp}/veltor-test.XXXXXX")
trap 'chmod -R u+rwX "$world" 2>/dev/null; rm -rf "$world"' EXIT INT TERM
mkdir -p "$world/home" "$world/config" "$world/data" "$world/cache" "$world/runtime" "$world/tmp"
chmod 700 "$world/runtime"
export HOME="$world/home"
export XDG_CONFIG_HOME="$world/config"
export XDG_DATA_HOME="$world/data"
export XDG_CACHE_HOME="$world/cache"
export XDG_RUNTIME_DIR="$world/runtime"
export TMPDIR="$world/tmp"
export QT_QPA_PLATFORM=offscreen
export VELTOR_RATES_URL="${VELTOR_RATES_URL:-http://127.0.0.1:9}"
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY ALL_PROXY all_proxy
"$@"
