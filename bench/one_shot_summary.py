#!/usr/bin/env python3
"""The one-shot comparison of bench/one_shot.sh: runs the commands, prints medians and ratios."""
import argparse
import os
import random
import signal
import socket
import statistics
import subprocess
import time

LARGE_ENTRIES = 1_000_000
LEV_WORD = "tarot"  # 14 head words of the generated file are one edit from it


def write_tsv(path):
    """A fixed-seed list of English-like head words, one to three words each."""
    rng = random.Random(52)
    letters = "etaoinshrdlcumwfgypbvkjxqz"
    weights = [26 - i for i in range(26)]
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8") as out:
        for n in range(LARGE_ENTRIES):
            words = [
                "".join(rng.choices(letters, weights, k=rng.randint(2, 10)))
                for _ in range(rng.choice((1, 1, 1, 2, 3)))
            ]
            out.write(f"{' '.join(words)}\tsense {n}\n")


def one_shot(args):
    new, old = args.lexorpeek, args.old
    dic = os.path.join(os.environ["HOME"], "Library/Lexor/revora48.dic")
    programs = {"": new, "old ": old} if old else {"": new}
    commands = {}
    for label, program in programs.items():
        commands.update({
            label + "help": [program, "--help"],
            label + "hit": [program, "lookup", "猫", "--nth", "0", "--format", "html"],
            label + "miss": [program, "lookup", "zzzzq", "--nth", "0"],
            label + "lev": [program, "match", "-s", "lev", "ねこ", "--dict", dic],
            label + "substring": [program, "match", "-s", "substring", "ねこ", "--dict", dic],
            label + "search water": [program, "search", "water", "--limit", "100", "--nth", "0"],
            label + "search 猫": [program, "search", "猫", "--limit", "100", "--nth", "0"],
        })
    commands["dict miss"] = [args.dict, "-h", "127.0.0.1", "-p", args.port, "-d", "fd-jpn-eng",
                             "zzzzq"]
    # The caches are built first (each program its own), outside the timing.
    for argv in commands.values():
        subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
    schedule = [name for _ in range(2) for name in commands]  # warm-up
    warm = len(schedule)
    schedule += [name for _ in range(args.runs) for name in commands]
    listing = os.path.join(args.work, "commands.tsv")
    with open(listing, "w", encoding="utf-8") as out:
        for name in schedule:
            out.write("\t".join(commands[name]) + "\n")
    lines = subprocess.run([args.timer, listing], check=True, capture_output=True,
                           text=True).stdout.split("\n")
    times = {name: [] for name in commands}
    for name, line in list(zip(schedule, lines))[warm:]:
        times[name].append(int(line.split()[0]) / 1e6)
    medians = {name: statistics.median(values) for name, values in times.items()}
    print(f"runs a command: {args.runs}, CPU affinity {sorted(os.sched_getaffinity(0))}")
    print(f"{'command':<20} {'median ms':>10}")
    for name in commands:
        print(f"{name:<20} {medians[name]:>10.2f}")
    for label in programs:
        m = lambda n: medians[label + n]
        print(f"{label or 'new '}miss / hit = {m('miss') / m('hit'):.2f} (<= 3); "
              f"miss / dict miss = {m('miss') / medians['dict miss']:.2f} (<= 0.5); "
              f"lev / hit = {m('lev') / m('hit'):.2f}, substring / hit = "
              f"{m('substring') / m('hit'):.2f} (<= 4); search water - help = "
              f"{m('search water') - m('help'):.2f} ms (<= 3), search 猫 - help = "
              f"{m('search 猫') - m('help'):.2f} ms (<= 5)")


def first_match(program, home, cache, runs):
    """Milliseconds from sending a new server's first MATCH to the end of its answer."""
    env = dict(os.environ, HOME=home, XDG_CACHE_HOME=cache)
    times = []
    for _ in range(runs):
        server = subprocess.Popen([program, "--quiet", "dict-server", "--port", "0"], env=env,
                                  stdout=subprocess.PIPE, text=True)
        try:
            url = server.stdout.readline().strip()
            port = int(url.rstrip("/").rsplit(":", 1)[1])
            with socket.create_connection(("127.0.0.1", port)) as sock:
                buffer = b""
                while b"\r\n" not in buffer:
                    buffer += sock.recv(4096)
                start = time.perf_counter()
                sock.sendall(f"MATCH * lev {LEV_WORD}\r\n".encode())
                buffer = b""
                while not any(buffer.startswith(code) or b"\r\n" + code in buffer
                              for code in (b"250 ", b"552 ", b"550 ", b"551 ")):
                    chunk = sock.recv(1 << 16)
                    if not chunk:
                        break
                    buffer += chunk
                times.append((time.perf_counter() - start) * 1e3)
        finally:
            server.send_signal(signal.SIGTERM)
            server.wait()
    return times


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--write-tsv")
    for name in ("timer", "lexorpeek", "old", "dict", "port", "work", "large"):
        parser.add_argument("--" + name)
    parser.add_argument("--runs", type=int, default=40)
    args = parser.parse_args()
    if args.write_tsv:
        write_tsv(args.write_tsv)
        return
    one_shot(args)

    cache = os.path.join(args.work, "large-cache")
    first_match(args.lexorpeek, args.large, cache, 1)  # builds the cache file
    new = first_match(args.lexorpeek, args.large, cache, 15)
    print(f"DICT server, first MATCH * lev on {LARGE_ENTRIES:,} entries, cache present: "
          f"median {statistics.median(new):.1f} ms over {len(new)} servers (<= 20)")
    if args.old:
        old = first_match(args.old, args.large, cache, 5)
        print(f"old DICT server, first MATCH * lev: median {statistics.median(old):.1f} ms "
              f"over {len(old)} servers")


if __name__ == "__main__":
    main()
