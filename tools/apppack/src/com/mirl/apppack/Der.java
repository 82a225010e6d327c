package com.mirl.apppack;

import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.math.BigInteger;
import java.util.Arrays;

/**
 * The little of DER that the key files need: building nested values, and
 * reading them back one value at a time. A reader covers the content of one
 * value; every malformed length or unexpected tag is an IOException.
 */
final class Der {

    static final int INTEGER = 0x02;
    static final int OCTET_STRING = 0x04;
    static final int NULL = 0x05;
    static final int OBJECT_IDENTIFIER = 0x06;
    static final int SEQUENCE = 0x30;

    private final byte[] bytes;
    private int position;
    private final int end;

    private Der(byte[] bytes, int start, int end) {
        this.bytes = bytes;
        this.position = start;
        this.end = end;
    }

    /** A reader over one whole encoded value (nothing may follow it). */
    static Der of(byte[] encoded) throws IOException {
        Der outer = new Der(encoded, 0, encoded.length);
        Der value = outer.next(SEQUENCE);
        if (outer.more()) {
            throw new IOException("bytes follow the DER value");
        }
        return value;
    }

    // ------------------------------------------------------------------ writing

    static byte[] value(int tag, byte[]... pieces) {
        ByteArrayOutputStream content = new ByteArrayOutputStream();
        for (byte[] piece : pieces) {
            content.write(piece, 0, piece.length);
        }
        ByteArrayOutputStream out = new ByteArrayOutputStream();
        out.write(tag);
        int length = content.size();
        if (length < 0x80) {
            out.write(length);
        } else {
            int octets = (32 - Integer.numberOfLeadingZeros(length) + 7) / 8;
            out.write(0x80 | octets);
            for (int i = octets - 1; i >= 0; i--) {
                out.write(length >>> (8 * i));
            }
        }
        byte[] body = content.toByteArray();
        out.write(body, 0, body.length);
        return out.toByteArray();
    }

    static byte[] sequence(byte[]... pieces) {
        return value(SEQUENCE, pieces);
    }

    static byte[] octets(byte[] content) {
        return value(OCTET_STRING, content);
    }

    static byte[] integer(long number) {
        return value(INTEGER, BigInteger.valueOf(number).toByteArray());
    }

    static byte[] nothing() {
        return value(NULL);
    }

    static byte[] oid(String dotted) {
        String[] arcs = dotted.split("\\.");
        ByteArrayOutputStream out = new ByteArrayOutputStream();
        out.write(Integer.parseInt(arcs[0]) * 40 + Integer.parseInt(arcs[1]));
        for (int i = 2; i < arcs.length; i++) {
            long arc = Long.parseLong(arcs[i]);
            int groups = Math.max(1, (64 - Long.numberOfLeadingZeros(arc) + 6) / 7);
            for (int g = groups - 1; g >= 0; g--) {
                out.write((int) ((arc >>> (7 * g)) & 0x7f) | (g > 0 ? 0x80 : 0));
            }
        }
        return value(OBJECT_IDENTIFIER, out.toByteArray());
    }

    // ------------------------------------------------------------------ reading

    boolean more() {
        return position < end;
    }

    int peekTag() throws IOException {
        if (!more()) {
            throw new IOException("a DER value ends early");
        }
        return bytes[position] & 0xff;
    }

    /** The next value, which must carry the tag; a reader over its content. */
    Der next(int tag) throws IOException {
        int found = peekTag();
        if (found != tag) {
            throw new IOException(String.format("DER tag %02x where %02x belongs", found, tag));
        }
        position++;
        if (!more()) {
            throw new IOException("a DER length is missing");
        }
        int first = bytes[position++] & 0xff;
        long length = first;
        if (first >= 0x80) {
            int octets = first & 0x7f;
            if (octets == 0 || octets > 4 || end - position < octets) {
                throw new IOException("a DER length is malformed");
            }
            length = 0;
            for (int i = 0; i < octets; i++) {
                length = length << 8 | (bytes[position++] & 0xff);
            }
        }
        if (length > end - position) {
            throw new IOException("a DER value runs past its end");
        }
        Der content = new Der(bytes, position, position + (int) length);
        position += (int) length;
        return content;
    }

    byte[] content() {
        return Arrays.copyOfRange(bytes, position, end);
    }

    /** The content of the next OCTET STRING. */
    byte[] nextOctets() throws IOException {
        return next(OCTET_STRING).content();
    }

    /** The next INTEGER, which must be from 0 to Integer.MAX_VALUE. */
    int nextSmallInteger() throws IOException {
        BigInteger value = new BigInteger(next(INTEGER).contentOrZero());
        if (value.signum() < 0 || value.bitLength() > 31) {
            throw new IOException("a DER integer is out of range: " + value);
        }
        return value.intValue();
    }

    /** The next OBJECT IDENTIFIER, dotted. */
    String nextOid() throws IOException {
        byte[] content = next(OBJECT_IDENTIFIER).content();
        if (content.length == 0 || (content[content.length - 1] & 0x80) != 0) {
            throw new IOException("a DER object identifier is malformed");
        }
        int first = content[0] & 0xff;
        StringBuilder text = new StringBuilder();
        text.append(Math.min(first / 40, 2)).append('.').append(first - 40 * Math.min(first / 40, 2));
        long arc = 0;
        for (int i = 1; i < content.length; i++) {
            if (arc >>> 56 != 0) {
                throw new IOException("a DER object identifier is too long");
            }
            arc = arc << 7 | (content[i] & 0x7f);
            if ((content[i] & 0x80) == 0) {
                text.append('.').append(arc);
                arc = 0;
            }
        }
        return text.toString();
    }

    private byte[] contentOrZero() throws IOException {
        if (position == end) {
            throw new IOException("a DER integer is empty");
        }
        return content();
    }
}
