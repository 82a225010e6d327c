package com.mirl.runbed.tests;

import static com.mirl.runbed.tests.Harness.LOG_PACKAGE_FOUND;
import static com.mirl.runbed.tests.Harness.TAG_MAIN;
import static com.mirl.runbed.tests.Harness.logLine;
import static org.junit.Assert.assertArrayEquals;
import static org.junit.Assert.assertEquals;
import static org.junit.Assert.assertFalse;
import static org.junit.Assert.assertTrue;

import com.mirl.runbed.MainAccess;
import com.mirl.runbed.PackageCheck;
import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.math.BigInteger;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.security.KeyPair;
import java.security.KeyPairGenerator;
import java.security.MessageDigest;
import java.security.Signature;
import java.security.spec.RSAKeyGenParameterSpec;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Base64;
import java.util.List;
import java.util.Map;
import java.util.Random;
import java.util.function.UnaryOperator;
import org.junit.Before;
import org.junit.BeforeClass;
import org.junit.Rule;
import org.junit.Test;
import org.junit.rules.TemporaryFolder;

/** Trusted keys beside the launcher: which packages run, and that no byte changed after signing is served. */
public class SignedPackageTest {

    @Rule
    public TemporaryFolder tmp = new TemporaryFolder();

    private static KeyPair vendor;
    private static KeyPair other;

    private Path cjars;
    private Path trust;

    @BeforeClass
    public static void makeKeys() throws Exception {
        KeyPairGenerator generator = KeyPairGenerator.getInstance("RSA");
        generator.initialize(3072);
        vendor = generator.generateKeyPair();
        generator.initialize(new RSAKeyGenParameterSpec(2048, BigInteger.valueOf(3)));
        other = generator.generateKeyPair();
    }

    @Before
    public void setUp() throws IOException {
        for (String p : new String[] {"testclient.mode", "testclient.starts", "testclient.stopped"}) {
            System.clearProperty(p);
        }
        cjars = tmp.newFolder("cjars").toPath();
        trust = tmp.getRoot().toPath().resolve("trusted-keys.pem");
    }

    @Test
    public void theLoadersHashAndSignatureCheckAgreeWithTheRuntimeAndOpenssl() throws Exception {
        Random random = new Random(32);
        byte[] data = new byte[70000];
        random.nextBytes(data);
        for (int i = 0; i < 1200; i++) {
            int length = i < 200 ? i : random.nextInt(data.length - 64);
            int offset = random.nextInt(data.length - length);
            MessageDigest md = MessageDigest.getInstance("SHA-256");
            md.update(data, offset, length);
            assertArrayEquals("length " + length, md.digest(), MainAccess.sha256(data, offset, length));
        }
        for (KeyPair key : new KeyPair[] {vendor, other}) {
            byte[] der = key.getPublic().getEncoded();
            for (int i = 0; i < 40; i++) {
                byte[] message = Arrays.copyOf(data, random.nextInt(300));
                byte[] signature = sign(key, message);
                byte[] digest = MessageDigest.getInstance("SHA-256").digest(message);
                assertTrue(MainAccess.rsaVerify(der, signature, digest));
                byte[] flipped = signature.clone();
                flipped[random.nextInt(flipped.length)] ^= 1 << random.nextInt(8);
                assertFalse(MainAccess.rsaVerify(der, flipped, digest));
                digest[random.nextInt(32)] ^= 1;
                assertFalse(MainAccess.rsaVerify(der, signature, digest));
            }
        }
        // openssl's keys, PEM and signatures, read by the loader's own code.
        Path dir = tmp.newFolder("openssl").toPath();
        Path message = dir.resolve("message");
        Files.write(message, Arrays.copyOf(data, 5000));
        openssl(dir, "genpkey", "-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:3072", "-out", "k.pem");
        openssl(dir, "pkey", "-in", "k.pem", "-pubout", "-out", "k.pub");
        openssl(dir, "pkey", "-pubin", "-in", "k.pub", "-outform", "DER", "-out", "k.der");
        openssl(dir, "dgst", "-sha256", "-sign", "k.pem", "-out", "sig", "message");
        byte[] der = PackageCheck.publicKeys(Files.readAllBytes(dir.resolve("k.pub"))).get(0);
        assertArrayEquals(Files.readAllBytes(dir.resolve("k.der")), der);
        assertEquals(hex(MessageDigest.getInstance("SHA-256").digest(der)), PackageCheck.fingerprint(der));
        assertTrue(MainAccess.rsaVerify(der, Files.readAllBytes(dir.resolve("sig")),
                MessageDigest.getInstance("SHA-256").digest(Files.readAllBytes(message))));
    }

