#!/usr/bin/python3
"""A Modbus RTU slave whose frames are pymodbus's, not ours, on a new
pseudo-terminal whose path it prints first. It serves holding registers
0..0x4F, register N holding 100 + N, and can misbehave as a line can:
--repeat MS   every reply again MS later, as a second device at the address
--owed        before the first reply, the reply to a read of the register
              after, as one owed to an earlier request
--delay MS    wait before each reply
Runs until killed; logs each request to stderr."""
import argparse
import os
import select
import sys
import time
import tty

from pymodbus.datastore import ModbusSequentialDataBlock, ModbusSlaveContext
from pymodbus.factory import ServerDecoder
from pymodbus.framer.rtu_framer import ModbusRtuFramer
from pymodbus.register_read_message import ReadHoldingRegistersRequest


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--repeat", type=int, default=0)
    parser.add_argument("--owed", action="store_true")
    parser.add_argument("--delay", type=int, default=0)
    options = parser.parse_args()

    registers = ModbusSequentialDataBlock(0, [100 + n for n in range(0x60)])
    context = ModbusSlaveContext(hr=registers, zero_mode=True)
    framer = ModbusRtuFramer(ServerDecoder())
    master, slave = os.openpty()
    tty.setraw(master)
    tty.setraw(slave)
    print(os.ttyname(slave), flush=True)
    owed = options.owed

    def send(request):
        response = request.execute(context)
        response.unit_id = request.unit_id
        os.write(master, framer.buildPacket(response))

    def answer(request):
        nonlocal owed
        print(f"pymodbus: request {type(request).__name__} address {request.address}", file=sys.stderr, flush=True)
        if owed:
            owed = False
            earlier = ReadHoldingRegistersRequest(request.address + 1, request.count, unit=request.unit_id)
            send(earlier)
        time.sleep(options.delay / 1000)
        send(request)
        if options.repeat:
            time.sleep(options.repeat / 1000)
            send(request)

    while True:
        select.select([master], [], [])
        data = os.read(master, 256)
        framer.processIncomingPacket(data, answer, unit=[1], single=False)


if __name__ == "__main__":
    main()
