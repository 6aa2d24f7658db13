#!/usr/bin/env bash
# Full-text search on the demo's Japanese-English dictionary (364,427 entries): build time of its
# index, index size against the texts' UTF-8 bytes, warm queries to their first 100 results.
# Medians of a few repetitions; the index cache is a scratch folder, never ~/.cache.
#
#   bench/fulltext.sh [extra Google Benchmark flags]
source "$(dirname "$0")/../scripts/lib/common.sh"
cd "$ROOT"
dic="$(build_dir default)/demo-home/Library/Lexor/revora48.dic"
[ -s "$dic" ] || scripts/demo lookup peek >/dev/null
configure_and_build bench lexor_bench
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
XDG_CACHE_HOME="$scratch" LEXOR_FULLTEXT_DIC="$dic" "$(build_dir bench)/bin/lexor_bench" \
  --benchmark_filter='Fulltext|warmQuery' \
  --benchmark_repetitions="${LEXOR_BENCH_REPETITIONS:-3}" \
  --benchmark_report_aggregates_only=true "$@"
