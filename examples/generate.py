#!/usr/bin/env python3
"""Writes the example HEX files, one per target type, from fixed content.

    examples/generate.py          write tk_series.hex, mvrx_series.hex, cradle_set.hex, eco_mode.hex
    examples/generate.py --check  exit 1 when a file differs from what would be written

The content is firmware-like but made up: vectors, code built from a few instruction
patterns (a fixed seed keeps it reproducible), text and lookup tables, configuration.
"""

import random
import sys
from pathlib import Path

HERE = Path(__file__).resolve().parent


# ---- Intel HEX writing --------------------------------------------------------------------

def record(rtype, address, data):
    body = bytes([len(data), address >> 8 & 0xFF, address & 0xFF, rtype]) + bytes(data)
    checksum = (-sum(body)) & 0xFF
    return ":" + (body + bytes([checksum])).hex().upper()


def hex_text(chunks, record_size=16):
    """chunks: list of (byte address, bytes). Extended linear address records are written
    whenever the upper 16 bits change; records never cross a 64 KB boundary."""
    lines = []
    upper = 0
    for address, data in sorted(chunks):
        pos = 0
        while pos < len(data):
            a = address + pos
            if a >> 16 != upper:
                upper = a >> 16
                lines.append(record(4, 0, [upper >> 8, upper & 0xFF]))
            n = min(record_size, len(data) - pos, 0x10000 - (a & 0xFFFF))
            lines.append(record(0, a & 0xFFFF, data[pos:pos + n]))
            pos += n
    lines.append(record(1, 0, []))
    return "".join(line + "\r\n" for line in lines)


def le16(values):
    return b"".join(v.to_bytes(2, "little") for v in values)


# ---- Type 0, "TK Series": 24-bit instruction words, each 4 bytes in the file -------------

def words24(words):
    """Program words as the file holds them: low, middle, high byte, then the pad byte 00."""
    return b"".join(bytes([w & 0xFF, w >> 8 & 0xFF, w >> 16 & 0xFF, 0]) for w in words)


def code24(rng, count, ret_every=12):
    """Instruction-like 24-bit words: MOV #lit,Wn; ADD; MOV Wn,[Wm]; BRA; NOP; RETURN."""
    words = []
    for i in range(count):
        if i % ret_every == ret_every - 1:
            words.append(0x060000)  # RETURN
            continue
        kind = rng.randrange(5)
        if kind == 0:
            words.append(0x200000 | rng.randrange(0x10000) << 4 | rng.randrange(16))
        elif kind == 1:
            words.append(0x400000 | rng.randrange(0x8000))
        elif kind == 2:
            words.append(0x780000 | rng.randrange(0x10000))
        elif kind == 3:
            words.append(0x370000 | rng.randrange(0x100))
        else:
            words.append(0x000000)  # NOP
    return words


def goto24(target):
    return [0x040000 | target & 0xFFFE, target >> 16 & 0x7F]


def tk_series():
    rng = random.Random(0x218)
    main = 0x000200
    chunks = []
    # Reset: GOTO main; interrupt vectors 0x04..0x13 to a default handler at 0x000180.
    chunks.append((0x0000, words24(goto24(main))))
    chunks.append((0x0008, words24([0x000180] * 16)))
    chunks.append((0x0180 * 2, words24([0xFE0000, 0x064000])))  # RESET-like trap, RETFIE
    chunks.append((main * 2, words24(code24(rng, 320))))
    # A message table in program memory: two characters per word, upper byte 00.
    text = b"KV-218 TK demo firmware 1.0\0"
    chunks.append((0x1000 * 2, words24(text[i] | text[i + 1] << 8 for i in range(0, len(text), 2))))
    # A second code section above 64 KB of file addresses (word 0x8000).
    chunks.append((0x8000 * 2, words24(code24(rng, 96, 8))))
    # Configuration registers 0..11 in segment 0x01F0, one 4-byte group each.
    config = [0xCF, 0x4F, 0x07, 0xA7, 0x87, 0xDF, 0xE7, 0xE3, 0xFF, 0xFF, 0xFF, 0xFF]
    for k, value in enumerate(config):
        chunks.append((0x1F00000 + 4 * k, bytes([value, 0, 0, 0])))
    return hex_text(chunks)


