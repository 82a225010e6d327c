package com.mirl.runbed.tests;

import static org.junit.Assert.assertEquals;
import static org.junit.Assert.assertFalse;
import static org.junit.Assert.assertTrue;

import com.mirl.runbed.Main;
import com.mirl.runbed.MainAccess;
import java.io.ByteArrayInputStream;
import java.io.DataInputStream;
import java.io.IOException;
import java.math.BigInteger;
import java.nio.ByteBuffer;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.security.GeneralSecurityException;
import java.util.Arrays;
import java.util.BitSet;
import java.util.Random;
import javax.crypto.Cipher;
import javax.crypto.spec.SecretKeySpec;
import org.junit.Test;

/**
 * The bootstrap class opens sealed headers with its own AES. It must give
 * exactly what Cipher "AES/ECB/PKCS5Padding" gives in decryption mode: the
 * same plaintext where that succeeds, a refusal exactly where it refuses.
 * The other tests check every sealed header they make the same way (see
 * checkSealedHeader).
 */
public class HeaderCipherTest {

    private static final int CASES = 1_000_000;
    private static final int CASES_PER_KEY = 16;

    /** The bootstrap class's decryption; null where it refuses. */
    static byte[] bootstrapOpen(byte[] key, byte[] data) {
        try {
            return MainAccess.aesEcbDecrypt(key, data);
        } catch (IllegalArgumentException refused) {
            return null;
        } catch (Throwable t) {
            throw new AssertionError("the bootstrap's decryption failed otherwise than by refusing", t);
        }
    }

    /** The runtime's decryption as the bootstrap class used it (an empty key throws in SecretKeySpec); null where it refuses. */
    static byte[] runtimeOpen(Cipher cipher, byte[] key, byte[] data) {
        try {
            cipher.init(Cipher.DECRYPT_MODE, new SecretKeySpec(key, "AES"));
            return cipher.doFinal(data);
        } catch (GeneralSecurityException | IllegalArgumentException refused) {
            return null;
        }
    }

    private static byte[] hex(String text) {
        byte[] bytes = new BigInteger("10" + text, 16).toByteArray();
        return Arrays.copyOfRange(bytes, 1, bytes.length);
    }

    private static String hexOf(byte[] bytes) {
        StringBuilder text = new StringBuilder();
        for (byte b : bytes) {
            text.append(String.format("%02x", b));
        }
        return text.toString();
    }

