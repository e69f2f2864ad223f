#!/usr/bin/env python3
"""Writes the small seed corpus of each fuzz target into fuzz/corpus/<target>/.

The inputs follow the targets' layouts: FuzzedDataProvider takes strings and byte runs from
the front of an input and numbers from its back (last byte first).
"""
import pathlib
import struct

HERE = pathlib.Path(__file__).resolve().parent
EXAMPLES = HERE.parent / "examples"


def write(target, name, data):
    folder = HERE / "corpus" / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data)


class Back:
    """Numbers as FuzzedDataProvider consumes them from the back of an input: the first
    number added is the last bytes of the input, each little-endian."""

    def __init__(self):
        self.chunks = []

    def add(self, fmt, value):
        self.chunks.append(struct.pack("<" + fmt, value))
        return self

    def in_range(self, low, high, value):
        size = 1 if high - low < 0x100 else 2
        return self.add("B" if size == 1 else "H", value - low)

    def bytes(self):
        return b"".join(reversed(self.chunks))


def hex_lines(path, count):
    lines = path.read_bytes().splitlines(keepends=True)
    return b"".join(lines[:count] + lines[-1:])


# HEX loader: a type byte (bit 7: strict), then the file.
for type_byte, example in ((0x00, "tk_series.hex"), (0x81, "mvrx_series.hex"),
                           (0x02, "cradle_set.hex"), (0x83, "eco_mode.hex")):
    write("fuzz_hex_loader", example, bytes([type_byte]) + hex_lines(EXAMPLES / example, 6))
write("fuzz_hex_loader", "bad_checksum.hex", b"\x80:0400000001020304FF\r\n:00000001FF\r\n")

# File lines: the buffer's size (byte + 1), then the file: every kind of line end, a CR LF
# across a 4-byte buffer's edge, a line longer than the buffer.
for piece, name, text in ((3, "ends", b":0A\r\n:0B\n:0C\r\r\n\n\r:0D\r"),
                          (0, "long", b":00000001FF" + b"A" * 40 + b"\r\nx"),
                          (63, "example", hex_lines(EXAMPLES / "tk_series.hex", 6))):
    write("fuzz_file_lines", name, bytes([piece]) + text)

# Settings file: PORT and PARITY texts (each ended by a backslash and another byte), the file,
# then from the back the bool and the five integers.
numbers = (Back().add("B", 1).add("i", 115200).add("i", 8).add("i", 1).add("i", 4)
           .add("i", 2).bytes())
files = {
    "plain.ini": b"[COM PORT SETTING]\r\nPORT=\\\\.\\COM1\r\nBAUD=115200\r\n[INDEX]\r\nCOM=0\r\n",
    "foreign.ini": b"\xef\xbb\xbf; tool\r\n[Com Port Setting]\r\n port = COM3 \r\nVENDOR=\"V\"\r\n"
                   b"\r\n[OTHER]\r\nTYPE=9\r\n[index]\r\nType='2'",
    "twice.ini": b"[INDEX]\nCOM=1\n[X]\n[INDEX]\nTYPE=3\n",
    "utf16le.ini": "\ufeff[INDEX]\r\nCOM=1\r\nNAME=J\u00fcrgen \U0001F600\r\n".encode("utf-16-le"),
    "utf16be.ini": "\ufeff[COM PORT SETTING]\r\nPORT=COM2\r\n".encode("utf-16-be"),
    "cr.ini": b"[A]\rX=1\r[INDEX]\rCOM=7",
}
for name, text in files.items():
    write("fuzz_settings_file", name, b"COM5\\xE\\x" + text + numbers)

# Receive side: the bursts' bytes, then from the back the type, the state, and per burst its
# length and whether it answers the command it names.
def receive_seed(target_type, bursts, phase=0):
    numbers = Back().in_range(-1, 4, target_type)
    for value in (phase, 2, 0, 0, 0, phase, 2, 0, 2):  # the transfer counters, small
        numbers.add("B", 1).in_range(-2, 300, value)
    numbers.add("I", 0)  # EraseCounter
    for _ in range(14):
        numbers.in_range(0, 2, 0)  # the reply flags
    numbers.add("q", 0x3FF).add("i", 0)  # HighestAddress, TimeOutCount
    for burst in bursts:
        numbers.add("H", len(burst)).add("B", 1)  # each burst answers the command it names
    return b"".join(bursts) + numbers.bytes()


write("fuzz_receive", "identity", receive_seed(0, [b"\x1fRI\x00\x01\x02\x03"]))
write("fuzz_receive", "read_data_24", receive_seed(0, [b"\x1fRDS\x00", b"\x1fRDD" + bytes(range(64))], 1))
write("fuzz_receive", "read_data_16", receive_seed(1, [b"\x1f8RDD\x00" + bytes(64)], 2))
write("fuzz_receive", "status", receive_seed(2, [b"\x1bS\x00\x1bS\x03\x12\x34", b"\x1bS\x07"]))
write("fuzz_receive", "note", receive_seed(3, [b"\x1f-FKV-218 v2\r\n", b"\x1f-S"]))
write("fuzz_receive", "flash", receive_seed(0, [b"\x1fFRE\x00\x00\x01\x00", b"\x1fFRD" + bytes(32)]))

# Line settings.
for name, text in (("old", b"115200,E,8,1"), ("new", b"baud=9600 parity=n data=7 stop=2"),
                   ("prefix", b"COM3: 96,N,8,1,x"), ("flow", b"baud=110 xon=on dtr=hs rts=tg")):
    write("fuzz_line_settings", name, text)
