#!/usr/bin/env bash
# The pymodbus Modbus TCP server, asked by mbpoll: it serves 100 + N at
# register N and stores and logs what is written to it, so that checks that
# use it as a server that is not ours can trust what it holds.
# tests/pymodbus_tcp_check.sh
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
work="$(mktemp -d)"
server_pid=""
cleanup() {
    if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

/usr/bin/python3 "$here/support/pymodbus_tcp_server.py" >"$work/port" 2>"$work/server.log" &
server_pid=$!
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
address="$(head -n 1 "$work/port")"
[[ "$address" =~ ^127\.0\.0\.1:[0-9]+$ ]] || fail "first line '$address' is not 127.0.0.1:PORT"
port="${address#127.0.0.1:}"

# mbpoll_values ARG...: the values of mbpoll's "[N]:  V" lines, one a line.
mbpoll_values() {
    mbpoll -m tcp -a 1 -0 -1 -o 2 -p "$port" "$@" 2>&1 | sed -n 's/^\[[0-9]*\]:[[:space:]]*//p'
}

[ "$(mbpoll_values -r 16 -c 3 127.0.0.1 | tr '\n' ' ')" = "116 117 118 " ] || fail "registers 16..18 are not 116..118"
mbpoll -m tcp -a 1 -0 -1 -o 2 -p "$port" -r 17 127.0.0.1 4242 >/dev/null || fail "the single write failed"
mbpoll -m tcp -a 1 -0 -1 -o 2 -p "$port" -r 30 127.0.0.1 7 8 >/dev/null || fail "the multiple write failed"
[ "$(mbpoll_values -r 16 -c 3 127.0.0.1 | tr '\n' ' ')" = "116 4242 118 " ] || fail "the write to 17 was not stored"
[ "$(mbpoll_values -r 30 -c 2 127.0.0.1 | tr '\n' ' ')" = "7 8 " ] || fail "the writes to 30 and 31 were not stored"
for line in "pymodbus: request ReadHoldingRegistersRequest address 16" "pymodbus: write address 17 value 4242" \
    "pymodbus: write address 30 value 7" "pymodbus: write address 31 value 8"; do
    grep -qx "$line" "$work/server.log" || fail "the log lacks '$line': $(cat "$work/server.log")"
done
echo "pymodbus TCP check passed: 100 + N served, a single and a multiple write stored and logged"
