package com.mirl.apppack;

import java.io.ByteArrayOutputStream;
import java.io.DataOutputStream;
import java.io.IOException;
import java.security.GeneralSecurityException;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.zip.GZIPOutputStream;
import javax.crypto.Cipher;
import javax.crypto.spec.SecretKeySpec;

/**
 * Writes a package stream: clear version and check texts, the AES-sealed
 * header, then the gzip-compressed index and content blocks (the content
 * with restart points: see ChunkedGzip). The layout: docs/package-format.md.
 */
final class PackageWriter {

    private PackageWriter() {
    }

    /** The package stream of the records, in the list's order (a name may occur more than once). */
    static byte[] write(List<Map.Entry<String, byte[]>> entries, String version, String check, String key)
            throws IOException, GeneralSecurityException {
        long contentLength = 0;
        for (Map.Entry<String, byte[]> entry : entries) {
            contentLength += entry.getValue().length;
        }
        if (contentLength > Integer.MAX_VALUE - 8) {
            throw new IOException("the content is " + contentLength + " bytes; a package holds at most 2 GB");
        }
        ByteArrayOutputStream content = new ByteArrayOutputStream((int) contentLength);
        ByteArrayOutputStream index = new ByteArrayOutputStream();
        DataOutputStream records = new DataOutputStream(index);
        List<Integer> lengths = new ArrayList<>(entries.size());
        for (Map.Entry<String, byte[]> entry : entries) {
            if (PackageFormat.utfLength(entry.getKey()) > 65535) {
                throw new IOException("entry name too long: " + entry.getKey().substring(0, 80) + "...");
            }
            records.writeUTF(entry.getKey());
            records.writeInt(content.size());
            records.writeInt(entry.getValue().length);
            records.writeInt(0); // reserved
            content.write(entry.getValue());
            lengths.add(entry.getValue().length);
        }
        byte[] indexRaw = index.toByteArray();
        byte[] indexStored = gzip(indexRaw);
        byte[] contentStored = ChunkedGzip.write(content.toByteArray(), lengths);

        ByteArrayOutputStream headerBytes = new ByteArrayOutputStream();
        DataOutputStream header = new DataOutputStream(headerBytes);
        int[] numbers = new int[PackageFormat.HEADER_NUMBERS / 4];
        numbers[PackageFormat.HEADER_INDEX_RAW] = indexRaw.length;
        numbers[PackageFormat.HEADER_INDEX_STORED] = indexStored.length;
        numbers[PackageFormat.HEADER_INDEX_CRC] = PackageFormat.crc32(indexStored);
        numbers[PackageFormat.HEADER_CONTENT_RAW] = content.size();
        numbers[PackageFormat.HEADER_CONTENT_STORED] = contentStored.length;
        numbers[PackageFormat.HEADER_CONTENT_CRC] = PackageFormat.crc32(contentStored);
        numbers[PackageFormat.HEADER_ENTRY_COUNT] = entries.size();
        for (int number : numbers) {
            header.writeInt(number);
        }
        header.writeUTF(version);
        header.writeUTF(check);
        byte[] sealed = seal(headerBytes.toByteArray(), key);

        ByteArrayOutputStream stream = new ByteArrayOutputStream(
                64 + sealed.length + indexStored.length + contentStored.length);
        DataOutputStream out = new DataOutputStream(stream);
        out.writeUTF(version);
        out.writeUTF(check);
        out.writeInt(sealed.length);
        out.write(sealed);
        out.write(indexStored);
        out.write(contentStored);
        return stream.toByteArray();
    }

    static byte[] seal(byte[] plain, String key) throws GeneralSecurityException {
        Cipher cipher = Cipher.getInstance(PackageFormat.CIPHER);
        cipher.init(Cipher.ENCRYPT_MODE, new SecretKeySpec(PackageFormat.keyBytes(key), "AES"));
        return cipher.doFinal(plain);
    }

    static byte[] gzip(byte[] data) throws IOException {
        ByteArrayOutputStream bytes = new ByteArrayOutputStream(data.length / 2 + 64);
        try (GZIPOutputStream out = new GZIPOutputStream(bytes, 65536)) {
            out.write(data);
        }
        return bytes.toByteArray();
    }
}
