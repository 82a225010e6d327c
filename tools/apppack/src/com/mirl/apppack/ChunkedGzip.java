package com.mirl.apppack;

import java.io.ByteArrayOutputStream;
import java.io.DataOutputStream;
import java.io.IOException;
import java.util.ArrayList;
import java.util.List;
import java.util.zip.CRC32;
import java.util.zip.Deflater;
import java.util.zip.Inflater;

/**
 * The content block as one gzip member with restart points: the deflate
 * data is cut into chunks, each ending on a full flush (byte-aligned, the
 * dictionary reset) at an entry boundary, and the gzip header's extra field
 * lists every chunk. Any gzip reader inflates the
 * member as a whole, as before; the loader inflates only the chunks that
 * hold what the client asks for, each on its own.
 *
 * Extra subfield "RB": an int32 chunk count n, then for each chunk its raw
 * length, its stored length and the CRC-32 of its raw bytes, int32 each,
 * big-endian. The first chunk's deflate data starts right after the header
 * (no name, comment or header CRC), each further one where the one before
 * ends; the last ends the deflate stream.
 */
final class ChunkedGzip {

    static final byte SUBFIELD_1 = 'R';
    static final byte SUBFIELD_2 = 'B';

    /** Raw bytes a chunk holds at least (entries are never split; the last may be shorter). */
    static final int CHUNK_TARGET = 16384;

    /** Chunks one extra field can list: its 65,535 bytes hold the subfield header, the count and 12 bytes a chunk. */
    static final int MAX_CHUNKS = (65535 - 4 - 4) / 12;

    private static final int FHCRC = 2;
    private static final int FEXTRA = 4;
    private static final int FNAME = 8;
    private static final int FCOMMENT = 16;

    private ChunkedGzip() {
    }

    /**
     * The gzip member of content, whose entries have the given lengths in
     * order (they cover the content). Content with no bytes gets a plain member.
     */
    static byte[] write(byte[] content, List<Integer> entryLengths) throws IOException {
        List<Integer> chunks = chunkLengths(content.length, entryLengths);
        if (chunks.isEmpty()) {
            return PackageWriter.gzip(content);
        }
        Deflater deflater = new Deflater(Deflater.DEFAULT_COMPRESSION, true);
        ByteArrayOutputStream deflated = new ByteArrayOutputStream(content.length / 2 + 64);
        int[] stored = new int[chunks.size()];
        byte[] buffer = new byte[65536];
        try {
            int start = 0;
            for (int i = 0; i < chunks.size(); i++) {
                int before = deflated.size();
                deflater.setInput(content, start, chunks.get(i));
                start += chunks.get(i);
                boolean last = i == chunks.size() - 1;
                if (last) {
                    deflater.finish();
                    while (!deflater.finished()) {
                        deflated.write(buffer, 0, deflater.deflate(buffer));
                    }
                } else {
                    // A full flush ends on a byte boundary and forgets the window:
                    // the next chunk inflates with nothing before it.
                    int n;
                    do {
                        n = deflater.deflate(buffer, 0, buffer.length, Deflater.FULL_FLUSH);
                        deflated.write(buffer, 0, n);
                    } while (n == buffer.length);
                }
                stored[i] = deflated.size() - before;
            }
        } finally {
            deflater.end();
        }

        ByteArrayOutputStream extra = new ByteArrayOutputStream(8 + 12 * chunks.size());
        DataOutputStream table = new DataOutputStream(extra);
        table.writeByte(SUBFIELD_1);
        table.writeByte(SUBFIELD_2);
        int dataLength = 4 + 12 * chunks.size();
        table.writeByte(dataLength & 0xff); // gzip's own lengths are little-endian
        table.writeByte(dataLength >>> 8);
        table.writeInt(chunks.size());
        CRC32 chunkCrc = new CRC32();
        for (int i = 0, start = 0; i < chunks.size(); start += chunks.get(i), i++) {
            chunkCrc.reset();
            chunkCrc.update(content, start, chunks.get(i));
            table.writeInt(chunks.get(i));
            table.writeInt(stored[i]);
            table.writeInt((int) chunkCrc.getValue());
        }
        byte[] field = extra.toByteArray();

        ByteArrayOutputStream member = new ByteArrayOutputStream(12 + field.length + deflated.size() + 8);
        member.write(new byte[] {0x1f, (byte) 0x8b, 8, FEXTRA, 0, 0, 0, 0, 0, 0});
        member.write(field.length & 0xff);
        member.write(field.length >>> 8);
        member.write(field);
        deflated.writeTo(member);
        CRC32 crc = new CRC32();
        crc.update(content);
        writeLittleEndian(member, (int) crc.getValue());
        writeLittleEndian(member, content.length);
        return member.toByteArray();
    }

