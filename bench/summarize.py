#!/usr/bin/env python3
"""Prints the performance targets as ratios from one run of lexor_bench.

usage: summarize.py BENCH.json [TIME-V.txt]

Ratios use the median CPU time of the repetitions: the machine is shared, and wall time there
mostly measures waiting for a core. Wall-time medians are shown beside them.
"""
import json
import re
import sys

UNIT_NS = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


def load_medians(path):
    with open(path) as f:
        doc = json.load(f)
    medians = {}
    for b in doc["benchmarks"]:
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        if b.get("error_occurred"):
            continue
        scale = UNIT_NS[b.get("time_unit", "ns")]
        medians[b["run_name"]] = {
            "cpu": b["cpu_time"] * scale,
            "real": b["real_time"] * scale,
            "counters": b,
        }
    return medians


def fmt_time(ns):
    if ns >= 1e6:
        return f"{ns / 1e6:.2f} ms"
    if ns >= 1e3:
        return f"{ns / 1e3:.2f} us"
    return f"{ns:.0f} ns"


def peak_rss_kib(path):
    try:
        with open(path) as f:
            m = re.search(r"Maximum resident set size \(kbytes\): (\d+)", f.read())
        return int(m.group(1)) if m else None
    except OSError:
        return None


def main():
    m = load_medians(sys.argv[1])
    rss = peak_rss_kib(sys.argv[2]) if len(sys.argv) > 2 else None
    rows = []

    def cpu(name):
        return m[name]["cpu"] if name in m else None

    def ratio_row(target, num, den, limit, better_if_low):
        a, b = cpu(num), cpu(den)
        if a is None or b is None:
            rows.append((target, "missing", "", "n/a"))
            return
        r = a / b
        ok = r <= limit if better_if_low else r >= limit
        bound = ("<= " if better_if_low else ">= ") + f"{limit:g}"
        rows.append((target, f"{fmt_time(a)} / {fmt_time(b)} = {r:.2f}", bound,
                     "met" if ok else "MISSED"))

    ratio_row("look-up speed-up (linear / search)", "BM_LookupIndexLinear", "BM_LookupIndex",
              100, False)
    ratio_row("query + 10 HTML / SQLite first 10", "BM_QueryFirst10Html/0",
              "BM_SqliteRangeFirst10/0", 1.0, True)
    q = cpu("BM_QueryFirst10Html/0")
    if q is not None:
        rows.append(("query + 10 HTML, median", fmt_time(q), "< 10 us",
                     "met" if q < 10e3 else "MISSED"))
    ratio_row("suite-mode pair / plain pair", "BM_SuiteQueryPair", "BM_PlainQueryPair", 1.5, True)
    ratio_row("BOCU-1 decoding (ICU / ours)", "BM_Bocu1DecodeIcu", "BM_Bocu1Decode", 1.0, False)
    ratio_row("BOCU-1 encoding (ICU / ours)", "BM_Bocu1EncodeIcu", "BM_Bocu1Encode", 1.0, False)
    ratio_row("open + first look-up / index read", "BM_OpenAndFirstLookup", "BM_IndexBytesRead",
              2.0, True)
    ratio_row("folder scan / bare listing", "BM_FolderScan", "BM_BareRecursiveListing", 3.0, True)
    index_bytes = m.get("BM_OpenAndFirstLookup", {}).get("counters", {}).get("index_bytes")
    if rss is not None and index_bytes:
        limit_kib = index_bytes / 1024 + 16 * 1024
        rows.append(("peak RSS of lookup / index + 16 MB",
                     f"{rss / 1024:.1f} MB / {limit_kib / 1024:.1f} MB = {rss / limit_kib:.2f}",
                     "<= 1", "met" if rss <= limit_kib else "MISSED"))

    # The search layer on the demo's Japanese-English dictionary (skipped without scripts/demo).
    def absolute_row(target, name, limit_ns):
        t = cpu(name)
        if t is None:
            rows.append((target, "missing", "", "n/a"))
            return
        rows.append((target, fmt_time(t), f"<= {fmt_time(limit_ns)}", "met" if t <= limit_ns else "MISSED"))

    absolute_row("head-word table build", "BM_HeadWordTableBuild", 150e6)
    build = m.get("BM_HeadWordTableBuild", {}).get("counters", {})
    if "memory_MB" in build and "budget_MB" in build:
        rows.append(("head-word table memory / budget",
                     f"{build['memory_MB']:.1f} MB / {build['budget_MB']:.1f} MB",
                     "<= 1", "met" if build["memory_MB"] <= build["budget_MB"] else "MISSED"))
    # BM_Strategy/N follows the order of matchStrategies().
    for index, name, limit_ns in [(0, "exact", 10e3), (2, "substring", 15e6), (3, "suffix", 15e6),
                                  (4, "word", 15e6), (7, "re", 50e6), (9, "lev", 15e6)]:
        absolute_row(f"match {name}, warm", f"BM_Strategy/{index}", limit_ns)

    width = [max(len(r[i]) for r in rows) for i in range(4)]
    print(f"{'target':<{width[0]}}  {'measured (CPU-time medians)':<{width[1]}}  "
          f"{'goal':<{width[2]}}  result")
    for r in rows:
        print(f"{r[0]:<{width[0]}}  {r[1]:<{width[1]}}  {r[2]:<{width[2]}}  {r[3]}")

    print("\nAll medians (CPU time, wall time):")
    for name, v in m.items():
        print(f"  {name:<32} {fmt_time(v['cpu']):>10}  {fmt_time(v['real']):>10}")


if __name__ == "__main__":
    main()
