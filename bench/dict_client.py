#!/usr/bin/env python3
"""DEFINE throughput of a DICT server on one persistent connection.

    dict_client.py HOST PORT DATABASE WORDS_FILE [--batch N] [--rounds N]

Sends the words' DEFINE commands in batches of N pipelined commands (default 100), reading every
answer of a batch before sending the next, and repeats the whole list ROUNDS times (default 5)
after one warm-up pass. Prints one line of JSON: the words, the definitions found, the words with
none, and the median and best rate in commands per second.
"""
import json
import socket
import statistics
import sys
import time


def read_answers(sock, buffer, count):
    """Reads until `count` DEFINE answers have ended; returns (definitions, misses, buffer)."""
    definitions = misses = 0
    in_text = False
    done = 0
    while done < count:
        end = buffer.find(b"\r\n")
        if end < 0:
            chunk = sock.recv(1 << 20)
            if not chunk:
                raise SystemExit("the server closed the connection")
            buffer += chunk
            continue
        line = buffer[:end]
        buffer = buffer[end + 2:]
        if in_text:
            if line == b".":
                in_text = False
            continue
        code = line[:3]
        if code == b"151":
            definitions += 1
            in_text = True
        elif code == b"150":
            pass
        elif code == b"250":
            done += 1
        elif code in (b"552", b"550"):
            misses += 1
            done += 1
        else:
            raise SystemExit("unexpected answer: %r" % line[:200])
    return definitions, misses, buffer


def main():
    args = sys.argv[1:]
    batch, rounds = 100, 5
    if "--batch" in args:
        i = args.index("--batch")
        batch = int(args[i + 1])
        del args[i:i + 2]
    if "--rounds" in args:
        i = args.index("--rounds")
        rounds = int(args[i + 1])
        del args[i:i + 2]
    host, port, database, words_file = args
    with open(words_file, encoding="utf-8") as f:
        words = [w for w in f.read().split("\n") if w]
    commands = [("DEFINE %s \"%s\"\r\n" % (database, w.replace("\\", "\\\\").replace('"', '\\"'))).encode()
                for w in words]

    sock = socket.create_connection((host, int(port)))
    sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    buffer = b""
    while b"\r\n" not in buffer:
        buffer += sock.recv(4096)
    buffer = buffer[buffer.index(b"\r\n") + 2:]

    def one_pass():
        nonlocal buffer
        found = missed = 0
        for start in range(0, len(commands), batch):
            part = commands[start:start + batch]
            sock.sendall(b"".join(part))
            d, m, buffer = read_answers(sock, buffer, len(part))
            found += d
            missed += m
        return found, missed

    found, missed = one_pass()  # warm-up: the server's tables and the page cache
    rates = []
    for _ in range(rounds):
        start = time.perf_counter()
        one_pass()
        rates.append(len(commands) / (time.perf_counter() - start))
    sock.sendall(b"QUIT\r\n")
    sock.close()
    print(json.dumps({"words": len(words), "definitions": found, "no_match": missed,
                      "median_per_s": round(statistics.median(rates)), "best_per_s": round(max(rates))}))


if __name__ == "__main__":
    main()
