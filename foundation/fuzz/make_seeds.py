#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into corpus/ (run once; the
seeds are committed). Records are encoded as AccessOut writes them."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def utf(text):
    out = bytearray()
    encoded = text.encode("utf-16-be")
    units = struct.unpack(">%dH" % (len(encoded) // 2), encoded)
    for c in units:
        if 1 <= c <= 0x7F:
            out.append(c)
        elif c > 0x7FF:
            out += bytes([0xE0 | (c >> 12) & 0x0F, 0x80 | (c >> 6) & 0x3F, 0x80 | c & 0x3F])
        else:
            out += bytes([0xC0 | (c >> 6) & 0x1F, 0x80 | c & 0x3F])
    return struct.pack(">H", len(out)) + bytes(out)


def tree(name, size, time, is_dir, children=()):
    out = utf(name) + struct.pack(">qq?i", size, time, is_dir, len(children))
    for child in children:
        out += child
    return out


def net(name, display, mtu, index, parent, hw, addresses, state):
    out = utf(name) + utf(display) + struct.pack(">ii", mtu, index) + utf(parent) + struct.pack(">i", hw)
    out += struct.pack(">i", len(addresses)) + b"".join(utf(a) for a in addresses) + struct.pack(">i", state)
    return out


def save(folder, name, data):
    path = os.path.join(HERE, "corpus", folder)
    os.makedirs(path, exist_ok=True)
    with open(os.path.join(path, name), "wb") as f:
        f.write(data)


# Records: the first byte picks the record (odd: NetInfo) and flags (bit 1).
save("records", "empty-tree", b"\x00" + tree("", 0, 0, False))
save("records", "tree-with-children", b"\x02" + tree("root", 4096, 1700000000000, True, [
    tree("a.txt", 12, 1700000000001, False),
    tree("\u4e2d\u6587", 0, -1, True, [tree("\U0001F600", 1, 2, False)]),
]))
save("records", "tree-truncated-child", b"\x00" + tree("d", 1, 1, True, [tree("x", 1, 1, False)])[:-6])
# Children that fail inside the data: a refused count one level down, a
# malformed name two levels down, a chain past the nesting limit.
save("records", "tree-refused-child-count", b"\x00" + tree("", 0, 0, False, [
    utf("") + struct.pack(">qq?i", 0, 0, False, 5), tree("x", 0, 0, False), tree("y", 0, 0, False)]))
save("records", "tree-malformed-grandchild", b"\x02" + tree("g", 0, 0, True, [
    tree("p", 0, 0, True, [b"\x00\x01\x80" + struct.pack(">qq?i", 0, 0, False, 0)]), tree("s", 0, 0, False)]))
chain = tree("", 0, 0, False)
for _ in range(299):
    chain = utf("") + struct.pack(">qq?i", 0, 0, True, 1) + chain
save("records", "tree-chain-300", b"\x00" + chain)
save("records", "netinfo", b"\x01" + net("eth0", "\u4ee5\u592a\u7f51", 1500, 2, "", -16, ["10.0.0.1", ""], 1))
save("records", "netinfo-no-addresses", b"\x03" + net("", "", 0, 0, "", 0, [], 0))

# DataInput sequences: FuzzedDataProvider reads the stream bytes from the
# front and the operation choices from the back.
save("data_input", "texts", b"\x00\x06A\xc3\xa9\xe4\xb8\xad\x00\x02\xc0\x80" + bytes(range(0, 20)))
save("data_input", "numbers", struct.pack(">iqhd", -2, 1 << 40, 0x1234, 1.5) + bytes(range(19, 0, -1)))
save("data_input", "malformed", b"\x00\x03\xe4\xb8\x00\xff\xfe\xed\xa0\xbd" + bytes([9, 3, 10, 5, 6, 16, 0]))
