#!/usr/bin/env bash
# A short run of every fuzz target (about 20 seconds each, two at a time on two cores), so that a
# regression in the readers shows in CI. `scripts/fuzz 600` is the long run.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
exec "$ROOT/scripts/fuzz" "${LEXOR_FUZZ_SECONDS:-20}"
