#!/usr/bin/env python3
"""An independent point-of-sale client for the monitor tests: opens the port with
pyserial like a POS program would and sends frames built here by hand (STX, length,
body, 16-bit sum), printing one line per reply: 'reply <label> <hex>'."""
import sys
import time

import serial


def frame(body):
    length = len(body) + 2
    total = sum(body) & 0xFFFF
    return bytes([0x02, length & 0xFF, length >> 8]) + bytes(body) + bytes([total & 0xFF, total >> 8])


def read_reply(port, count):
    got = b""
    deadline = time.monotonic() + 5
    while len(got) < count and time.monotonic() < deadline:
        got += port.read(count - len(got))
    return got


def open_port(path):
    return serial.Serial(path, 9600, bytesize=8, parity="N", stopbits=2, timeout=0.2)


def main():
    path = sys.argv[1]
    model_query = frame([0x1B, 0x23, 0x3C])  # "35 60": brand, model and kind, 45-byte reply

    port = open_port(path)
    port.write(model_query)
    print("reply good", read_reply(port, 45).hex(" "), flush=True)

    corrupt = bytearray(model_query)
    corrupt[-2] ^= 0xFF  # wrong sum: the printer refuses it with NAK
    port.write(corrupt)
    print("reply corrupt", read_reply(port, 1).hex(" "), flush=True)

    port.write(bytes([0xAA, 0x55, 0x00, 0xFF, 0x13, 0x80]))  # noise outside any frame
    time.sleep(1.3)  # whatever the printer makes of it has come by now
    port.reset_input_buffer()

    for b in model_query:  # one byte a write, with pauses: a frame split across many reads
        port.write(bytes([b]))
        port.flush()
        time.sleep(0.02)
    print("reply split", read_reply(port, 45).hex(" "), flush=True)
    port.close()

    # The program closes and reopens the port between commands.
    port = open_port(path)
    port.write(model_query)
    print("reply reopened", read_reply(port, 45).hex(" "), flush=True)
    port.close()


if __name__ == "__main__":
    main()