# ---- Types 1 and 2: 16-bit words, 32 KB, configuration at 0x7FF8 -------------------------

def code16(rng, count):
    """16-bit instruction-like words."""
    ops = [0x0E00, 0x6E00, 0x2400, 0x5000, 0xD000, 0x0012, 0x0000]
    return [(rng.choice(ops) | rng.randrange(0x100)) & 0xFFFF for _ in range(count)]


def config16(values):
    """One record per register: a register is set only by a record starting at its address."""
    return [(0x7FF8 + k, bytes([v])) for k, v in enumerate(values)]


CALIBRATION_START, CALIBRATION_END = 0x7400, 0x7C00
CALIBRATION_SUM = 0x6795


def calibration_block(rng):
    """The calibration block at 0x7400..0x7BFF: a 512-word sensor curve, erased space, and a
    balance field so that its bytes (erased ones as FF) sum to 0x6795 modulo 65,536, which
    the programmer's check of a type-1 target, leaving this block out, relies on."""
    curve = [0xF000 - i * 0x70 + rng.randrange(16) for i in range(512)]
    table = le16(curve)
    size = CALIBRATION_END - CALIBRATION_START
    total = sum(table) + 0xFF * (size - len(table))
    reduction = (total - CALIBRATION_SUM) % 0x10000  # taken off erased FF bytes
    full, rest = divmod(reduction, 0xFF)
    balance = bytes(full) + (bytes([0xFF - rest]) if rest else b"")
    assert len(table) + len(balance) <= size
    image = table + balance + b"\xFF" * (size - len(table) - len(balance))
    assert sum(image) % 0x10000 == CALIBRATION_SUM
    return [(CALIBRATION_START, table), (CALIBRATION_START + len(table), balance)]


def mvrx_series():
    rng = random.Random(0x8)
    chunks = [(0x0000, le16([0xEF00 | 0x40, 0xF000])),  # GOTO 0x0080
              (0x0008, le16([0xEF60, 0xF000])),          # interrupt: GOTO 0x00C0
              (0x0080, le16(code16(rng, 64))),
              (0x00C0, le16(code16(rng, 400))),
              (0x1000, b"MVRx demo 2.3\0\0\0")]
    chunks += calibration_block(rng)
    chunks += config16([0xE1, 0x04, 0xC5, 0x0F, 0x80, 0x01])
    return hex_text(chunks)


def cradle_set():
    rng = random.Random(0x9)
    chunks = [(0x0000, le16([0xEF80, 0xF000])),
              (0x0100, le16(code16(rng, 700))),
              (0x2000, b"Cradle set 1.4\0\0"),
              (0x2400, le16([i * i & 0xFFFF for i in range(128)]))]
    chunks += config16([0x61, 0x04, 0x87, 0x0E, 0x00, 0x01])
    return hex_text(chunks)


# ---- Type 3, "Eco Mode": the 1 KB window 0xFC00..0xFFFF -----------------------------------

def eco_mode():
    rng = random.Random(0x3)
    code = [0x4031, 0x0400, 0x40B2, 0x5A80, 0x0120]  # MOV #0400,SP; MOV #5A80,&WDTCTL
    code += [rng.choice([0x4303, 0x5392, 0x9392, 0x2000, 0x4130]) | rng.randrange(16)
             for _ in range(180)]
    vectors = [0xFC00] * 16  # every vector to the start; 0xFFFE is the reset vector
    chunks = [(0xFC00, le16(code)),
              (0xFF00, b"ECO 1.0\0"),
              (0xFFE0, le16(vectors))]
    return hex_text(chunks)


EXAMPLES = {
    "tk_series.hex": tk_series,
    "mvrx_series.hex": mvrx_series,
    "cradle_set.hex": cradle_set,
    "eco_mode.hex": eco_mode,
}


def main(argv):
    check = "--check" in argv[1:]
    differ = []
    for name, build in EXAMPLES.items():
        path = HERE / name
        text = build().encode("ascii")
        if check:
            if not path.exists() or path.read_bytes() != text:
                differ.append(name)
        else:
            path.write_bytes(text)
    for name in differ:
        print(f"{name} differs from what generate.py writes", file=sys.stderr)
    return 1 if differ else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
