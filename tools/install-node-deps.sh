#!/usr/bin/env bash
# Installs the npm packages the debug adapter's end-to-end tests and the
# VS Code extension's build need, from their lockfiles, when they are
# missing or older than the lockfile. It uses the npm that comes with the
# machine's Node.js (Debian's own npm package conflicts with Node 20).
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
    echo "The debug adapter's tests need Node.js 20 and the npm that comes with it" >&2
    exit 1
fi
for dir in tests/debugadapter "$@"; do
    if [ ! -d "$dir/node_modules" ] || [ "$dir/package-lock.json" -nt "$dir/node_modules" ]; then
        (cd "$dir" && npm ci --no-audit --no-fund --loglevel=error)
        touch "$dir/node_modules"
    fi
done