    /**
     * The FIPS-197 appendix C vectors. The decryption removes padding, so a
     * block of sixteen 0x10 bytes sealed by the runtime follows the vector's
     * block; the vector's own plaintext is checked against the published value.
     */
    @Test
    public void fips197KnownAnswers() throws Exception {
        String plain = "00112233445566778899aabbccddeeff";
        String[][] vectors = {
            {"000102030405060708090a0b0c0d0e0f", "69c4e0d86a7b0430d8cdb78070b4c55a"},
            {"000102030405060708090a0b0c0d0e0f1011121314151617", "dda97ca4864cdfe06eaf70a0ec0d7191"},
            {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f", "8ea2b7ca516745bfeafc49904b496089"},
        };
        for (String[] v : vectors) {
            byte[] key = hex(v[0]);
            Cipher seal = Cipher.getInstance("AES/ECB/NoPadding");
            seal.init(Cipher.ENCRYPT_MODE, new SecretKeySpec(key, "AES"));
            byte[] padding = new byte[16];
            Arrays.fill(padding, (byte) 16);
            byte[] data = ByteBuffer.allocate(32).put(hex(v[1])).put(seal.doFinal(padding)).array();
            assertEquals(v[0], plain, hexOf(bootstrapOpen(key, data)));
        }
    }

    /**
     * Random keys and sealed bytes, built so that every padding value (valid
     * 1..16, invalid 0 and 17..255), damaged padding bytes and every length
     * class (0, below 16, multiples of 16, between them) occur.
     */
    @Test
    public void sameResultAsTheRuntimeCipher() throws Exception {
        long seed = Long.getLong("tavelin.test.seed", 20261207L);
        Random random = new Random(seed);
        Cipher seal = Cipher.getInstance("AES/ECB/NoPadding");
        Cipher open = Cipher.getInstance("AES/ECB/PKCS5Padding");
        BitSet lastBytes = new BitSet(256);
        BitSet validPads = new BitSet(17);
        BitSet lengths = new BitSet(128);
        int accepted = 0;
        int damagedPadding = 0;
        int invalidPads = 0;
        byte[] key = null;
        boolean keyUsable = false;
        for (int i = 0; i < CASES; i++) {
            if (i % CASES_PER_KEY == 0) {
                int choice = random.nextInt(256);
                int keyLength = choice < 240 ? 16 : choice < 246 ? 24 : choice < 252 ? 32 : random.nextInt(40);
                key = new byte[keyLength];
                random.nextBytes(key);
                keyUsable = keyLength == 16 || keyLength == 24 || keyLength == 32;
                if (keyUsable) {
                    seal.init(Cipher.ENCRYPT_MODE, new SecretKeySpec(key, "AES"));
                    open.init(Cipher.DECRYPT_MODE, new SecretKeySpec(key, "AES"));
                }
            }
            byte[] data;
            int kind = random.nextInt(8);
            if (kind <= 4 && keyUsable) {
                // A plaintext block sequence with a chosen last byte, sealed by the runtime.
                int blocks = 1 + random.nextInt(5);
                byte[] plain = new byte[16 * blocks];
                random.nextBytes(plain);
                int pad;
                if (kind <= 2) {
                    pad = 1 + random.nextInt(16);
                } else if (kind == 3) {
                    // The invalid values in turn: 0, then 17 to 255.
                    pad = invalidPads++ % 240;
                    pad = pad == 0 ? 0 : pad + 16;
                } else {
                    pad = 2 + random.nextInt(15);
                }
                Arrays.fill(plain, plain.length - Math.min(pad, 16), plain.length, (byte) pad);
                if (kind == 4) {
                    // One padding byte before the last one differs from the value.
                    int at = plain.length - pad + random.nextInt(pad - 1);
                    plain[at] = (byte) (pad + 1 + random.nextInt(255));
                    damagedPadding++;
                }
                lastBytes.set(pad);
                data = seal.doFinal(plain);
            } else {
                // Raw bytes: any length, or a multiple of 16 (0 included).
                int length = kind == 5 ? 16 * random.nextInt(6) : random.nextInt(100);
                data = new byte[length];
                random.nextBytes(data);
            }
            lengths.set(Math.min(data.length, 127));
            byte[] expected;
            if (!keyUsable) {
                expected = runtimeOpen(open, key, data);
            } else {
                try {
                    expected = open.doFinal(data);
                } catch (GeneralSecurityException refused) {
                    expected = null;
                }
            }
            byte[] actual = bootstrapOpen(key, data);
            if (!Arrays.equals(expected, actual)) {
                throw new AssertionError("case " + i + " (seed " + seed + "), key " + hexOf(key) + ", data "
                        + hexOf(data) + ": runtime " + (expected == null ? "refuses" : hexOf(expected))
                        + ", bootstrap " + (actual == null ? "refuses" : hexOf(actual)));
            }
            if (expected != null) {
                accepted++;
                if (data.length > 0) {
                    validPads.set(data.length - expected.length);
                }
            }
        }
        assertEquals("padding values sealed", 256, lastBytes.cardinality());
        assertEquals("valid padding values opened", 16, validPads.cardinality());
        for (int length = 0; length < 100; length++) {
            assertTrue("length " + length + " tried", lengths.get(length));
        }
        assertTrue("damaged padding bytes tried", damagedPadding > CASES / 20);
        assertTrue("both outcomes common: " + accepted + " accepted", accepted > CASES / 5 && accepted < CASES * 4 / 5);
    }

    /** A start must never bring up the runtime's crypto framework: the class names none of it. */
    @Test
    public void theBootstrapClassUsesNoRuntimeCrypto() throws Exception {
        byte[] classFile = Files.readAllBytes(Support.bootstrapClasses().resolve("com/mirl/runbed/Main.class"));
        String text = new String(classFile, StandardCharsets.ISO_8859_1);
        assertFalse(text.contains("javax/crypto"));
    }

    /**
     * Opens the sealed header of a package stream starting at offset both ways
     * with the launcher's key and fails unless the results agree. Streams too
     * damaged to reach their sealed header have nothing to compare.
     */
    static void checkSealedHeader(byte[] bytes, int offset) {
        byte[] sealed;
        try {
            DataInputStream in = new DataInputStream(new ByteArrayInputStream(bytes, offset, bytes.length - offset));
            in.readUTF();
            in.readUTF();
            int length = in.readInt();
            if (length < 0 || length > in.available()) {
                return;
            }
            sealed = new byte[length];
            in.readFully(sealed);
        } catch (IOException | IndexOutOfBoundsException unreadable) {
            return;
        }
        byte[] key = Support.KEY.getBytes();
        byte[] expected;
        try {
            expected = runtimeOpen(Cipher.getInstance("AES/ECB/PKCS5Padding"), key, sealed);
        } catch (GeneralSecurityException e) {
            throw new AssertionError(e);
        }
        byte[] actual = bootstrapOpen(key, sealed);
        if (!Arrays.equals(expected, actual)) {
            throw new AssertionError("sealed header " + hexOf(sealed) + ": runtime "
                    + (expected == null ? "refuses" : hexOf(expected)) + ", bootstrap "
                    + (actual == null ? "refuses" : hexOf(actual)));
        }
    }
}
