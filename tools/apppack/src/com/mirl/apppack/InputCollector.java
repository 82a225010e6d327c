package com.mirl.apppack;

import java.io.IOException;
import java.io.InputStream;
import java.io.PrintStream;
import java.io.UncheckedIOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Collections;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.stream.Collectors;
import java.util.stream.Stream;
import java.util.zip.ZipEntry;
import java.util.zip.ZipInputStream;

/**
 * Gathers package entries from directories and jars. A directory is a class
 * path root: a file's entry name is its path below the directory with "/"
 * separators, so com/x/A.class holds the class com.x.A. A jar's entry names are
 * used as they are. Directory walks are sorted, so packing is repeatable.
 */
final class InputCollector {

    private final Map<String, byte[]> entries = new LinkedHashMap<>();
    private final Map<String, String> origins = new LinkedHashMap<>();
    private final PrintStream progress;

    InputCollector(PrintStream progress) {
        this.progress = progress;
    }

    Map<String, byte[]> entries() {
        return entries;
    }

    void add(Path input) throws IOException {
        int before = entries.size();
        if (Files.isDirectory(input)) {
            addDirectory(input);
        } else if (Files.isRegularFile(input)) {
            addJar(input);
        } else {
            throw new IOException("input " + input + " does not exist");
        }
        progress.println("apppack: " + input + ": " + (entries.size() - before) + " entries");
    }

    private void addDirectory(Path root) throws IOException {
        List<Path> files;
        try (Stream<Path> walk = Files.walk(root)) {
            files = walk.filter(Files::isRegularFile).collect(Collectors.toList());
        } catch (UncheckedIOException e) {
            // A directory below the root that cannot be listed.
            throw e.getCause();
        }
        List<String> names = new ArrayList<>();
        Map<String, Path> byName = new LinkedHashMap<>();
        for (Path file : files) {
            String name = root.relativize(file).toString().replace(file.getFileSystem().getSeparator(), "/");
            names.add(name);
            byName.put(name, file);
        }
        Collections.sort(names);
        for (String name : names) {
            put(name, Files.readAllBytes(byName.get(name)), root.toString());
        }
    }

    private void addJar(Path jar) throws IOException {
        int found = 0;
        try (ZipInputStream in = new ZipInputStream(Files.newInputStream(jar))) {
            for (ZipEntry entry = in.getNextEntry(); entry != null; entry = in.getNextEntry()) {
                found++;
                if (!entry.isDirectory()) {
                    put(entry.getName(), readAll(in), jar.toString());
                }
            }
        } catch (IOException | IllegalArgumentException e) {
            throw new IOException("cannot read " + jar + " as a jar: " + e.getMessage(), e);
        }
        if (found == 0) {
            throw new IOException(jar + " is not a jar (no entries)");
        }
    }

    private void put(String name, byte[] data, String origin) {
        String first = origins.get(name);
        if (first != null) {
            progress.println("apppack: warning: " + name + " from " + origin + " ignored, already taken from "
                    + first);
            return;
        }
        String mismatch = ClassNames.checkEntry(name, data);
        if (mismatch != null) {
            progress.println("apppack: warning: " + mismatch);
        }
        entries.put(name, data);
        origins.put(name, origin);
    }

    private static byte[] readAll(InputStream in) throws IOException {
        java.io.ByteArrayOutputStream out = new java.io.ByteArrayOutputStream();
        byte[] buffer = new byte[65536];
        for (int n = in.read(buffer); n >= 0; n = in.read(buffer)) {
            out.write(buffer, 0, n);
        }
        return out.toByteArray();
    }
}
