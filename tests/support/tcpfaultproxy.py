#!/usr/bin/python3
"""A Modbus TCP proxy on 127.0.0.1 that spoils the replies of the server
behind it the way a busy gateway or network does. Requests pass unchanged;
replies are cut at their MBAP header and handled one by one, in order.
Prints 127.0.0.1:PORT first, serves one client at a time, and logs what it
did to each reply on stderr.
UPSTREAM          the server's HOST:PORT
--split MS        send each reply's first 8 bytes, then the rest MS later
--drop N          drop the first N replies of each connection
--duplicate MS    send each reply again MS milliseconds later
--late K:MS       hold the K-th reply (from 1) of each connection MS longer
--gateway-timeout MS  act as a gateway to a serial line, which numbers
                  nothing: a request unanswered after MS gets exception 0B,
                  and a reply that comes after that goes out under the
                  transaction of the request awaited then, or nowhere
Runs until killed."""
import argparse
import socket
import sys
import threading
import time


def log(text):
    print(f"proxy: {text}", file=sys.stderr, flush=True)


def read_adu(sock, pending):
    """One whole ADU from the server, or None when it closed."""
    while True:
        if len(pending) >= 6:
            total = 6 + int.from_bytes(pending[4:6], "big")
            if len(pending) >= total:
                adu = bytes(pending[:total])
                del pending[:total]
                return adu
        data = sock.recv(4096)
        if not data:
            return None
        pending.extend(data)


def send_later(client, adu, delay_ms, lock):
    time.sleep(delay_ms / 1000)
    with lock:
        try:
            client.sendall(adu)
        except OSError:
            pass


class Gateway:
    """The requests awaited, oldest first, as (transaction header, unit, function)."""

    def __init__(self, client, lock, timeout_ms):
        self.client, self.lock, self.timeout_ms = client, lock, timeout_ms
        self.awaited = []

    def asked(self, request):
        entry = (request[0:2], request[6], request[7])
        with self.lock:
            self.awaited.append(entry)
        threading.Timer(self.timeout_ms / 1000, self.give_up, args=(entry,)).start()

    def give_up(self, entry):
        with self.lock:
            if entry not in self.awaited:
                return
            self.awaited.remove(entry)
            header, unit, function = entry
            self.send(header + bytes([0, 0, 0, 3, unit, function | 0x80, 0x0B]))
        log(f"transaction {int.from_bytes(header, 'big')}: 0B after {self.timeout_ms} ms")

    def reply(self, adu):
        """Its own request's, or, once that has had its 0B, the newest awaited one's."""
        with self.lock:
            own = [entry for entry in self.awaited if entry[0] == adu[0:2]]
            taker = own[0] if own else (self.awaited[-1] if self.awaited else None)
            if taker is None:
                log(f"reply of transaction {int.from_bytes(adu[0:2], 'big')} dropped: none awaited")
                return
            self.awaited.remove(taker)
            self.send(taker[0] + adu[2:])
        if not own:
            log(f"reply of transaction {int.from_bytes(adu[0:2], 'big')} sent as {int.from_bytes(taker[0], 'big')}'s")

    def send(self, adu):
        try:
            self.client.sendall(adu)
        except OSError:
            pass


def pass_requests(client, upstream, gateway):
    pending = bytearray()
    try:
        while True:
            data = client.recv(4096)
            if not data:
                break
            pending.extend(data)
            while gateway and len(pending) >= 6 and len(pending) >= 6 + int.from_bytes(pending[4:6], "big"):
                total = 6 + int.from_bytes(pending[4:6], "big")
                gateway.asked(bytes(pending[:total]))
                del pending[:total]
            upstream.sendall(data)
    except OSError:
        pass
    try:
        upstream.shutdown(socket.SHUT_RDWR)
    except OSError:
        pass


def serve(client, options):
    host, port = options.upstream.rsplit(":", 1)
    upstream = socket.create_connection((host, int(port)))
    upstream.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    lock = threading.Lock()
    gateway = Gateway(client, lock, options.gateway_timeout) if options.gateway_timeout else None
    threading.Thread(target=pass_requests, args=(client, upstream, gateway), daemon=True).start()
    pending = bytearray()
    count = 0
    while True:
        adu = read_adu(upstream, pending)
        if adu is None:
            break
        count += 1
        transaction = int.from_bytes(adu[0:2], "big")
        if count <= options.drop:
            log(f"reply {count} (transaction {transaction}) dropped")
            continue
        if options.late and options.late[0] == count:
            log(f"reply {count} (transaction {transaction}) held {options.late[1]} ms")
            time.sleep(options.late[1] / 1000)
        if gateway:
            gateway.reply(adu)
            continue
        try:
            if options.split:
                with lock:
                    client.sendall(adu[:8])
                log(f"reply {count} (transaction {transaction}) split, rest after {options.split} ms")
                time.sleep(options.split / 1000)
                with lock:
                    client.sendall(adu[8:])
            else:
                with lock:
                    client.sendall(adu)
        except OSError:
            break
        if options.duplicate is not None:
            log(f"reply {count} (transaction {transaction}) sent again after {options.duplicate} ms")
            threading.Thread(target=send_later, args=(client, adu, options.duplicate, lock), daemon=True).start()
    client.close()
    upstream.close()


def late_option(text):
    index, ms = text.split(":")
    return int(index), int(ms)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("upstream")
    parser.add_argument("--split", type=int, default=0)
    parser.add_argument("--drop", type=int, default=0)
    parser.add_argument("--duplicate", type=int, default=None)
    parser.add_argument("--late", type=late_option, default=None)
    parser.add_argument("--gateway-timeout", type=int, default=0)
    options = parser.parse_args()
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(1)
    print(f"127.0.0.1:{listener.getsockname()[1]}", flush=True)
    while True:
        client, _ = listener.accept()
        client.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        serve(client, options)


if __name__ == "__main__":
    main()
