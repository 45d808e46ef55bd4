#!/usr/bin/env python3
"""Writes the golden address-book tables of golden_tables/ (run it from this folder to
make them again; cases.txt there gives the result each must give)."""
import os
import struct

STANDARD = [("REALNAME", "C", 150, 0), ("EMAIL", "C", 150, 0), ("ID", "N", 11, 0)]


def table(fields, records, version=0x03, count=None, header_length=None, record_length=None,
          end=True, date=(126, 12, 11)):
    descriptors = b""
    for name, kind, length, decimals in fields:
        descriptors += struct.pack("<11sc4xBB14x", name.encode(), kind.encode(), length, decimals)
    real_header = 32 + len(descriptors) + 1
    real_record = 1 + sum(f[2] for f in fields)
    header = struct.pack("<BBBBIHH17xB2x", version, *date, len(records) if count is None else count,
                         real_header if header_length is None else header_length,
                         real_record if record_length is None else record_length, 0x03)
    body = b""
    for mark, values in records:
        body += mark.encode()
        for (name, kind, length, _), value in zip(fields, values):
            text = str(value).encode("cp1252")
            body += text.rjust(length) if kind == "N" else text.ljust(length)
    return header + descriptors + b"\r" + body + (b"\x1a" if end else b"")


ANN = (" ", ("Ann Smith", "ann@example.com", 1))
BOB = ("*", ("Bob Jones", "bob@example.org", 2))
CE = (" ", ("C\xe9line Dupr\xe9", "celine@example.fr", 7))

files = {
    "empty.dbf": table(STANDARD, []),
    "three.dbf": table(STANDARD, [ANN, BOB, CE]),
    "no-end-mark.dbf": table(STANDARD, [ANN], end=False),
    "extra-field.dbf": table([("ID", "N", 11, 0), ("NOTE", "C", 20, 0), ("EMAIL", "C", 60, 0),
                              ("REALNAME", "C", 40, 0)],
                             [(" ", (5, "met in Lyon", "dee@example.net", "Dee Park"))]),
    "bad-version.dbf": table(STANDARD, [ANN], version=0x83),
    "bad-tiny.dbf": table(STANDARD, [])[:20],
    "bad-record-length.dbf": table(STANDARD, [ANN], record_length=300),
    "bad-header-length.dbf": table(STANDARD, [ANN], header_length=97),
    "bad-header-beyond.dbf": table(STANDARD, [], header_length=4000),
    "bad-short.dbf": table(STANDARD, [ANN, BOB], count=3),
    "bad-missing-field.dbf": table([("REALNAME", "C", 150, 0), ("ID", "N", 11, 0)],
                                   [(" ", ("Ann Smith", 1))]),
    "bad-field-type.dbf": table([("REALNAME", "C", 150, 0), ("EMAIL", "C", 150, 0), ("ID", "C", 11, 0)],
                                [(" ", ("Ann Smith", "ann@example.com", "1"))]),
    "bad-twice.dbf": table(STANDARD + [("EMAIL", "C", 10, 0)], []),
    "bad-mark.dbf": table(STANDARD, [ANN, ("X", ("Eve", "eve@example.com", 3))]),
}
for name, data in files.items():
    with open(os.path.join("golden_tables", name), "wb") as f:
        f.write(data)
