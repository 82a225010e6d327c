import java.io.ByteArrayInputStream;
import java.io.ByteArrayOutputStream;
import java.io.DataInputStream;
import java.io.DataOutputStream;
import java.io.FileInputStream;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.io.UTFDataFormatException;
import java.util.Random;

/**
 * The Java side of the stream tests: java.io.DataOutputStream and
 * DataInputStream are the reference for AccessOut.
 *
 * <pre>
 *   write FILE        writes the value sequence below with DataOutputStream
 *   check FILE        reads FILE with DataInputStream and checks it holds the sequence
 *   utf-vectors FILE  writes byte strings and what Java's readUTF makes of each
 * </pre>
 *
 * The C++ test (java_peer_test.cpp) holds the same sequence.
 */
public final class DataPeer {
    static final int[] BYTES = {-129, -128, -1, 0, 1, 127, 128, 255, 256};
    static final boolean[] BOOLEANS = {true, false};
    static final int[] SHORTS = {-32769, -32768, -1, 0, 1, 0x1234, 32767, 32768, 65535, 65536};
    static final int[] CHARS = {0, 0x41, 0xE9, 0x4E2D, 0xD83D, 0xFFFF};
    static final int[] INTS = {Integer.MIN_VALUE, -1, 0, 1, 0x01020304, Integer.MAX_VALUE, -16};
    static final long[] LONGS = {Long.MIN_VALUE, -1L, 0L, 1L, 0x0102030405060708L, Long.MAX_VALUE, 1700000000000L};
    static final float[] FLOATS = {0f, -0f, 1.5f, -2.25f, Float.MIN_VALUE, Float.MAX_VALUE,
        Float.POSITIVE_INFINITY, Float.NEGATIVE_INFINITY, Float.NaN, 3.14159f, 1e-40f};
    static final double[] DOUBLES = {0.0, -0.0, 0.1, -2.5, Double.MIN_VALUE, Double.MAX_VALUE,
        Double.POSITIVE_INFINITY, Double.NEGATIVE_INFINITY, Double.NaN, 1e300, Math.PI};
    static final String[] TEXTS = {
        "",
        "Hello, world",
        "\u00E0\u00E9\u00EE\u00F5\u00FC \u00C0\u00C9\u00CE\u00D5\u00DC \u00F1\u00E7 \u00DF",
        "\u4E2D\u6587\u5B57\u7B26\u6D4B\u8BD5",
        "\uD83D\uDE00\uD83C\uDF89\uD83D\uDC4D",
        "a\u0000b",
        "mixed: \u00E9\u4E2D\uD83D\uDE00\u0000z",
        "\u007F\u0080\u07FF\u0800\uFFFF",
        "\uD800x\uDC00",
        repeat("\u4E2D", 21845),
        repeat("\u00E9", 32767),
    };
    static final String BYTES_TEXT = "ABC\u00E9\u4E2D";
    static final String CHARS_TEXT = "A\u00E9\u4E2D\uD83D\uDE00";

    static String repeat(String s, int n) {
        StringBuilder b = new StringBuilder();
        for (int i = 0; i < n; i++) b.append(s);
        return b.toString();
    }

    static void writeSequence(DataOutputStream out) throws IOException {
        for (int v : BYTES) out.writeByte(v);
        for (boolean v : BOOLEANS) out.writeBoolean(v);
        for (int v : SHORTS) out.writeShort(v);
        for (int v : CHARS) out.writeChar(v);
        for (int v : INTS) out.writeInt(v);
        for (long v : LONGS) out.writeLong(v);
        for (float v : FLOATS) out.writeFloat(v);
        for (double v : DOUBLES) out.writeDouble(v);
        for (String v : TEXTS) out.writeUTF(v);
        out.writeBytes(BYTES_TEXT);
        out.writeChars(CHARS_TEXT);
    }

    static void expect(boolean ok, String what) {
        if (!ok) throw new AssertionError(what);
    }

