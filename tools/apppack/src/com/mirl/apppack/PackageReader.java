package com.mirl.apppack;

import java.io.ByteArrayInputStream;
import java.io.DataInputStream;
import java.io.EOFException;
import java.io.IOException;
import java.io.InputStream;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.zip.GZIPInputStream;
import javax.crypto.Cipher;
import javax.crypto.spec.SecretKeySpec;

/**
 * Reads a package stream with every check the loader makes, recording what it
 * finds for inspection and the first reason the loader would refuse it.
 */
final class PackageReader {

    /** One index record. */
    static final class Entry {
        final String name;
        final int offset;
        final int length;
        final int reserved;

        Entry(String name, int offset, int length, int reserved) {
            this.name = name;
            this.offset = offset;
            this.length = length;
            this.reserved = reserved;
        }
    }

    /** What a read found. Fields stay at their defaults past the point where reading stopped. */
    static final class Result {
        String version;
        String check;
        int sealedLength = -1;
        boolean decrypted;
        String sealedVersion;
        String sealedCheck;
        int[] numbers; // index raw, stored, CRC; content raw, stored, CRC; entry count
        Boolean indexCrcOk;
        Boolean contentCrcOk;
        /** Chunks the content's restart-point table lists; 0 when it has none. */
        int contentChunks;
        final List<Entry> records = new ArrayList<>();
        /** Entry name to its bytes (later records replace earlier ones), when the content was read. */
        Map<String, byte[]> entries;
        int streamLength;
        final List<String> warnings = new ArrayList<>();
        /** Why the loader would refuse the package; null when it accepts it. */
        String problem;

        boolean accepted() {
            return problem == null;
        }
    }

    /** Raised inside the reader to stop at the first refusal. */
    private static final class Refused extends Exception {
        private static final long serialVersionUID = 1L;

        Refused(String reason) {
            super(reason, null, false, false);
        }
    }

    private PackageReader() {
    }

    static Result read(byte[] stream, int start, int length, String key) {
        Result result = new Result();
        result.streamLength = length;
        DataInputStream in = new DataInputStream(new ByteArrayInputStream(stream, start, length));
        try {
            readInto(result, in, key);
        } catch (Refused e) {
            result.problem = e.getMessage();
        } catch (IOException | RuntimeException e) {
            result.problem = "unreadable: " + e;
        }
        return result;
    }

