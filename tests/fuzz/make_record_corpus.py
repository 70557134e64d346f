#!/usr/bin/env python3
"""Writes the seed inputs of the record-file fuzz target: valid records and one of each
kind of damage the loader must handle. Inputs found by libFuzzer (named by their hash)
live beside them in the same folder.

    tests/fuzz/make_record_corpus.py tests/fuzz/corpus/record_file
"""
import math
import struct
import sys
from pathlib import Path


def record(slot=1, mask=0x0F, rate=2880, lower=-10.0, upper=10.0, start=45366.5,
           count=None, unit=b"", unit_length=None, samples=32):
    body = bytes((i * 37) & 0xFF for i in range(samples))
    count = samples if count is None else count
    unit_length = len(unit) if unit_length is None else unit_length
    head = struct.pack("<HBBIffdIB", 0x534F, slot, mask, rate, lower, upper, start, count, unit_length)
    head += unit[:3].ljust(3, b"\0")
    return head.ljust(256, b"\0") + body


SEEDS = {
    "valid-slot1-volts": record(slot=1),
    "valid-slot2-celsius": record(slot=2, unit=b"\xb0C"),
    "valid-slot3-microvolts": record(slot=3, unit=b"\xb5V", rate=640),
    "valid-slot4-three-letters": record(slot=4, unit=b"kPa", rate=11520),
    "valid-header-only": record(samples=0),
    "count-beyond-samples": record(count=5000),
    "count-below-samples": record(count=3),
    "count-2-31-minus-1": record(count=0x7FFFFFFF),
    "count-2-31": record(count=0x80000000),
    "count-max": record(count=0xFFFFFFFF),
    "unit-length-200": record(unit=b"mAh", unit_length=200),
    "rate-0": record(rate=0),
    "rate-max": record(rate=0xFFFFFFFF),
    "start-nan": record(start=math.nan),
    "start-inf": record(start=math.inf),
    "start-huge": record(start=1e300),
    "lower-nan": record(lower=math.nan),
    "upper-minus-inf": record(upper=-math.inf),
    "lower-above-upper": record(lower=5.0, upper=-5.0),
    "slot-0": record(slot=0),
    "slot-5": record(slot=5),
    "slot-255-rate-0": record(slot=255, rate=0),
    "short-0": b"",
    "short-1": b"O",
    "short-255": record(samples=0)[:255],
    "garbage-256": bytes((i * 91 + 7) & 0xFF for i in range(256)),
}


def main(folder):
    out = Path(folder)
    out.mkdir(parents=True, exist_ok=True)
    for name, data in SEEDS.items():
        (out / name).write_bytes(data)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "corpus/record_file")
