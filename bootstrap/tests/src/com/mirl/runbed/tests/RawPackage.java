package com.mirl.runbed.tests;

import java.io.ByteArrayInputStream;
import java.io.ByteArrayOutputStream;
import java.io.DataInputStream;
import java.io.DataOutputStream;
import java.io.IOException;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.function.Consumer;
import java.util.zip.CRC32;
import java.util.zip.Deflater;
import java.util.zip.GZIPInputStream;
import java.util.zip.GZIPOutputStream;
import javax.crypto.Cipher;
import javax.crypto.spec.SecretKeySpec;

/**
 * A package taken apart into its fields, to be put together again with
 * chosen damage: header numbers overridden, texts changed, index records
 * rewritten. Everything not overridden is recomputed, so only the intended
 * fault is present. The layout: docs/package-format.md.
 */
final class RawPackage {

    String version;
    String check;
    String sealedVersion;
    String sealedCheck;
    boolean sealTexts = true;
    byte[] indexRaw;
    byte[] contentRaw;
    /** The content block to store instead of a plain gzip of contentRaw (null: that). */
    byte[] contentBlock;
    /** Header numbers to force (null: computed): index raw, stored, CRC, content raw, stored, CRC, count. */
    final Integer[] numbers = new Integer[7];
    int entryCount;
    byte[] trailer = new byte[0];
    /** Bytes sealed after the two texts, which the loader never reads. */
    byte[] headerTail = new byte[0];
    /** As parsed: the stored lengths of the index and content blocks. */
    int indexStoredLength;
    int contentStoredLength;

    static RawPackage parse(byte[] pkg, String key) throws Exception {
        DataInputStream in = new DataInputStream(new ByteArrayInputStream(pkg));
        RawPackage p = new RawPackage();
        p.version = in.readUTF();
        p.check = in.readUTF();
        byte[] sealed = new byte[in.readInt()];
        in.readFully(sealed);
        DataInputStream header = new DataInputStream(new ByteArrayInputStream(cipher(Cipher.DECRYPT_MODE, key)
                .doFinal(sealed)));
        int[] n = new int[7];
        for (int i = 0; i < 7; i++) {
            n[i] = header.readInt();
        }
        p.entryCount = n[6];
        p.indexStoredLength = n[1];
        p.contentStoredLength = n[4];
        p.sealedVersion = header.readUTF();
        p.sealedCheck = header.readUTF();
        byte[] index = new byte[n[1]];
        in.readFully(index);
        byte[] content = new byte[n[4]];
        in.readFully(content);
        p.indexRaw = gunzip(index);
        p.contentRaw = gunzip(content);
        return p;
    }

    byte[] build(String key) throws Exception {
        byte[] index = gzip(indexRaw);
        byte[] content = contentBlock != null ? contentBlock : gzip(contentRaw);
        int[] n = {indexRaw.length, index.length, crc(index), contentRaw.length, content.length, crc(content),
            entryCount};
        ByteArrayOutputStream plain = new ByteArrayOutputStream();
        DataOutputStream header = new DataOutputStream(plain);
        for (int i = 0; i < 7; i++) {
            header.writeInt(numbers[i] != null ? numbers[i] : n[i]);
        }
        if (sealTexts) {
            header.writeUTF(sealedVersion);
            header.writeUTF(sealedCheck);
        }
        header.write(headerTail);
        byte[] sealed = cipher(Cipher.ENCRYPT_MODE, key).doFinal(plain.toByteArray());
        ByteArrayOutputStream bytes = new ByteArrayOutputStream();
        DataOutputStream out = new DataOutputStream(bytes);
        out.writeUTF(version);
        out.writeUTF(check);
        out.writeInt(sealed.length);
        out.write(sealed);
        out.write(index);
        out.write(content);
        out.write(trailer);
        HeaderCipherTest.checkSealedHeader(bytes.toByteArray(), 0);
        return bytes.toByteArray();
    }

    /** The package tool's own entry of inputs, times and folders, which the loader does not serve. */
    static final String ENTRIES = "META-INF/runbed/entries";

    /** The index records the loader serves: all but ENTRIES. */
    List<Object[]> servedRecords() throws IOException {
        List<Object[]> served = records();
        served.removeIf(r -> r[0].equals(ENTRIES));
        return served;
    }

    /** Index records as {name, offset, length}. */
    List<Object[]> records() throws IOException {
        List<Object[]> list = new ArrayList<>();
        DataInputStream in = new DataInputStream(new ByteArrayInputStream(indexRaw));
        for (int i = 0; i < entryCount; i++) {
            list.add(new Object[] {in.readUTF(), in.readInt(), in.readInt()});
            in.readInt();
        }
        return list;
    }

    void setRecords(List<Object[]> records) throws IOException {
        ByteArrayOutputStream bytes = new ByteArrayOutputStream();
        DataOutputStream out = new DataOutputStream(bytes);
        for (Object[] r : records) {
            out.writeUTF((String) r[0]);
            out.writeInt((Integer) r[1]);
            out.writeInt((Integer) r[2]);
            out.writeInt(0);
        }
        indexRaw = bytes.toByteArray();
        entryCount = records.size();
    }

