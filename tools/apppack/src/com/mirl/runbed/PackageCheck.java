package com.mirl.runbed;

import java.io.ByteArrayInputStream;
import java.io.ByteArrayOutputStream;
import java.io.DataInputStream;
import java.io.IOException;
import java.io.InputStream;
import java.io.PrintStream;
import java.io.UnsupportedEncodingException;
import java.util.ArrayList;
import java.util.Collections;
import java.util.HashMap;
import java.util.List;
import java.util.Map;

/**
 * apppack's way into the loader's own reading of a package: the bootstrap
 * class that the launcher embeds (apppack.jar's manifest puts the build's
 * bootstrap classes on its class path) reads the package and serves its entries, so that whatever apppack
 * accepts is what the loader serves, byte for byte, and whatever the loader
 * refuses, falls back on or logs, apppack reports. In the bootstrap class's
 * package to reach its package-private reading members; part of apppack
 * only, never defined by the launcher.
 */
public final class PackageCheck {

    /** The loader's log text for a block that inflates short of its raw length (the count missing follows). */
    public static final String LOG_BLOCK_SHORT = Main.LOG_BLOCK_SHORT;

    /** What the read found, field by field (see Main.readRecord); fields past a failure are missing. */
    public final Map<String, Object> found;
    /** The first line of each thing the loader logged while reading and serving. */
    public final List<String> logged = new ArrayList<>();
    /** Why the read failed (the loader then refuses the package), or null. */
    public final Throwable failure;
    /** Whether the read got through: false also when the sealed texts differ from the clear ones. */
    public final boolean complete;

    private final Main loader;
    private final ByteArrayOutputStream log = new ByteArrayOutputStream();

    @SuppressWarnings("unchecked")
    private PackageCheck(byte[] stream, int start, int length, String key, String name, byte[] trustPem) {
        loader = new Main();
        HashMap<String, Object> record = new HashMap<>();
        loader.readRecord = record;
        loader.packageName = name;
        Main.bootInstance.packageKey = key;
        Throwable failed = null;
        boolean read = false;
        PrintStream before = Main.logOut;
        Main.logOut = logStream();
        try {
            if (trustPem != null) {
                loader.trustedKeys = Main.trustedKeysOf(trustPem, "the trust file");
                if (loader.trustedKeys.length == 0) {
                    throw new IllegalArgumentException("the trust file holds no usable public key");
                }
            }
            read = loader.readStoredPackage(new DataInputStream(new ByteArrayInputStream(stream, start, length)));
        } catch (Exception | OutOfMemoryError e) {
            failed = e;
        } finally {
            Main.logOut = before;
        }
        found = Collections.unmodifiableMap(record);
        failure = failed;
        complete = read && failed == null;
        collectLog();
    }

    /** Reads the package stream of length bytes at start of stream, with the package key; name names it in messages. */
    public static PackageCheck read(byte[] stream, int start, int length, String key, String name) {
        return new PackageCheck(stream, start, length, key, name, null);
    }

    /**
     * As read, with the trust the loader applies when a trust file of those
     * bytes lies beside the launcher: a package not signed by one of its
     * keys, or whose signature or hashes do not hold, fails the read (its
     * chunks' hashes are checked as entry serves them). Without trust
     * (null) the signature is only reported, against the key it names.
     */
    public static PackageCheck read(byte[] stream, int start, int length, String key, String name,
            byte[] trustPem) {
        return new PackageCheck(stream, start, length, key, name, trustPem);
    }

    /** The fingerprint of the key the package's signature block names; null when it carries none. */
    public String signer() {
        return (String) found.get("signer");
    }

    /**
     * Null when the signature holds (for the key it names; with trust, a
     * trusted one) and every hash checked so far: with trust, the chunks'
     * as entry serves them. Else why not, as the loader logs it.
     */
    public String signatureProblem() {
        if (!found.containsKey("signatureProblem")) {
            return failure != null ? String.valueOf(failure.getMessage()) : "was not read to its signature";
        }
        String problem = (String) found.get("signatureProblem");
        for (String line : logged) {
            if (problem == null && line.contains("does not have its signed hash")) {
                problem = line;
            }
        }
        return problem;
    }