    /**
     * Chunk raw lengths: entries gathered in order until a chunk holds at
     * least the target, the target raised where the content would need more
     * chunks than the extra field can list.
     */
    static List<Integer> chunkLengths(int contentLength, List<Integer> entryLengths) {
        int target = Math.max(CHUNK_TARGET, (int) ((contentLength + (long) MAX_CHUNKS - 1) / MAX_CHUNKS));
        List<Integer> chunks = new ArrayList<>();
        int current = 0;
        for (int length : entryLengths) {
            current += length;
            if (current >= target) {
                chunks.add(current);
                current = 0;
            }
        }
        if (current > 0) {
            chunks.add(current);
        }
        // Never more than the field holds: merge the last ones if whole-entry rounding overshot.
        while (chunks.size() > MAX_CHUNKS) {
            int last = chunks.remove(chunks.size() - 1);
            chunks.set(chunks.size() - 1, chunks.get(chunks.size() - 1) + last);
        }
        return chunks;
    }

    /**
     * What is wrong with the restart points the member lists, as the loader
     * would find it inflating each chunk on its own; null when they hold or
     * there are none. content is the member inflated whole.
     */
    static String checkChunks(byte[] member, byte[] content) {
        int count = chunkCount(member);
        if (count == 0) {
            return null;
        }
        int table = subfield(member) + 4;
        if (table + 4 + 12L * count > member.length) {
            return "its restart-point list is cut off";
        }
        // The deflate data follows the extra field and the optional name, comment and header CRC.
        int stored = 12 + ((member[10] & 0xff) | (member[11] & 0xff) << 8);
        for (int flag = FNAME; flag <= FCOMMENT; flag <<= 1) {
            if ((member[3] & flag) != 0) {
                while (stored < member.length && member[stored] != 0) {
                    stored++;
                }
                stored++;
            }
        }
        if ((member[3] & FHCRC) != 0) {
            stored += 2;
        }
        int raw = 0;
        Inflater inflater = new Inflater(true);
        try {
            for (int i = 0; i < count; i++) {
                int rawLength = readInt(member, table + 4 + 12 * i);
                int storedLength = readInt(member, table + 8 + 12 * i);
                int crc = readInt(member, table + 12 + 12 * i);
                if (rawLength <= 0 || storedLength <= 0 || (long) raw + rawLength > content.length
                        || (long) stored + storedLength > member.length) {
                    return "chunk " + i + " lies outside the content";
                }
                byte[] bytes = new byte[rawLength];
                inflater.reset();
                inflater.setInput(member, stored, storedLength);
                int filled = 0;
                try {
                    while (filled < rawLength) {
                        int n = inflater.inflate(bytes, filled, rawLength - filled);
                        if (n == 0 && (inflater.finished() || inflater.needsInput() || inflater.needsDictionary())) {
                            break;
                        }
                        filled += n;
                    }
                } catch (java.util.zip.DataFormatException e) {
                    return "chunk " + i + " does not inflate on its own: " + e.getMessage();
                }
                CRC32 check = new CRC32();
                check.update(bytes, 0, filled);
                if (filled < rawLength || (int) check.getValue() != crc) {
                    return "chunk " + i + " does not inflate to its listed length and CRC";
                }
                for (int k = 0; k < rawLength; k++) {
                    if (bytes[k] != content[raw + k]) {
                        return "chunk " + i + " inflates to other bytes than the whole stream";
                    }
                }
                raw += rawLength;
                stored += storedLength;
            }
        } finally {
            inflater.end();
        }
        return raw == content.length ? null : "the chunks cover " + raw + " of the content's " + content.length + " bytes";
    }

    /** The chunk count the member's header lists, or 0 when it lists none. */
    static int chunkCount(byte[] member) {
        int at = subfield(member);
        return at < 0 || at + 8 > member.length ? 0 : readInt(member, at + 4);
    }

    /** Where the member's "RB" extra subfield starts, or -1. */
    private static int subfield(byte[] member) {
        if (member.length < 12 || (member[0] & 0xff) != 0x1f || (member[1] & 0xff) != 0x8b
                || (member[3] & FEXTRA) == 0) {
            return -1;
        }
        int extraLength = (member[10] & 0xff) | (member[11] & 0xff) << 8;
        int at = 12;
        int end = Math.min(member.length, 12 + extraLength);
        while (at + 4 <= end) {
            int length = (member[at + 2] & 0xff) | (member[at + 3] & 0xff) << 8;
            if (member[at] == SUBFIELD_1 && member[at + 1] == SUBFIELD_2 && length >= 4 && at + 8 <= end) {
                return at;
            }
            at += 4 + length;
        }
        return -1;
    }

    private static int readInt(byte[] b, int at) {
        return (b[at] & 0xff) << 24 | (b[at + 1] & 0xff) << 16 | (b[at + 2] & 0xff) << 8 | (b[at + 3] & 0xff);
    }

    private static void writeLittleEndian(ByteArrayOutputStream out, int value) {
        out.write(value);
        out.write(value >>> 8);
        out.write(value >>> 16);
        out.write(value >>> 24);
    }
}
