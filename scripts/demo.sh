#!/usr/bin/env bash
# Installs what is missing, builds, and flashes a demo image into the built-in emulated
# hand controller over a pseudo-terminal, at the real line rate.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build"
exec "$root/build/cli/flashdl" --simulate "$@"
