#!/usr/bin/env bash
# `lexorpeek dict-server` started as the service manager starts it: systemd-socket-activate
# listens, starts the program at the first connection with only HOME, PATH, TERM, USER and the
# LISTEN_ variables, and hands over the socket as descriptor 3. A datagram socket handed over
# instead is refused with a reason.
#   tests/install/socket_activation.sh LEXORPEEK LEXOR_MKDICT
source "$(dirname "$0")/../../scripts/lib/common.sh"
lexorpeek="$1" mkdict="$2"
scratch_for_servers 700

mkdir -p "$work/home/Library/Lexor"
printf 'apple\tりんご\n' >"$work/words.tsv"
"$mkdict" "$work/home/Library/Lexor/fruit.dic" "$work/words.tsv" 2>/dev/null
port="$(free_port)"

HOME="$work/home" systemd-socket-activate -l "127.0.0.1:$port" "$lexorpeek" --quiet dict-server \
  >"$work/out" 2>/dev/null &
pids+=("$!")
for _ in $(seq 200); do  # until it listens, at most 10 s
  { exec 3<>"/dev/tcp/127.0.0.1/$port"; } 2>/dev/null && break
  sleep 0.05
done
printf 'SHOW DB\r\nDEFINE fruit apple\r\nQUIT\r\n' >&3
answer="$(timeout 10 cat <&3)"
exec 3<&-
for expected in "220 " 'fruit "fruit.dic"' $'\r\napple\r\n  りんご\r\n' "221 "; do
  [[ $answer == *"$expected"* ]] || { echo "missing '$expected' in: $answer" >&2; exit 1; }
done
first="$(head -1 "$work/out")"
[ "$first" = "dict://127.0.0.1:$port/ (a socket handed over by the service manager)" ] ||
  { echo "first line: $first" >&2; exit 1; }

# A datagram socket is no place for DICT: the server says so and ends with status 1. (The server
# above keeps the port's TCP socket; this one is UDP.)
HOME="$work/home" systemd-socket-activate --datagram -l "127.0.0.1:$port" "$lexorpeek" --quiet \
  dict-server >/dev/null 2>"$work/err" &
pid=$!
pids+=("$pid")
for _ in $(seq 100); do  # a datagram sent before the socket is bound is lost: send until refused
  { echo x >"/dev/udp/127.0.0.1/$port"; } 2>/dev/null || true
  sleep 0.05
  grep -q "not a listening TCP socket" "$work/err" && break
done
status=0
timeout 10 tail --pid="$pid" -f /dev/null || true
kill "$pid" 2>/dev/null || true  # still serving a datagram socket: the status below says so
wait "$pid" || status=$?
grep -q "not a listening TCP socket" "$work/err" || { cat "$work/err" >&2; exit 1; }
[ "$status" -eq 1 ] || { echo "status $status, not 1" >&2; exit 1; }
echo "socket activation: served the socket handed over, refused a datagram socket"