    /** The stream's bytes before where its signature block goes (the content block's end); -1 when not read so far. */
    public int signedLength() {
        Object length = found.get("signedLength");
        return length == null ? -1 : (Integer) length;
    }

    /** The manifest that signs this package, as read, for the public key of those DER bytes. */
    public byte[] manifest(byte[] publicKeyDer) {
        if (!complete) {
            throw new IllegalStateException("the package was not read whole");
        }
        return loader.manifestFor(publicKeyDer, (byte[]) found.get("contentStoredBytes"));
    }

    /** The signature block that carries the manifest and its signature, to follow the content block. */
    public static byte[] signatureBlock(byte[] manifest, byte[] signature) {
        return Main.signatureBlock(manifest, signature);
    }

    /** The DER bytes of each RSA public key of a PEM text the loader would trust; IllegalArgumentException when none. */
    public static List<byte[]> publicKeys(byte[] pem) {
        PrintStream before = Main.logOut;
        ByteArrayOutputStream passed = new ByteArrayOutputStream();
        Object[] keys;
        try {
            Main.logOut = new PrintStream(passed, true, "UTF-8");
            keys = Main.trustedKeysOf(pem, "the key file");
        } catch (UnsupportedEncodingException e) {
            throw new AssertionError(e);
        } finally {
            Main.logOut = before;
        }
        if (keys.length == 0) {
            String text = new String(passed.toByteArray(), java.nio.charset.StandardCharsets.UTF_8).trim();
            int at = text.indexOf("the key file");
            throw new IllegalArgumentException(at >= 0 ? text.substring(at) : "the key file holds no public key");
        }
        List<byte[]> ders = new ArrayList<>();
        for (Object key : keys) {
            ders.add((byte[]) ((Object[]) key)[0]);
        }
        return ders;
    }

    /** A key's fingerprint, as the loader logs it: the SHA-256 of its DER bytes in lowercase hex. */
    public static String fingerprint(byte[] der) {
        return Main.fingerprint(der);
    }

    /**
     * The bytes the loader serves for copy 0 (the one getResource gives) or
     * copy i of a name; null when it has no such entry or does not serve it
     * (it reaches into a missing tail). IOException, with the loader's reason,
     * when the package holds the entry but the loader cannot serve it.
     */
    public byte[] entry(String name, int copy) throws IOException {
        PrintStream before = Main.logOut;
        Main.logOut = logStream();
        try {
            InputStream in = loader.entryStream(name, copy);
            if (in == null) {
                return null;
            }
            byte[] bytes = new byte[in.available()]; // a stream over bytes in memory: all of them
            new DataInputStream(in).readFully(bytes);
            return bytes;
        } finally {
            Main.logOut = before;
            collectLog();
        }
    }

    /** The package's inputs by name, as pack lists them; null for a package that does not list them. */
    public String[] inputNames() {
        PrintStream before = Main.logOut;
        Main.logOut = logStream();
        try {
            return loader.packedInputNames();
        } finally {
            Main.logOut = before;
            collectLog();
        }
    }

    /** The name of the input copy copy of an entry came from (see entry); null where the package does not say. */
    public String inputOf(String name, int copy) {
        return inputNames() == null ? null : loader.inputOf(name, copy);
    }

    private PrintStream logStream() {
        try {
            return new PrintStream(log, true, "UTF-8");
        } catch (UnsupportedEncodingException e) {
            throw new AssertionError(e);
        }
    }

    /** Moves what was logged into logged: each line's text after its time and tag, stack traces left out. */
    private void collectLog() {
        String text;
        try {
            text = log.toString("UTF-8");
        } catch (UnsupportedEncodingException e) {
            throw new AssertionError(e);
        }
        log.reset();
        String prefix = " " + Main.TAG_MAIN + " ";
        for (String line : text.split("\r?\n")) {
            int at = line.indexOf(prefix);
            if (at > 0 && line.substring(0, at).matches("[0-9]+")) {
                logged.add(line.substring(at + prefix.length()));
            }
        }
    }
}