    private static void readInto(Result r, DataInputStream in, String key) throws Refused, IOException {
        r.version = readText(in, "clear version text");
        r.check = readText(in, "clear check text");
        r.sealedLength = readInt(in, "sealed header length");
        if (r.sealedLength < 0) {
            throw new Refused("negative sealed header length " + r.sealedLength);
        }
        if (r.sealedLength > PackageFormat.MAX_SEALED_LENGTH) {
            throw new Refused("sealed header length " + r.sealedLength + " is above "
                    + PackageFormat.MAX_SEALED_LENGTH + ": not a package");
        }
        byte[] sealed = readBytes(in, r.sealedLength, "sealed header");
        String keyProblem = PackageFormat.checkKey(key);
        if (keyProblem != null) {
            throw new Refused(keyProblem);
        }
        byte[] plain;
        try {
            Cipher cipher = Cipher.getInstance(PackageFormat.CIPHER);
            cipher.init(Cipher.DECRYPT_MODE, new SecretKeySpec(PackageFormat.keyBytes(key), "AES"));
            plain = cipher.doFinal(sealed);
        } catch (Exception e) {
            throw new Refused("the sealed header does not decrypt with this key (" + e.getClass().getSimpleName()
                    + ")");
        }
        r.decrypted = true;
        if (plain.length < PackageFormat.HEADER_NUMBERS) {
            throw new Refused("the sealed header holds " + plain.length + " bytes, fewer than the 28 of its numbers");
        }
        DataInputStream header = new DataInputStream(new ByteArrayInputStream(plain));
        int[] n = new int[7];
        for (int i = 0; i < 7; i++) {
            n[i] = header.readInt();
        }
        r.numbers = n;
        r.sealedVersion = readText(header, "sealed version text");
        r.sealedCheck = readText(header, "sealed check text");
        if (!r.sealedVersion.equals(r.version)) {
            throw new Refused("the clear version \"" + r.version + "\" differs from the sealed one \""
                    + r.sealedVersion + "\" (changed after sealing?)");
        }
        if (!r.sealedCheck.equals(r.check)) {
            throw new Refused("the clear check text differs from the sealed one (changed after sealing?)");
        }
        checkRawLength("index", n[0], n[1]);
        checkRawLength("content", n[3], n[4]);
        int count = n[6];
        if (count < 0 || count > n[0] / PackageFormat.MIN_INDEX_RECORD) {
            throw new Refused("entry count " + count + " does not fit an index of " + n[0] + " bytes");
        }

        byte[] indexStored = readBytes(in, n[1], "index block");
        r.indexCrcOk = PackageFormat.crc32(indexStored) == n[2];
        if (!r.indexCrcOk) {
            throw new Refused("index block CRC mismatch");
        }
        int[] filled = new int[1];
        byte[] indexRaw = gunzip(indexStored, n[0], "index", r, filled);
        // As the loader does: records are read from what the block gave.
        DataInputStream records = new DataInputStream(new ByteArrayInputStream(indexRaw, 0, filled[0]));
        for (int i = 0; i < count; i++) {
            String name;
            int offset;
            int length;
            int reserved;
            try {
                name = records.readUTF();
                offset = records.readInt();
                length = records.readInt();
                reserved = records.readInt();
            } catch (IOException e) {
                throw new Refused("index record " + i + " of " + count + (filled[0] < n[0]
                        ? " reaches into the missing tail of the index" : " is cut off or malformed"));
            }
            r.records.add(new Entry(name, offset, length, reserved));
            if (offset < 0 || length < 0 || (long) offset + length > n[3]) {
                throw new Refused("entry " + name + " (offset " + offset + ", length " + length
                        + ") lies outside the content of " + n[3] + " bytes");
            }
        }

        byte[] contentStored = readBytes(in, n[4], "content block");
        r.contentCrcOk = PackageFormat.crc32(contentStored) == n[5];
        if (!r.contentCrcOk) {
            throw new Refused("content block CRC mismatch");
        }
        r.contentChunks = ChunkedGzip.chunkCount(contentStored);
        byte[] content = gunzip(contentStored, n[3], "content", r, filled);
        String chunkProblem = r.contentChunks == 0 ? null
                : ChunkedGzip.checkChunks(contentStored, Arrays.copyOf(content, filled[0]));
        if (chunkProblem != null) {
            r.warnings.add("the content's restart points do not hold (" + chunkProblem
                    + "): the loader inflates the content whole");
        }
        // A later record of a name replaces an earlier one.
        Map<String, Entry> served = new LinkedHashMap<>();
        for (Entry e : r.records) {
            served.remove(e.name);
            served.put(e.name, e);
        }
        Map<String, byte[]> entries = new LinkedHashMap<>();
        for (Entry e : served.values()) {
            if ((long) e.offset + e.length > filled[0]) {
                r.warnings.add("entry " + e.name + " reaches into the missing tail of the content; the loader does "
                        + "not serve it");
                continue;
            }
            byte[] data = new byte[e.length];
            System.arraycopy(content, e.offset, data, 0, e.length);
            entries.put(e.name, data);
        }
        r.entries = entries;
        if (in.available() > 0) {
            r.warnings.add(in.available() + " bytes after the content block are never read");
        }
    }

    private static void checkRawLength(String block, int raw, int stored) throws Refused {
        if (stored < 0) {
            throw new Refused("negative " + block + " stored length " + stored);
        }
        if (raw < 0 || raw > PackageFormat.MAX_INFLATE_RATIO * stored) {
            throw new Refused(block + " raw length " + raw + " is impossible for " + stored + " stored bytes");
        }
    }

    /**
     * An array of raw bytes, filled[0] of them from the block. A block that
     * ends before its raw length is a warning, as the loader logs it and goes
     * on; one that cannot be decompressed is refused.
     */
    private static byte[] gunzip(byte[] stored, int raw, String block, Result r, int[] filledOut) throws Refused {
        byte[] out = new byte[raw];
        int filled = 0;
        try (InputStream in = new GZIPInputStream(new ByteArrayInputStream(stored), 65536)) {
            while (filled < raw) {
                int got = in.read(out, filled, raw - filled);
                if (got < 0) {
                    break;
                }
                filled += got;
            }
        } catch (IOException e) {
            throw new Refused("the " + block + " block does not decompress: " + e.getMessage());
        }
        if (filled < raw) {
            r.warnings.add("the " + block + " block decompresses to " + filled + " bytes, " + (raw - filled)
                    + " fewer than its raw length");
        }
        filledOut[0] = filled;
        return out;
    }

    private static String readText(DataInputStream in, String what) throws Refused {
        try {
            return in.readUTF();
        } catch (EOFException e) {
            throw new Refused("the " + what + " is cut off");
        } catch (IOException e) {
            throw new Refused("the " + what + " is malformed");
        }
    }

    private static int readInt(DataInputStream in, String what) throws Refused {
        try {
            return in.readInt();
        } catch (IOException e) {
            throw new Refused("the " + what + " is cut off");
        }
    }

    private static byte[] readBytes(DataInputStream in, int length, String what) throws Refused, IOException {
        if (length > in.available()) {
            throw new Refused("the " + what + " needs " + length + " bytes but only " + in.available() + " remain");
        }
        byte[] data = new byte[length];
        in.readFully(data);
        return data;
    }
}
