#!/usr/bin/env python3
"""Reads an address-book table with dbfread and prints what it finds, in Windows ANSI:
the header, the fields, then each live record and each deleted one, one a line."""
import sys

from dbfread import DBF

table = DBF(sys.argv[1], encoding="cp1252", char_decode_errors="strict")
h = table.header
lines = ["version %d date %d-%d-%d records %d header %d record %d language %d"
         % (h.dbversion, h.year, h.month, h.day, h.numrecords, h.headerlen, h.recordlen, h.language_driver)]
lines += ["field %s %s %d %d" % (f.name, f.type, f.length, f.decimal_count) for f in table.fields]
lines += ["live %r|%s|%s" % (r["ID"], r["REALNAME"], r["EMAIL"]) for r in table.records]
lines += ["deleted %r|%s|%s" % (r["ID"], r["REALNAME"], r["EMAIL"]) for r in table.deleted]
sys.stdout.buffer.write(("\n".join(lines) + "\n").encode("cp1252"))
