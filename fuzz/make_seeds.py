#!/usr/bin/env python3
"""Writes the small hand-made seed corpora of the fuzz targets into
fuzz/corpus/<target>/. Run from anywhere; rewrites the files it owns."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def write(target, name, data):
    d = os.path.join(HERE, "corpus", target)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), "wb") as f:
        f.write(data)


def lp(s):
    n = len(s)
    if n < 255:
        return bytes([n]) + s
    if n < 0xFFFE:
        return b"\xff" + struct.pack("<H", n) + s
    return b"\xff\xff\xff" + struct.pack("<I", n) + s


def archive(pairs, count=None):
    n = len(pairs) if count is None else count
    head = struct.pack("<H", n) if n < 0xFFFF else b"\xff\xff" + struct.pack("<I", n)
    return head + b"".join(lp(k) + lp(v) for k, v in pairs)


# archive: a code-page byte, then the file.
write("archive", "empty", b"\x00" + archive([]))
write("archive", "one", b"\x00" + archive([(b"a", b"b")]))
write("archive", "several", b"\x00" + archive([(b"key%d" % i, b"v" * i) for i in range(6)]))
write("archive", "long_value", b"\x00" + archive([(b"k", b"x" * 300)]))
write("archive", "truncated", b"\x00" + archive([(b"a", b"b"), (b"c", b"d")])[:-1])
write("archive", "count_too_small", b"\x00" + archive([(b"a", b"1"), (b"b", b"2")], count=1))
write("archive", "wide_932", b"\x01" + struct.pack("<H", 1) + lp(b"k") +
      b"\xff\xfe\xff" + bytes([3]) + "日本a".encode("utf-16-le"))
write("archive", "sjis_keys", b"\x01" + archive([(b"\x82\xa0", b"1"), (b"ab\x82", b"2"), (b"ab", b"3")]))
write("archive", "duplicate", b"\x00" + archive([(b"a", b"1"), (b"a", b"2")]))

# text_form: mode byte, 16-bit text length, text, then direct items.
def text_form(mode, text, items=b""):
    return bytes([mode]) + struct.pack("<H", len(text)) + text + items

write("text_form", "simple", text_form(0, b"a=1\r\nb=2\r\n"))
write("text_form", "mixed", text_form(1, b"x=1\r\ny\r\n=2\r\nk=a=b"))
write("text_form", "bare_lf", text_form(0, b"a=12\nb=3\nc=4"))
write("text_form", "zero_inside", text_form(1, b"a=1\r\nb=2\x00c=3\r\n"))
write("text_form", "odd_items", text_form(0, b"q=r\r\n",
      b"\x03a=b\x01c" + b"\x02k\n\x01v" + b"\x01z\xff\x00\x80x"))

# line_get: 16-bit size, start byte, text.
write("line_get", "crlf", b"\x10\x00\x00a=1\r\nb=2\r\n")
write("line_get", "small_buffer", b"\x03\x00\x00abcdef\r\nxy\r\n")
write("line_get", "bare_lf", b"\x40\x00\x00abc\n\nabc")
write("line_get", "mid_start", b"\x40\x00\x05x\r\ny\r\nlast")

# attribute: code-page byte, then zero-separated key, attribute, items.
def attribute(cp, key, attr, items):
    out = bytes([cp]) + key + b"\x00" + attr + b"\x00"
    return out + b"".join(k + b"\x00" + v + b"\x00" for k, v in items)

structured = b"T\x1cOrders\x1dL\x1cOrder list\x1d"
write("attribute", "structured", attribute(0, b"F", b"L", [(b"F", structured)]))
write("attribute", "fallback", attribute(0, b"G", b"T", [(b"G.Title", b"Orders")]))
write("attribute", "no_terminator", attribute(0, b"F", b"T", [(b"F", b"T\x1cOrders")]))
write("attribute", "inner_name", attribute(0, b"F", b"L", [(b"F", b"XL\x1ca\x1dL\x1cb\x1d")]))
write("attribute", "sjis", attribute(1, b"F", b"A", [(b"F", b"\x82A\x1cno\x1dA\x1cyes\x1d")]))

# copy: mode byte, prefix, then items (choice byte, key, value).
def copy(mode, prefix, items):
    out = bytes([mode]) + prefix + b"\x00"
    return out + b"".join(bytes([c]) + k + b"\x00" + v + b"\x00" for c, k, v in items)

S = b"\x1f"
write("copy", "list_merge", copy(0, b"", [(2, b"F.", b"c" + S + b"a" + S),
                                          (3, b"F.", b"a" + S + b"b" + S)]))
write("copy", "prefix", copy(0, b"A.", [(0, b"A.x", b"1"), (0, b"a.x", b"2"), (0, b"B.A.x", b"3"),
                                         (1, b"A.x", b"old")]))
write("copy", "merge", copy(4, b"", [(4, b"x", b"abc" + S), (5, b"x", b"b" + S + b"d" + S),
                                     (0, b"plain", b"1"), (1, b"plain", b"2")]))
write("copy", "self", copy(2, b"", [(6, b"", b"q" + S), (0, b"k", b"v")]))
write("copy", "sjis_list", copy(1, b"", [(2, b"\x82", b"\x82A" + S), (3, b"\x82", b"A" + S)]))

# charset_search: mode, start, step, set, 0, text.
write("charset_search", "ascii", b"\x00\x00\x01c\x00abc")
write("charset_search", "not_in", b"\x02\x00\x01ab\x00abc")
write("charset_search", "backwards", b"\x00\x02\xffa\x00abc")
write("charset_search", "sjis", b"\x01\x01\x01A\x00A\x82A")
write("charset_search", "sjis_back", b"\x03\x01\xff\x00\x00\x82\x82A")
write("charset_search", "wide_step", b"\x04" + struct.pack("<ii", 1, 0x7FFFFFFF) + b"x\x00abc")

# rose_line: one line each.
for name, line in [("object", b'(object Class "Foo"'),
                   ("attribute", b'(object Attribute "a(b)" (x)'),
                   ("property", b"documentation text"),
                   ("pipe", b"| text (with (parens"),
                   ("one_quote", b'(a "b'),
                   ("state", b"(object State S"),
                   ("supplier", b'supplier "Logical View::X")')]:
    write("rose_line", name, line)
