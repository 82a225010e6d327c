package com.mirl.apppack;

import java.io.IOException;
import java.io.InputStream;
import java.io.PrintStream;
import java.io.UncheckedIOException;
import java.nio.file.FileSystemLoopException;
import java.nio.file.FileVisitOption;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.AbstractMap;
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
 *
 * As on a class path, a resource name that several inputs hold keeps every
 * input's copy (service registries and plugin lists are read from all of
 * them); a class keeps the first input's only.
 *
 * What the index cannot hold goes into one entry of the package's own,
 * ENTRIES, the last record: the inputs by name, each record's input and
 * time, and every folder an input had (a jar's directory entries, a
 * directory's subfolders), so that the loader serves folders, defines each
 * class's Package from its own input's manifest and gives resource times,
 * as the class path would. Big-endian: int32 1 (the layout); int32 n, then
 * n input names (modified UTF-8 with a 16-bit length); int32 r (the records
 * before this one), then for each in index order int32 input (from 0; -1
 * unknown) and int64 time (milliseconds since 1970; -1 unknown); int32 d,
 * then d folders: name (ending in "/"), int32 input, int64 time
 * (docs/package-format.md).
 */
final class InputCollector {

    /** The package's own entry of inputs, record origins and times, and folders. */
    static final String ENTRIES = "META-INF/runbed/entries";

    /** Each name's first copy, in the order the names first appeared. */
    private final Map<String, byte[]> entries = new LinkedHashMap<>();
    /** Further copies of resource names, in input order. */
    private final Map<String, List<byte[]>> furtherCopies = new LinkedHashMap<>();
    private final Map<String, String> origins = new LinkedHashMap<>();
    /** Of each copy (first ones by name, further ones by name in order): {input, time}. */
    private final Map<String, long[]> firstSource = new LinkedHashMap<>();
    private final Map<String, List<long[]>> furtherSources = new LinkedHashMap<>();
    /** Every folder an input had, the first input's: name ending in "/" to {input, time}. */
    private final Map<String, long[]> folders = new LinkedHashMap<>();
    private final List<String> inputNames = new ArrayList<>();
    private final PrintStream progress;
    private int furtherCount;

    InputCollector(PrintStream progress) {
        this.progress = progress;
    }

    /** Each name with its first input's copy. */
    Map<String, byte[]> entries() {
        return entries;
    }

    /** How many copies beyond the first the inputs held of resource names. */
    int furtherCopies() {
        return furtherCount;
    }

    /**
     * Every copy as an index record, in the order to write them. A later
     * record of a name replaces an earlier one in the loader's index, so a
     * name's further copies come first, in input order, and its first
     * input's copy last: the index serves that one, and getResources lists
     * it first and the others after it.
     */
    List<Map.Entry<String, byte[]>> records() throws IOException {
        List<Map.Entry<String, byte[]>> records = new ArrayList<>(entries.size() + furtherCount + 1);
        List<long[]> sources = new ArrayList<>(entries.size() + furtherCount);
        for (Map.Entry<String, byte[]> entry : entries.entrySet()) {
            List<byte[]> further = furtherCopies.get(entry.getKey());
            if (further != null) {
                for (int i = 0; i < further.size(); i++) {
                    records.add(new AbstractMap.SimpleImmutableEntry<>(entry.getKey(), further.get(i)));
                    sources.add(furtherSources.get(entry.getKey()).get(i));
                }
            }
            records.add(entry);
            sources.add(firstSource.get(entry.getKey()));
        }
        java.io.ByteArrayOutputStream bytes = new java.io.ByteArrayOutputStream();
        java.io.DataOutputStream out = new java.io.DataOutputStream(bytes);
        out.writeInt(1);
        out.writeInt(inputNames.size());
        for (String name : inputNames) {
            out.writeUTF(name);
        }
        out.writeInt(sources.size());
        for (long[] source : sources) {
            out.writeInt((int) source[0]);
            out.writeLong(source[1]);
        }
        out.writeInt(folders.size());
        for (Map.Entry<String, long[]> folder : folders.entrySet()) {
            out.writeUTF(folder.getKey());
            out.writeInt((int) folder.getValue()[0]);
            out.writeLong(folder.getValue()[1]);
        }
        records.add(new AbstractMap.SimpleImmutableEntry<>(ENTRIES, bytes.toByteArray()));
        return records;
    }

    /**
     * Adds the files of a directory or the entries of a jar. Links are followed
     * (to the input itself and below it); an input that yields no file at all
     * is an error, as is one that is neither a directory nor a regular file (a
     * pipe would block the read).
     */
    void add(Path input) throws IOException {
        int before = entries.size();
        int found;
        Path name = input.toAbsolutePath().normalize().getFileName();
        inputNames.add(name == null ? input.toString() : name.toString());
        if (Files.isDirectory(input)) {
            found = addDirectory(input);
        } else if (Files.isRegularFile(input)) {
            found = addJar(input);
        } else if (Files.exists(input)) {
            throw new IOException("input " + input + " is neither a directory nor a regular file");
        } else {
            throw new IOException("input " + input + " does not exist");
        }
        if (found == 0) {
            throw new IOException("input " + input + " holds no files");
        }
        progress.println("apppack: " + input + ": " + (entries.size() - before) + " entries");
    }

    /** Returns how many files the directory holds. */
    private int addDirectory(Path root) throws IOException {
        List<Path> files;
        try (Stream<Path> walk = Files.walk(root, FileVisitOption.FOLLOW_LINKS)) {
            files = walk.filter(path -> !path.equals(root)).collect(Collectors.toList());
        } catch (UncheckedIOException e) {
            if (e.getCause() instanceof FileSystemLoopException) {
                throw new IOException("input " + root + ": the link " + ((FileSystemLoopException) e.getCause()).getFile()
                        + " leads back to a directory above it");
            }
            // A directory below the root that cannot be listed.
            throw e.getCause();
        }
        List<String> names = new ArrayList<>();
        Map<String, Path> byName = new LinkedHashMap<>();
        for (Path file : files) {
            String name = root.relativize(file).toString().replace(file.getFileSystem().getSeparator(), "/");
            if (Files.isDirectory(file)) {
                folder(name + "/", Files.getLastModifiedTime(file).toMillis());
            } else if (Files.isRegularFile(file)) {
                names.add(name);
                byName.put(name, file);
            }
        }
        Collections.sort(names);
        for (String name : names) {
            Path file = byName.get(name);
            put(name, Files.readAllBytes(file), root.toString(), Files.getLastModifiedTime(file).toMillis());
        }
        return names.size();
    }

    /** Returns how many files (entries that are no directory) the jar holds. */
    private int addJar(Path jar) throws IOException {
        int found = 0;
        int files = 0;
        try (ZipInputStream in = new ZipInputStream(Files.newInputStream(jar))) {
            for (ZipEntry entry = in.getNextEntry(); entry != null; entry = in.getNextEntry()) {
                found++;
                if (!entry.isDirectory()) {
                    files++;
                    put(entry.getName(), readAll(in), jar.toString(), entry.getTime());
                } else if (entry.getName().length() > 1) {
                    folder(entry.getName(), entry.getTime());
                }
            }
        } catch (IOException | IllegalArgumentException e) {
            throw new IOException("cannot read " + jar + " as a jar: " + e.getMessage(), e);
        }
        if (found == 0) {
            throw new IOException(jar + " is not a jar (no entries)");
        }
        return files;
    }

    /** A folder of the input being added, with its time (-1 unknown); the first input's counts. */
    private void folder(String name, long time) {
        folders.putIfAbsent(name, new long[] {inputNames.size() - 1, time});
    }

    private void put(String name, byte[] data, String origin, long time) {
        if (name.equals(ENTRIES)) {
            progress.println("apppack: warning: " + name + " from " + origin + " ignored: the package's own entry");
            return;
        }
        long[] source = {inputNames.size() - 1, time};
        String first = origins.get(name);
        if (first != null) {
            if (name.endsWith(".class")) {
                progress.println("apppack: warning: " + name + " from " + origin + " ignored, already taken from "
                        + first);
            } else {
                furtherCopies.computeIfAbsent(name, n -> new ArrayList<>()).add(data);
                furtherSources.computeIfAbsent(name, n -> new ArrayList<>()).add(source);
                furtherCount++;
            }
            return;
        }
        firstSource.put(name, source);
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
