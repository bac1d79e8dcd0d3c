#!/usr/bin/python3
"""A Modbus TCP server whose frames pymodbus makes, not ours, on 127.0.0.1.
It serves holding registers 0..0x4F for unit 1, register N holding 100 + N,
as pymodbus_slave.py does on a serial line; writes (functions 6 and 16) are
stored. Prints 127.0.0.1:PORT first (--port 0, the default, takes a free
one), serves one client at a time, and logs each request and each register
written to stderr.
--port N      the port to listen on
--delay MS    wait before each reply
Runs until killed."""
import argparse
import select
import socket
import sys
import time

from pymodbus.datastore import ModbusSequentialDataBlock, ModbusSlaveContext
from pymodbus.factory import ServerDecoder
from pymodbus.framer.socket_framer import ModbusSocketFramer


def log(text):
    print(f"pymodbus: {text}", file=sys.stderr, flush=True)


def written(request):
    """(address, value) for each register a write request sets."""
    if hasattr(request, "values") and request.function_code == 16:
        return list(enumerate(request.values, request.address))
    if request.function_code == 6:
        return [(request.address, request.value)]
    return []


def serve_client(client, context, delay_ms):
    # A framer per connection, so that half a frame left by one client never
    # joins the next client's bytes.
    framer = ModbusSocketFramer(ServerDecoder())

    def answer(request):
        log(f"request {type(request).__name__} address {request.address}")
        response = request.execute(context)
        if not response.isError():
            for address, value in written(request):
                log(f"write address {address} value {value}")
        response.transaction_id = request.transaction_id
        response.protocol_id = request.protocol_id
        response.unit_id = request.unit_id
        time.sleep(delay_ms / 1000)
        client.sendall(framer.buildPacket(response))

    while True:
        select.select([client], [], [])
        try:
            data = client.recv(260)
        except ConnectionError:
            data = b""
        if not data:
            return
        framer.processIncomingPacket(data, answer, unit=[1], single=False)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--delay", type=int, default=0)
    options = parser.parse_args()

    registers = ModbusSequentialDataBlock(0, [100 + n for n in range(0x60)])
    context = ModbusSlaveContext(hr=registers, zero_mode=True)
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", options.port))
    listener.listen(4)
    print(f"127.0.0.1:{listener.getsockname()[1]}", flush=True)
    while True:
        client, peer = listener.accept()
        log(f"connection from {peer[0]}:{peer[1]}")
        with client:
            serve_client(client, context, options.delay)
        log("connection closed")


if __name__ == "__main__":
    main()
