#!/usr/bin/env python3
"""Runs the start-up comparison of bench/startup.sh and prints medians and ratios."""
import argparse
import os
import statistics
import subprocess


def words_of(index_path, count):
    """`count` head words spread evenly over the dictd index (its own entries left out)."""
    heads = []
    with open(index_path, encoding="utf-8") as index:
        for line in index:
            head = line.split("\t", 1)[0]
            if head and not head.startswith("00") and " " not in head:
                heads.append(head)
    step = len(heads) // count
    return [heads[i * step] for i in range(count)]


def main():
    parser = argparse.ArgumentParser()
    for name in ("timer", "lexorpeek", "baseline", "dict", "index", "work"):
        parser.add_argument("--" + name, required=True)
    parser.add_argument("--port", required=True)
    parser.add_argument("--rounds", type=int, default=3)
    args = parser.parse_args()

    words = words_of(args.index, 100)
    commands = {
        "help": lambda w: [args.lexorpeek, "--help"],
        "baseline": lambda w: [args.baseline],
        "lookup": lambda w: [args.lexorpeek, "lookup", w, "--nth", "0", "--format", "html"],
        "dict": lambda w: [args.dict, "-h", "127.0.0.1", "-p", args.port, "-d", "fd-jpn-eng",
                           "-s", "prefix", "-m", w],
    }
    # Alternating, run by run: each pair shares whatever the machine is doing at that moment.
    schedule = []
    for w in words[:5]:  # warm-up: caches, page cache, the server's first children
        schedule += [("warm", commands[name](w)) for name in commands]
    for _ in range(args.rounds):
        for w in words:
            for name in ("help", "baseline", "lookup", "dict"):
                schedule.append((name, commands[name](w)))
    listing = os.path.join(args.work, "commands.tsv")
    with open(listing, "w", encoding="utf-8") as out:
        for _, argv in schedule:
            out.write("\t".join(argv) + "\n")
    lines = subprocess.run([args.timer, listing], check=True, capture_output=True,
                           text=True).stdout.split("\n")

    times = {name: [] for name in commands}
    failures = {name: 0 for name in commands}
    for (name, _), line in zip(schedule, lines):
        if name == "warm":
            continue
        nanoseconds, status = (int(x) for x in line.split())
        times[name].append(nanoseconds / 1000.0)
        if status != 0:
            failures[name] += 1

    medians = {name: statistics.median(values) for name, values in times.items()}
    print(f"runs a command: {len(times['help'])}, CPU affinity {sorted(os.sched_getaffinity(0))}")
    print(f"{'command':<10} {'median us':>10} {'non-zero exits':>15}")
    for name in commands:
        print(f"{name:<10} {medians[name]:>10.1f} {failures[name]:>15}")
    print(f"lexorpeek --help / baseline     = {medians['help'] / medians['baseline']:.2f} (target <= 1.3)")
    print(f"lexorpeek lookup / dict lookup  = {medians['lookup'] / medians['dict']:.2f} (target <= 0.75)")


if __name__ == "__main__":
    main()
