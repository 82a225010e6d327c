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
    private PackageCheck(byte[] stream, int start, int length, String key, String name) {
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
        return new PackageCheck(stream, start, length, key, name);
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
