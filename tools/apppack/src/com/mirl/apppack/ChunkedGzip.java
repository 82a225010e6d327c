package com.mirl.apppack;

import java.io.ByteArrayOutputStream;
import java.io.DataOutputStream;
import java.io.IOException;
import java.util.ArrayList;
import java.util.List;
import java.util.zip.CRC32;
import java.util.zip.Deflater;

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
 * ends; the last ends the deflate stream. The loader uses the list only
 * where it agrees with the member (the raw lengths add up to the trailer's
 * length, the CRCs combine to its CRC) and each chunk only once it has
 * inflated whole, ending between two deflate blocks, to its listed length
 * and CRC; apppack's verify reads packages through the loader's own code.
 * The layout: docs/package-format.md.
 */
final class ChunkedGzip {

    static final byte SUBFIELD_1 = 'R';
    static final byte SUBFIELD_2 = 'B';

    /** Raw bytes a chunk holds at least (entries are never split; the last may be shorter). */
    static final int CHUNK_TARGET = 16384;

    /** Chunks one extra field can list: its 65,535 bytes hold the subfield header, the count and 12 bytes a chunk. */
    static final int MAX_CHUNKS = (65535 - 4 - 4) / 12;

    private static final int FEXTRA = 4;

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

    private static void writeLittleEndian(ByteArrayOutputStream out, int value) {
        out.write(value);
        out.write(value >>> 8);
        out.write(value >>> 16);
        out.write(value >>> 24);
    }
}
