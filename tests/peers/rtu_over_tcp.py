#!/usr/bin/env python3
"""An independent ModBus RTU slave behind a plain TCP socket, as a serial device server presents a
meter: RTU frames (address, PDU, CRC) with no header, one connection at a time.

Usage: rtu_over_tcp.py SLAVE_ID
Listens on 127.0.0.1 on a free port and prints "ready PORT". Holding register r starts as r * 3 + 1.
Answers functions 3, 6 and 17; any other function gets exception 1, registers past 399 exception 2;
frames for other addresses or with a bad CRC get silence. Frames are cut by their length, as a
device server's slave would; the CRC is computed bit by bit from the published algorithm.
"""
import socket
import struct
import sys


def crc16(data: bytes) -> int:
    crc = 0xFFFF
    for byte in data:
        crc ^= byte
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc


def frame(pdu: bytes) -> bytes:
    return pdu + struct.pack("<H", crc16(pdu))


def request_length(buf: bytes) -> int:
    """The length of the request starting at buf[0]; 0 while it cannot be told yet."""
    if len(buf) < 2:
        return 0
    function = buf[1]
    if function in (3, 6):
        return 8
    if function == 17:
        return 4
    if function == 16:
        return 9 + buf[6] if len(buf) >= 7 else 0
    return 8  # unknown: the usual size of a read request, answered with an exception


def main() -> int:
    slave = int(sys.argv[1])
    registers = [r * 3 + 1 for r in range(400)]
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("127.0.0.1", 0))
    server.listen(1)
    print("ready", server.getsockname()[1], flush=True)
    while True:
        conn, _ = server.accept()
        conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        buf = b""
        with conn:
            while True:
                chunk = conn.recv(512)
                if not chunk:
                    break
                buf += chunk
                while (length := request_length(buf)) and len(buf) >= length:
                    request, buf = buf[:length], buf[length:]
                    if crc16(request) != 0 or request[0] != slave:
                        continue
                    function = request[1]
                    if function == 3:
                        first, count = struct.unpack(">HH", request[2:6])
                        if first + count > len(registers) or not 1 <= count <= 125:
                            reply = bytes([slave, 0x83, 2])
                        else:
                            data = b"".join(struct.pack(">H", v) for v in registers[first : first + count])
                            reply = bytes([slave, 3, len(data)]) + data
                    elif function == 6:
                        register, value = struct.unpack(">HH", request[2:6])
                        if register >= len(registers):
                            reply = bytes([slave, 0x86, 2])
                        else:
                            registers[register] = value
                            reply = request[:6]
                    elif function == 17:
                        text = b"PEER\x00TCP\x00"
                        reply = bytes([slave, 17, len(text)]) + text
                    else:
                        reply = bytes([slave, function | 0x80, 1])
                    conn.sendall(frame(reply))


if __name__ == "__main__":
    sys.exit(main())
