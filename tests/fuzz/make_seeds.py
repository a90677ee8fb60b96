#!/usr/bin/env python3
# Writes the seed corpora of the byte-structured fuzz targets (native_frame, read_plan,
# number_text, plc_values) into tests/fuzz/corpus/: the frames, element sets and numbers
# the station really meets, plus a few edge ones. Each input follows its target's
# FuzzInput layout (see the target's LLVMFuzzerTestOneInput).
#   python3 tests/fuzz/make_seeds.py
import os
import struct

top = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
STX, ETX = b"\x02", b"\x03"


def put(target, name, data):
    os.makedirs(os.path.join(top, target), exist_ok=True)
    with open(os.path.join(top, target, name), "wb") as f:
        f.write(data)


def frame(station, command, rest):
    body = STX + b"%02X%02X" % (station, command) + rest
    return body + b"%02X" % (sum(body) & 0xFF) + ETX


def u16(v):
    return struct.pack(">H", v)


# native_frame: station, element count, per element (bit flag, number, raw value),
# chunk seed, link operation, then the bytes on the wire.
def native(station, elements, stream, chunk=7, how=0):
    head = bytes([station - 1, len(elements)])
    for bit, n, v in elements:
        head += bytes([1 if bit else 0]) + u16(n) + u16(v)
    return head + bytes([chunk, how]) + stream


station_items = [(True, 2, 1), (True, 3, 0), (True, 6, 1), (False, 5, 0x1234), (False, 7, 850),
                 (False, 8, 1200), (False, 10, 0xFFFF), (False, 11, 0)]


def reply_data(elements):
    return b"".join((b"1" if v & 1 else b"0") if bit else b"%04X" % v for bit, _, v in elements)


names = b"".join((b"M%04d" % n) if bit else (b"R%05d" % n) for bit, n, _ in station_items)
put("native_frame", "mixed-read-reply", native(1, station_items, frame(1, 0x48, b"0" + reply_data(station_items))))
put("native_frame", "mixed-read-request",
    native(1, station_items, frame(1, 0x48, b"%02X" % len(station_items) + names)))
put("native_frame", "write-registers", native(1, [], frame(1, 0x47, b"02R00005" + b"00FF1234")))
put("native_frame", "write-bits", native(1, [], frame(1, 0x45, b"03M0002101")))
put("native_frame", "discrete-set-m6", native(1, [], frame(1, 0x42, b"3M0006"), how=0xC6))
put("native_frame", "error-reply", native(1, station_items[:2], frame(1, 0x48, b"4")))
put("native_frame", "garbage-then-reply",
    native(1, station_items[:3], b"\x00\xff junk" + frame(1, 0x48, b"0" + reply_data(station_items[:3])), chunk=3))
put("native_frame", "restart-mid-frame",
    native(1, station_items[:1], STX + b"0148" + frame(1, 0x48, b"01"), chunk=1))
put("native_frame", "oversized", native(1, station_items[:1], STX + b"A" * 700 + frame(1, 0x48, b"00")))
put("native_frame", "wrong-station", native(2, station_items[:1], frame(1, 0x48, b"01")))

# read_plan: limits (max bits, max registers, bit gap, register gap, max mixed, each +1),
# a seed, then elements: b&1 register, b&0x80 absolute number (16 bits), else offset b>>1&63.
def plan(elements, max_bits=2000, max_regs=125, bit_gap=64, reg_gap=16, max_mixed=64):
    return (u16(max_bits + 1) + bytes([max_regs + 1, bit_gap + 1, reg_gap + 1, max_mixed + 1]) +
            struct.pack(">Q", 0x5EED5EED5EED5EED) + elements)


def absolute(reg, n):
    return bytes([0x80 | (1 if reg else 0)]) + u16(n)


def offset(reg, d):
    return bytes([(d << 1) | (1 if reg else 0)])


station = (absolute(False, 0) + offset(False, 2) + offset(False, 1) * 6 +
           absolute(True, 5) + offset(True, 2) + offset(True, 1) + offset(True, 2) + offset(True, 1))
put("read_plan", "station-items", plan(station))
put("read_plan", "station-items-native", plan(station, max_mixed=8))
put("read_plan", "wide-gaps", plan(absolute(False, 0) + absolute(False, 1001) + absolute(True, 0) + absolute(True, 4167)))
put("read_plan", "tight-limits", plan(station + station, max_bits=1, max_regs=1, bit_gap=0, reg_gap=0, max_mixed=1))
put("read_plan", "repeats", plan(offset(True, 0) * 20 + offset(False, 0) * 20))

# number_text: mode (bit 0 separator ",", bit 1 doubles), then 8-byte doubles or a text.
def doubles(*values):
    return b"".join(struct.pack(">d", v) for v in values)


put("number_text", "doubles-point", bytes([2]) + doubles(1.5, -2.5e-7, 1e20, 12345.678, 0.0001, 1e15, 0.1 + 0.2))
put("number_text", "doubles-comma", bytes([3]) + doubles(850.25, -0.001, 123456789012345.0, 1e-5, 5e-5))
put("number_text", "doubles-edges", bytes([3]) + doubles(-1.7976931348623157e308, 1.7976931348623157e308,
                                                      5e-324, 2.2250738585072014e-308, -0.0, 1e308) +
    struct.pack(">Q", 0x7FF8000000000001) + struct.pack(">Q", 0x7FF0000000000000))
for i, text in enumerate(["12,5", "-0,001", "1E-5", "1,5E20", " 7 ", "1.000,5", "inf", "", "+,5e+3",
                          "1,79769313486232E308", "-1,79769313486231E308", "4,94065645841247E-324"]):
    put("number_text", "text-comma-%d" % i, bytes([1]) + text.encode())
for i, text in enumerate(["850.25", "1e400", "0x10", "1e-400", "\t-3.5\t"]):
    put("number_text", "text-point-%d" % i, bytes([0]) + text.encode())

# plc_values: mode (bit 0 separator ",", bits 1-2: 0 live reading, 1 whole number,
# 2 straight double, 3 register text), then that case's values.
def reading(raw, scale, precision, decimals, comma=True):
    return bytes([1 if comma else 0]) + struct.pack(">q", raw) + bytes([scale, precision - 1, decimals])


put("plc_values", "air-pressure", reading(12345, 3, 5, 3))
put("plc_values", "load", reading(1234567, 3, 7, 3))
put("plc_values", "width", reading(1234, 1, 5, 1))
put("plc_values", "length", reading(-98765, 2, 5, 2))
put("plc_values", "scientific", reading(123456789, 3, 5, 3))
put("plc_values", "int64-min", reading(-2**63, 0, 19, 0, comma=False))
for n in [0, 1234, -1, 2**31 - 1, -2**31]:
    put("plc_values", "whole-%d" % n, bytes([3]) + struct.pack(">Q", n + 2**31) + bytes([5]))
for i, d in enumerate([0.5, 2.5, -2.5, 2147483647.4, 2147483647.6, 1e300]):
    put("plc_values", "straight-%d" % i, bytes([5]) + struct.pack(">d", d))
for i, t in enumerate(["  1234", "$7FFF", "0x10", "-2147483648", "2147483648", "12a", "+-1", "1234 "]):
    put("plc_values", "register-text-%d" % i, bytes([6]) + t.encode())