    /** Offset of the index block within the built package. */
    static int indexBlockOffset(byte[] pkg) throws IOException {
        DataInputStream in = new DataInputStream(new ByteArrayInputStream(pkg));
        int versionBytes = 2 + in.readUnsignedShort();
        in.skipBytes(versionBytes - 2);
        int checkBytes = 2 + in.readUnsignedShort();
        in.skipBytes(checkBytes - 2);
        return versionBytes + checkBytes + 4 + in.readInt();
    }

    private static Cipher cipher(int mode, String key) throws Exception {
        Cipher c = Cipher.getInstance("AES/ECB/PKCS5Padding");
        c.init(mode, new SecretKeySpec(key.getBytes(), "AES"));
        return c;
    }

    private static int crc(byte[] data) {
        CRC32 crc = new CRC32();
        crc.update(data);
        return (int) crc.getValue();
    }

    static byte[] gzip(byte[] data) throws IOException {
        ByteArrayOutputStream bytes = new ByteArrayOutputStream();
        try (GZIPOutputStream out = new GZIPOutputStream(bytes)) {
            out.write(data);
        }
        return bytes.toByteArray();
    }

    /**
     * data as one gzip member that lists a restart point every chunk bytes
     * (the package tool's layout: subfield "RB" with each chunk's raw length,
     * stored length and CRC); the chunk numbered spoilt (-1: none) is listed
     * with a wrong CRC.
     */
    static byte[] gzipWithRestartPoints(byte[] data, int chunk, int spoilt) throws IOException {
        int[] lengths = new int[(data.length + chunk - 1) / chunk];
        for (int i = 0; i < lengths.length; i++) {
            lengths[i] = Math.min(chunk, data.length - i * chunk);
        }
        return gzipWithRestartPoints(data, lengths, list -> {
            if (spoilt >= 0) {
                list[spoilt][2] ^= 1;
            }
        });
    }

    /**
     * data deflated in chunks of the given raw lengths, each ended by a full
     * flush (the last by the stream's end), as one gzip member whose list,
     * {raw length, stored length, CRC} a chunk, fault may change first, as a
     * faulty writer would.
     */
    static byte[] gzipWithRestartPoints(byte[] data, int[] lengths, Consumer<int[][]> fault) throws IOException {
        Deflater deflater = new Deflater(Deflater.DEFAULT_COMPRESSION, true);
        ByteArrayOutputStream deflated = new ByteArrayOutputStream();
        int[][] list = new int[lengths.length][];
        byte[] buffer = new byte[1 << 16];
        for (int i = 0, start = 0; i < lengths.length; start += lengths[i], i++) {
            boolean last = i == lengths.length - 1;
            int before = deflated.size();
            deflater.setInput(data, start, lengths[i]);
            if (last) {
                deflater.finish();
            }
            int n;
            do {
                n = deflater.deflate(buffer, 0, buffer.length, last ? Deflater.NO_FLUSH : Deflater.FULL_FLUSH);
                deflated.write(buffer, 0, n);
            } while (last ? !deflater.finished() : n == buffer.length);
            list[i] = new int[] {lengths[i], deflated.size() - before, crc(data, start, start + lengths[i])};
        }
        deflater.end();
        fault.accept(list);
        return gzipMember(deflated.toByteArray(), list, crc(data), data.length);
    }

    /** A gzip member of the deflate data with the restart-point list and the trailer given. */
    static byte[] gzipMember(byte[] deflate, int[][] list, int crc, int length) throws IOException {
        ByteArrayOutputStream fields = new ByteArrayOutputStream();
        DataOutputStream table = new DataOutputStream(fields);
        table.writeInt(list.length);
        for (int[] chunk : list) {
            for (int value : chunk) {
                table.writeInt(value);
            }
        }
        byte[] field = fields.toByteArray();
        ByteArrayOutputStream member = new ByteArrayOutputStream();
        member.write(new byte[] {0x1f, (byte) 0x8b, 8, 4, 0, 0, 0, 0, 0, 0});
        member.write((4 + field.length) & 0xff);
        member.write((4 + field.length) >>> 8);
        member.write(new byte[] {'R', 'B', (byte) field.length, (byte) (field.length >>> 8)});
        member.write(field);
        member.write(deflate);
        for (int value : new int[] {crc, length}) {
            for (int shift = 0; shift < 32; shift += 8) {
                member.write(value >>> shift);
            }
        }
        return member.toByteArray();
    }

    static int crc(byte[] data, int from, int to) {
        CRC32 crc = new CRC32();
        crc.update(data, from, to - from);
        return (int) crc.getValue();
    }

    static byte[] gunzip(byte[] data) throws IOException {
        ByteArrayOutputStream bytes = new ByteArrayOutputStream();
        try (GZIPInputStream in = new GZIPInputStream(new ByteArrayInputStream(data))) {
            byte[] buffer = new byte[8192];
            for (int n = in.read(buffer); n >= 0; n = in.read(buffer)) {
                bytes.write(buffer, 0, n);
            }
        }
        return bytes.toByteArray();
    }
}
