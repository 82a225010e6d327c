package com.mirl.apppack;

import com.mirl.runbed.PackageCheck;
import java.io.ByteArrayInputStream;
import java.io.IOException;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.HashSet;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.jar.JarFile;
import java.util.jar.Manifest;

/**
 * A package read as the loader reads it, through the loader's own code
 * (PackageCheck), with what the read found laid out for inspection and the
 * first reason the loader would refuse the package.
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
        int[] numbers; // the header's seven, at PackageFormat.HEADER_*
        Boolean indexCrcOk;
        Boolean contentCrcOk;
        /** Chunks the content's restart-point list lists, when the loader uses it; 0 otherwise. */
        int contentChunks;
        final List<Entry> records = new ArrayList<>();
        /** Entry name to the bytes the loader serves (later records replace earlier ones), when the content was read. */
        Map<String, byte[]> entries;
        int streamLength;
        final List<String> warnings = new ArrayList<>();
        /** Why the loader would refuse the package; null when it accepts it. */
        String problem;
        /** The fingerprint of the key the signature block names; null for an unsigned package. */
        String signer;
        /** Null when the signature holds (read with trust: for a trusted key), else why not ("not signed"). */
        String signatureProblem;
        /** The stream's bytes before where the signature block goes; -1 when the read did not get there. */
        int signedLength = -1;
        /** The signature block's length where one follows the content block whole; else 0. */
        int signatureBlockLength;
        /** The loader's read itself, for the manifest of a signature; null where the key text is refused. */
        PackageCheck read;

        boolean accepted() {
            return problem == null;
        }
    }

    private PackageReader() {
    }

    static Result read(byte[] stream, int start, int length, String key) {
        return read(stream, start, length, key, null);
    }

    /** As the loader reads it where a trust file of those bytes lies beside the launcher (null: none). */
    static Result read(byte[] stream, int start, int length, String key, byte[] trustPem) {
        Result r = new Result();
        r.streamLength = length;
        String keyProblem = PackageFormat.checkKey(key);
        if (keyProblem != null) {
            r.problem = keyProblem;
            r.signatureProblem = keyProblem;
            return r;
        }
        if (trustPem != null) {
            try {
                PackageCheck.publicKeys(trustPem);
            } catch (IllegalArgumentException e) {
                // No key to trust: the loader runs nothing, whatever the package.
                r.problem = "the trust file: " + e.getMessage();
                r.signatureProblem = r.problem;
                return r;
            }
        }
        PackageCheck read = PackageCheck.read(stream, start, length, key, "being checked", trustPem);
        r.read = read;
        Map<String, Object> found = read.found;
        String[] clear = (String[]) found.get("clearTexts");
        if (clear != null) {
            r.version = clear[0];
            r.check = clear[1];
        }
        Integer sealedLength = (Integer) found.get("sealedLength");
        r.sealedLength = sealedLength == null ? -1 : sealedLength;
        r.decrypted = found.containsKey("plainLength");
        String[] sealed = (String[]) found.get("sealedTexts");
        if (sealed != null) {
            r.sealedVersion = sealed[0];
            r.sealedCheck = sealed[1];
        }
        r.numbers = (int[]) found.get("numbers");
        String failure = read.failure == null ? null : message(read.failure);
        r.indexCrcOk = (Boolean) found.get("indexCrcOk");
        r.contentCrcOk = (Boolean) found.get("contentCrcOk");
        Integer chunks = (Integer) found.get("chunks");
        r.contentChunks = chunks == null ? 0 : chunks;
        List<?> records = (List<?>) found.get("records");
        if (records != null) {
            for (Object o : records) {
                Object[] e = (Object[]) o;
                r.records.add(new Entry((String) e[0], (Integer) e[1], (Integer) e[2], (Integer) e[3]));
            }
        }
        r.signer = read.signer();
        r.signedLength = read.signedLength();
        if (r.signer != null && r.signedLength >= 0) {
            r.signatureBlockLength = Math.max(0, signatureBlockLength(stream, start + r.signedLength, start + length));
        }
        if (read.failure != null) {
            r.problem = refusal(r, found, failure);
        } else if (!read.complete) {
            r.problem = !r.sealedVersion.equals(r.version) ? "the clear version \"" + r.version
                    + "\" differs from the sealed one \"" + r.sealedVersion + "\" (changed after sealing?)"
                    : "the clear check text differs from the sealed one (changed after sealing?)";
        } else {
            serveEntries(r, read, found, start, length);
        }
        // After the entries were served: with trust, each chunk's hash is checked as it is.
        r.signatureProblem = read.signatureProblem();
        for (String line : read.logged) {
            // Lines the reader words itself, above and in serveEntries.
            if (!line.startsWith(PackageCheck.LOG_BLOCK_SHORT) && !line.contains("reaches into the missing tail")
                    && (r.problem == null || !r.problem.contains(line))) {
                r.warnings.add("the loader logs: " + line);
            }
        }
        return r;
    }

    /** Every entry as the loader serves it; a short block or a tail the index never reaches is a warning. */
    private static void serveEntries(Result r, PackageCheck read, Map<String, Object> found, int start,
            int length) {
        int[] n = r.numbers;
        shortBlock(r, "index", n[PackageFormat.HEADER_INDEX_RAW], (Integer) found.get("indexFilled"));
        shortBlock(r, "content", n[PackageFormat.HEADER_CONTENT_RAW], (Integer) found.get("contentFilled"));
        Map<String, byte[]> entries = new LinkedHashMap<>();
        for (Entry e : r.records) {
            if (e.name.equals(InputCollector.ENTRIES)) {
                continue; // the package's own, which the loader reads and does not serve
            }
            if (entries.containsKey(e.name)) {
                entries.remove(e.name); // a later record of a name replaces an earlier one
            }
            try {
                byte[] bytes = read.entry(e.name, 0);
                if (bytes == null) {
                    r.warnings.add("entry " + e.name + " reaches into the missing tail of the content; the loader "
                            + "does not serve it");
                } else {
                    entries.put(e.name, bytes);
                }
            } catch (IOException failed) {
                r.problem = failed.getMessage();
                return;
            }
        }
        r.entries = entries;
        try {
            classPathWarnings(r, read);
        } catch (IOException failed) {
            r.problem = failed.getMessage();
            return;
        }
        long used = 2L + utfLength(r.version) + 2 + utfLength(r.check) + 4 + r.sealedLength
                + n[PackageFormat.HEADER_INDEX_STORED] + n[PackageFormat.HEADER_CONTENT_STORED];
        used += r.signatureBlockLength;
        if (used < length) {
            r.warnings.add((length - used) + " bytes after the content block are never read");
        }
    }

    /**
     * Each Class-Path entry of a packed jar manifest that names none of the
     * package's inputs: java -cp over the same jars would search it, the
     * package lacks it. A package that does not list its inputs (an older
     * apppack's) is not checked.
     */
    private static void classPathWarnings(Result r, PackageCheck read) throws IOException {
        String[] names = read.inputNames();
        if (names == null) {
            return;
        }
        Set<String> inputs = new HashSet<>(Arrays.asList(names));
        for (int copy = 0;; copy++) {
            byte[] bytes = read.entry(JarFile.MANIFEST_NAME, copy);
            if (bytes == null) {
                return;
            }
            Manifest manifest;
            try {
                manifest = new Manifest(new ByteArrayInputStream(bytes));
            } catch (IOException unreadable) {
                continue; // the JVM reads no Class-Path from it either
            }
            String input = read.inputOf(JarFile.MANIFEST_NAME, copy);
            for (String entry : ManifestClassPath.unresolved(manifest, inputs)) {
                r.warnings.add("the manifest of " + (input == null ? "an input" : input) + " names " + entry
                        + " in its Class-Path, which is none of the package's inputs (java -cp would search it; "
                        + "pack adds it unless given --no-class-path)");
            }
        }
    }

    private static void shortBlock(Result r, String block, int raw, Integer filled) {
        if (filled != null && filled < raw) {
            r.warnings.add("the " + block + " block decompresses to " + filled + " bytes, " + (raw - filled)
                    + " fewer than its raw length");
        }
    }

    /**
     * The length of the signature block at that offset: its magic, the
     * manifest and the signature, each after its int32 length, within end;
     * -1 where no such block lies there.
     */
    static int signatureBlockLength(byte[] bytes, int at, int end) {
        if (end - at < 12 || bytes[at] != 'R' || bytes[at + 1] != 'B' || bytes[at + 2] != 'S' || bytes[at + 3] != 'G') {
            return -1;
        }
        long manifest = int32(bytes, at + 4);
        if (manifest < 0 || manifest > end - at - 12L) {
            return -1;
        }
        long signature = int32(bytes, at + 8 + (int) manifest);
        long total = 12 + manifest + signature;
        return signature < 0 || total > end - at ? -1 : (int) total;
    }

    private static int int32(byte[] b, int at) {
        return (b[at] & 0xff) << 24 | (b[at + 1] & 0xff) << 16 | (b[at + 2] & 0xff) << 8 | (b[at + 3] & 0xff);
    }

    /** Why the loader refuses the package, in words, from where its read stopped and what stopped it. */
    private static String refusal(Result r, Map<String, Object> found, String failure) {
        if (r.version == null) {
            return "the clear version text is cut off or malformed";
        }
        if (r.check == null) {
            return "the clear check text is cut off or malformed";
        }
        if (!found.containsKey("sealedLength")) {
            return "the sealed header length is cut off";
        }
        if (!r.decrypted) {
            return r.sealedLength < 0 ? "negative sealed header length " + r.sealedLength
                    : failure.contains("does not decrypt") ? "the sealed header does not decrypt with this key"
                    : "the sealed header of " + r.sealedLength + " bytes is cut off (" + failure + ")";
        }
        int plain = (Integer) found.get("plainLength");
        if (r.numbers == null) {
            return "the sealed header holds " + plain + " bytes, fewer than the 28 of its numbers";
        }
        if (r.sealedVersion == null) {
            return "the sealed texts are cut off or malformed";
        }
        for (String block : new String[] {"index", "content"}) {
            if (Boolean.FALSE.equals(found.get(block + "CrcOk"))) {
                return block + " block CRC mismatch";
            }
        }
        return failure;
    }

    private static String message(Throwable t) {
        return t.getMessage() != null ? t.getMessage() : t.toString();
    }

    private static int utfLength(String text) {
        int bytes = 0;
        for (int i = 0; i < text.length(); i++) {
            char c = text.charAt(i);
            bytes += c >= 1 && c <= 0x7f ? 1 : c <= 0x7ff ? 2 : 3;
        }
        return bytes;
    }
}
