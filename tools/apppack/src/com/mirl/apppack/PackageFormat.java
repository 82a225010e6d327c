package com.mirl.apppack;

import java.io.ByteArrayOutputStream;
import java.io.DataOutputStream;
import java.io.IOException;
import java.nio.charset.Charset;
import java.util.zip.CRC32;

/** Constants and small helpers of the package layout shared by the writer and the reader. */
final class PackageFormat {

    /** The launcher's package key. */
    static final String DEFAULT_KEY = "7305518826140943";

    /** The client main class the launcher starts. */
    static final String DEFAULT_MAIN_CLASS = "com.qv.java.client.QvClientMain";

    static final String CIPHER = "AES/ECB/PKCS5Padding";

    /** The seven int32 that open the sealed header. */
    static final int HEADER_NUMBERS = 28;

    /** Deflate expands at most about 1032:1; the loader refuses raw lengths beyond this. */
    static final long MAX_INFLATE_RATIO = 1032L;

    /** Smallest index record: an empty name and three int32. */
    static final int MIN_INDEX_RECORD = 14;

    /** Offset of the embedded-package pointer in an executable container. */
    static final int POINTER_OFFSET = 80;

    /** The loader takes a longer sealed header for damage: no package. */
    static final int MAX_SEALED_LENGTH = 65536;

    /** The Java release of the runtime shipped beside the launcher. */
    static final int DEFAULT_RUNTIME = 7;

    /** The oldest release that runs the loader's own class (class-file version 51). */
    static final int OLDEST_RUNTIME = 7;

    private PackageFormat() {
    }

    /** The key as the loader makes it: the key text's bytes in the default character set. */
    static byte[] keyBytes(String key) {
        return key.getBytes(Charset.defaultCharset());
    }

    static String checkKey(String key) {
        int length = keyBytes(key).length;
        if (length != 16 && length != 24 && length != 32) {
            return "the key must be 16, 24 or 32 bytes long, \"" + key + "\" is " + length;
        }
        return null;
    }

    /** The entry name under which the loader looks a class up. */
    static String classEntry(String className) {
        return className.replace('.', '/') + ".class";
    }

    static int crc32(byte[] data) {
        CRC32 crc = new CRC32();
        crc.update(data, 0, data.length);
        return (int) crc.getValue();
    }

    /** Byte count of the text in the modified UTF-8 of DataOutput.writeUTF. */
    static int utfLength(String text) {
        try {
            ByteArrayOutputStream bytes = new ByteArrayOutputStream();
            new DataOutputStream(bytes).writeUTF(text);
            return bytes.size() - 2;
        } catch (IOException e) {
            return 65536;
        }
    }

    /** The highest class-file version a Java release runs (7: 51, 8: 52, 17: 61). */
    static int classFileVersion(int release) {
        return release + 44;
    }

    /** The Java release that first runs a class-file version ("Java 8" for 52). */
    static String javaRelease(int classFileVersion) {
        int release = classFileVersion - 44;
        return "Java " + (release >= 5 ? String.valueOf(release) : "1." + release);
    }

    /** Null when a --runtime value names a Java release the loader runs on, else why not. */
    static String checkRuntime(String value) {
        int release;
        try {
            release = Integer.parseInt(value);
        } catch (NumberFormatException e) {
            return "--runtime takes a Java release such as 7, 8, 11 or 17, not \"" + value + "\"";
        }
        if (release < OLDEST_RUNTIME || release > 65535 - 44) {
            return "--runtime " + value + ": the loader runs on Java " + OLDEST_RUNTIME + " or later";
        }
        return null;
    }

    /** Dotted decimal version ("1.4.2"), each component within the int range; null when it is one. */
    static String checkVersion(String version) {
        if (!version.matches("[0-9]+(\\.[0-9]+)*")) {
            return "the version must be dotted decimal numbers like 1.4.2, not \"" + version + "\"";
        }
        for (String component : version.split("\\.")) {
            try {
                Integer.parseInt(component);
            } catch (NumberFormatException e) {
                return "version component " + component + " is too large";
            }
        }
        return null;
    }
}