    @Test
    public void onlyPackagesSignedByATrustedKeyAreCandidates() throws Exception {
        Path vendorsOld = cjars.resolve("a.app");
        Files.write(vendorsOld, sign(pack("a", "1.0"), vendor, null));
        Path unsigned = cjars.resolve("b.app");
        Files.write(unsigned, pack("b", "2.0"));
        Path others = cjars.resolve("c.app");
        Files.write(others, sign(pack("c", "3.0"), other, null));

        // Without a trust file, signatures change nothing.
        assertStartedFrom(others, Harness.launch(cjars));

        Files.write(trust, pem(vendor));
        Harness.Run run = Harness.launch(cjars);
        assertStartedFrom(vendorsOld, run);
        assertTrue(run.log, run.log.contains("package " + others + " is signed by key "
                + PackageCheck.fingerprint(other.getPublic().getEncoded()) + ", which trusted-keys.pem does not list"));
        assertTrue(run.log, run.log.contains("package " + unsigned + " is not signed"));

        // Rotation: both keys listed, then the old one gone.
        Files.write(trust, (new String(pem(vendor), StandardCharsets.US_ASCII) + "junk\n"
                + new String(pem(other), StandardCharsets.US_ASCII)).getBytes(StandardCharsets.US_ASCII));
        assertStartedFrom(others, Harness.launch(cjars));
        Files.write(trust, pem(other));
        Files.delete(others);
        assertEquals(0, Harness.launch(cjars).sink.values("client-start").size());

        // A trust file that cannot be read, or holds no key, lets nothing run.
        Files.write(trust, "-----BEGIN PUBLIC KEY-----\nAAAA\n-----END PUBLIC KEY-----\n".getBytes());
        run = Harness.launch(cjars);
        assertEquals(0, run.sink.values("client-start").size());
        assertTrue(run.log, run.log.contains("trusted keys " + trust + ": holds no usable public key: no package is "
                + "trusted"));
        Files.delete(trust);
        Files.createDirectory(trust);
        run = Harness.launch(cjars);
        assertEquals(0, run.sink.values("client-start").size());
        assertTrue(run.log, run.log.contains("trusted keys " + trust + " cannot be read (not a regular file): no "
                + "package is trusted"));
    }

    @Test
    public void noByteChangedAfterSigningIsEverServed() throws Exception {
        // Many chunks: the client, its resources and a jar of some size.
        byte[] plain = pack("big", "2.0", "--runtime", "8", "/usr/share/java/junit4.jar");
        byte[] signed = sign(plain, vendor, null);
        byte[] pem = pem(vendor);
        Map<String, byte[]> entries = servedEntries(PackageCheck.read(signed, 0, signed.length, Support.KEY, "p", pem));
        assertTrue(entries.size() > 300);

        // A content read whole (no restart points) is covered by the head hash alone.
        RawPackage whole = RawPackage.parse(plain, Support.KEY);
        byte[] wholeSigned = sign(whole.build(Support.KEY), vendor, null);
        Random random = new Random(7);
        for (byte[] pkg : new byte[][] {signed, wholeSigned}) {
            for (int k = 0; k < 400; k++) {
                int at = k < 100 ? k * 3 : k < 120 ? pkg.length - 1 - (k - 100) * 50 : random.nextInt(pkg.length);
                byte[] changed = pkg.clone();
                changed[at] ^= 1 << random.nextInt(8);
                PackageCheck check = PackageCheck.read(changed, 0, changed.length, Support.KEY, "p", pem);
                boolean refused = !check.complete;
                for (Map.Entry<String, byte[]> e : entries.entrySet()) {
                    if (refused) {
                        break;
                    }
                    try {
                        byte[] served = check.entry(e.getKey(), 0);
                        assertArrayEquals("byte " + at + ": " + e.getKey(), e.getValue(), served);
                    } catch (IOException expected) {
                        refused = true;
                    }
                }
                assertTrue("byte " + at + " changed, nothing refused", refused);
            }
        }

        // A chunk whose signed hash differs (its bytes changed, the CRCs made to
        // agree) is refused when inflated; the other chunks are still served.
        byte[] lastChunkWrong = sign(plain, vendor, manifest -> {
            manifest[manifest.length - 1] ^= 1;
            return manifest;
        });
        PackageCheck check = PackageCheck.read(lastChunkWrong, 0, lastChunkWrong.length, Support.KEY, "p", pem);
        assertTrue(check.complete);
        int served = 0;
        int refused = 0;
        for (Map.Entry<String, byte[]> e : entries.entrySet()) {
            try {
                assertArrayEquals(e.getValue(), check.entry(e.getKey(), 0));
                served++;
            } catch (IOException expected) {
                assertTrue(expected.getMessage(), expected.getMessage().contains("does not have its signed hash"));
                refused++;
            }
        }
        assertTrue(served + " served, " + refused + " refused", served > 300 && refused > 0);

        // Every chunk's hash wrong: the main class is refused before the
        // client runs, and the next candidate starts.
        Path fallback = cjars.resolve("a.app");
        Files.write(fallback, sign(pack("a", "1.0"), vendor, null));
        Path spoilt = cjars.resolve("b.app");
        Files.write(spoilt, sign(plain, vendor, manifest -> {
            for (int i = manifest.length - 1; i > manifest.length - 100; i -= 36) {
                manifest[i] ^= 1;
            }
            return manifest;
        }));
        Files.write(trust, pem);
        Harness.Run run = Harness.launch(cjars);
        assertStartedFrom(fallback, run);
        assertTrue(run.log, run.log.contains("does not have its signed hash"));
    }