    static void checkSequence(DataInputStream in) throws IOException {
        for (int v : BYTES) expect(in.readByte() == (byte) v, "byte " + v);
        for (boolean v : BOOLEANS) expect(in.readBoolean() == v, "boolean " + v);
        for (int v : SHORTS) expect(in.readShort() == (short) v, "short " + v);
        for (int v : CHARS) expect(in.readChar() == (char) v, "char " + v);
        for (int v : INTS) expect(in.readInt() == v, "int " + v);
        for (long v : LONGS) expect(in.readLong() == v, "long " + v);
        for (float v : FLOATS) {
            expect(Float.floatToRawIntBits(in.readFloat()) == Float.floatToRawIntBits(v), "float " + v);
        }
        for (double v : DOUBLES) {
            expect(Double.doubleToRawLongBits(in.readDouble()) == Double.doubleToRawLongBits(v), "double " + v);
        }
        for (String v : TEXTS) {
            String got = in.readUTF();
            expect(got.equals(v), "text of length " + v.length() + " came back with length " + got.length());
        }
        for (int i = 0; i < BYTES_TEXT.length(); i++) {
            expect(in.readByte() == (byte) BYTES_TEXT.charAt(i), "writeBytes unit " + i);
        }
        for (int i = 0; i < CHARS_TEXT.length(); i++) {
            expect(in.readChar() == CHARS_TEXT.charAt(i), "writeChars unit " + i);
        }
        expect(in.read() == -1, "bytes after the sequence");
    }

    // Lead bytes, continuation bytes and the edges between them, so that
    // random strings hit every branch of the decoder.
    static final int[] INTERESTING = {0x00, 0x01, 0x41, 0x7F, 0x80, 0x8F, 0xBF, 0xC0, 0xC1, 0xC2, 0xDF,
        0xE0, 0xE4, 0xED, 0xEF, 0xF0, 0xF4, 0xF8, 0xFE, 0xFF};

    static void writeUtfVectors(DataOutputStream out) throws IOException {
        Random random = new Random(20261207L);
        int n = 4000;
        out.writeInt(n);
        for (int i = 0; i < n; i++) {
            byte[] bytes = new byte[random.nextInt(13)];
            for (int j = 0; j < bytes.length; j++) {
                bytes[j] = (byte) (random.nextInt(4) == 0 ? random.nextInt(256)
                                                          : INTERESTING[random.nextInt(INTERESTING.length)]);
            }
            writeVector(out, bytes);
        }
    }

    static void writeVector(DataOutputStream out, byte[] bytes) throws IOException {
        ByteArrayOutputStream framed = new ByteArrayOutputStream();
        DataOutputStream f = new DataOutputStream(framed);
        f.writeShort(bytes.length);
        f.write(bytes);
        out.writeShort(bytes.length);
        out.write(bytes);
        try {
            String s = new DataInputStream(new ByteArrayInputStream(framed.toByteArray())).readUTF();
            out.writeBoolean(true);
            out.writeInt(s.length());
            for (int i = 0; i < s.length(); i++) out.writeChar(s.charAt(i));
        } catch (UTFDataFormatException e) {
            out.writeBoolean(false);
            out.writeUTF(e.getMessage());
        }
    }

    public static void main(String[] args) throws IOException {
        if (args.length != 2) {
            System.err.println("usage: DataPeer write|check|utf-vectors FILE");
            System.exit(2);
        }
        String mode = args[0];
        if (mode.equals("write") || mode.equals("utf-vectors")) {
            try (OutputStream file = new FileOutputStream(args[1])) {
                DataOutputStream out = new DataOutputStream(file);
                if (mode.equals("write")) writeSequence(out); else writeUtfVectors(out);
                out.flush();
            }
        } else if (mode.equals("check")) {
            try (InputStream file = new FileInputStream(args[1])) {
                checkSequence(new DataInputStream(file));
            } catch (AssertionError e) {
                System.err.println("mismatch: " + e.getMessage());
                System.exit(1);
            }
            System.out.println("DataInputStream read back every value of " + args[1]);
        } else {
            System.err.println("unknown mode " + mode + "; use write, check or utf-vectors");
            System.exit(2);
        }
    }
}
