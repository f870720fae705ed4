#!/usr/bin/python3
"""The model-query exchange as a user would script it with Debian's python3-serial:
open the port with the printer's line settings, write the frame, read the 45-byte
reply. Prints the mean time per exchange in microseconds.

Usage: serial_peer.py DEVICE [--count N] [--reopen]
  --reopen   open and close the port for every exchange, as the workbench does
"""
import argparse
import sys
import time

import serial

# "Marca, Modelo e Tipo": STX, length 5, ESC, 35, 60, 16-bit sum.
FRAME = bytes([0x02, 0x05, 0x00, 0x1B, 0x23, 0x3C, 0x7A, 0x00])
REPLY_BYTES = 45


def open_port(device):
    return serial.Serial(device, 9600, bytesize=serial.EIGHTBITS, parity=serial.PARITY_NONE,
                         stopbits=serial.STOPBITS_TWO, timeout=1, exclusive=True)


def exchange(port):
    port.write(FRAME)
    reply = port.read(REPLY_BYTES)
    if len(reply) != REPLY_BYTES or reply[0] != 0x06:
        sys.exit("serial_peer: reply of %d bytes: %s" % (len(reply), reply.hex(" ")))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("device")
    parser.add_argument("--count", type=int, default=2000)
    parser.add_argument("--reopen", action="store_true")
    args = parser.parse_args()

    port = None if args.reopen else open_port(args.device)
    exchange(port) if port else None  # a first exchange outside the timing
    start = time.perf_counter()
    for _ in range(args.count):
        if args.reopen:
            with open_port(args.device) as each:
                each.reset_input_buffer()
                exchange(each)
        else:
            exchange(port)
    elapsed = time.perf_counter() - start
    if port:
        port.close()
    print("%.1f" % (elapsed / args.count * 1e6))


if __name__ == "__main__":
    main()