    @Test
    public void aRestartMovesOnToANewlySignedVersionAndAnExecutableCarriesItsSignature() throws Exception {
        Files.write(trust, pem(vendor));
        Path first = cjars.resolve("a.app");
        Files.write(first, sign(pack("a", "1.0"), vendor, null));
        Path newer = cjars.resolve("b.app");
        Path unsignedNewest = cjars.resolve("c.app");
        System.setProperty("testclient.mode", "restart-once");
        Harness.Run run = new Harness.Run();
        run.sink.onFirstStart = () -> {
            try {
                Files.write(newer, sign(pack("b", "1.1"), vendor, null));
                Files.write(unsignedNewest, pack("c", "1.2"));
            } catch (Exception e) {
                throw new IllegalStateException(e);
            }
        };
        Harness.main(run, cjars.toString(), Support.SUFFIX, Support.KEY, Support.MAIN_CLASS, Support.START,
                Support.STOP);
        assertEquals(2, run.sink.values("client-start").size());
        Harness.assertInOrder(run.log, logLine(TAG_MAIN, LOG_PACKAGE_FOUND + first),
                "package " + unsignedNewest + " is not signed");
        Harness.assertInOrder(run.log, "package " + unsignedNewest + " is not signed",
                logLine(TAG_MAIN, LOG_PACKAGE_FOUND + newer));
        System.clearProperty("testclient.mode");

        for (KeyPair key : new KeyPair[] {vendor, other}) {
            Path app = tmp.getRoot().toPath().resolve("signed.app");
            Files.write(app, sign(pack("e", "1.0"), key, null));
            Path exe = tmp.getRoot().toPath().resolve("client.exe");
            Files.write(exe, new byte[300]);
            Support.ToolRun embed = Support.apppack("embed", "--package", app.toString(), "--into", exe.toString());
            assertEquals(embed.err, 0, embed.status);
            run = Harness.main(exe.toString(), Support.SUFFIX, Support.KEY, Support.MAIN_CLASS, Support.START,
                    Support.STOP);
            assertEquals(run.log, key == vendor ? 1 : 0, run.sink.values("client-start").size());
        }
    }

    private void assertStartedFrom(Path pkg, Harness.Run run) {
        assertEquals(run.log, 1, run.sink.values("client-start").size());
        assertTrue(run.log, run.log.contains(logLine(TAG_MAIN, LOG_PACKAGE_FOUND + pkg)));
    }

    /** The test client packed as a package of that version (with any further inputs). */
    private byte[] pack(String name, String version, String... more) throws IOException {
        Path out = tmp.getRoot().toPath().resolve(name + "-" + version + ".pack");
        return Support.pack(tmp.getRoot().toPath(), out, version, more);
    }

    /** The package signed as apppack signs it; edit, when given, changes the manifest before it is signed. */
    static byte[] sign(byte[] pkg, KeyPair key, UnaryOperator<byte[]> edit) throws Exception {
        PackageCheck check = PackageCheck.read(pkg, 0, pkg.length, Support.KEY, "p");
        assertTrue(String.valueOf(check.failure), check.complete);
        byte[] manifest = check.manifest(key.getPublic().getEncoded());
        if (edit != null) {
            manifest = edit.apply(manifest);
        }
        ByteArrayOutputStream out = new ByteArrayOutputStream();
        out.write(pkg, 0, check.signedLength());
        out.write(PackageCheck.signatureBlock(manifest, sign(key, manifest)));
        return out.toByteArray();
    }

    private static byte[] sign(KeyPair key, byte[] message) throws Exception {
        Signature signature = Signature.getInstance("SHA256withRSA");
        signature.initSign(key.getPrivate());
        signature.update(message);
        return signature.sign();
    }

    static byte[] pem(KeyPair key) {
        return ("-----BEGIN PUBLIC KEY-----\n" + Base64.getMimeEncoder(64, "\n".getBytes()).encodeToString(
                key.getPublic().getEncoded()) + "\n-----END PUBLIC KEY-----\n").getBytes(StandardCharsets.US_ASCII);
    }

    /** Every entry the check serves (copy 0 of each name). */
    private static Map<String, byte[]> servedEntries(PackageCheck check) throws IOException {
        assertTrue(String.valueOf(check.failure), check.complete);
        Map<String, byte[]> entries = new java.util.LinkedHashMap<>();
        for (Object record : (List<?>) check.found.get("records")) {
            String name = (String) ((Object[]) record)[0];
            byte[] bytes = check.entry(name, 0);
            if (bytes != null) {
                entries.put(name, bytes);
            }
        }
        return entries;
    }

    private static void openssl(Path dir, String... args) throws Exception {
        List<String> command = new ArrayList<>();
        command.add("openssl");
        command.addAll(Arrays.asList(args));
        Process process = new ProcessBuilder(command).directory(dir.toFile()).redirectErrorStream(true).start();
        String output = new String(process.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
        assertEquals(output, 0, process.waitFor());
    }

    private static String hex(byte[] bytes) {
        StringBuilder text = new StringBuilder();
        for (byte b : bytes) {
            text.append(String.format("%02x", b));
        }
        return text.toString();
    }
}
