package com.mirl.apppack;

import java.io.IOException;
import java.io.PrintStream;
import java.io.UnsupportedEncodingException;
import java.net.MalformedURLException;
import java.net.URL;
import java.net.URLDecoder;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayDeque;
import java.util.ArrayList;
import java.util.Collections;
import java.util.Deque;
import java.util.Enumeration;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.StringTokenizer;
import java.util.jar.Attributes;
import java.util.jar.JarFile;
import java.util.jar.Manifest;
import java.util.zip.ZipEntry;

/**
 * The jars a jar's manifest names in its main section's Class-Path, followed
 * as the JVM's class path follows them, so that a package made from the jars
 * a user names holds what java -cp over those jars would search.
 *
 * The JVM's rules (URLClassPath, the same on Java 7 and 17): the value is a
 * list of URLs separated by white space, each resolved against the URL of
 * the jar that names it (so relative to the jar's own folder; an absolute
 * path or file: URL as it is; a URL of another scheme is passed over). The
 * URLs are searched right after the jar that names them, before the next
 * input, depth first, and a place already on the search path is not opened
 * again. A URL ending in "/" is a directory; anything else is opened as a
 * jar, and what does not open (a missing file, a directory, a file that is
 * no zip) is passed over silently. Only jars have a Class-Path; a directory
 * input's manifest is a resource like any other.
 *
 * What the JVM passes over, pack passes over with a warning, so a user sees
 * what their class path lacked. The JVM takes each class path element by its
 * real path, a Class-Path URL as it resolves: a file reached both ways is
 * packed once here, where the JVM would open it twice (which adds nothing
 * but a second copy in getResources).
 */
final class ManifestClassPath {

    /** Adds one input to the package. */
    interface Inputs {
        void add(Path input) throws IOException;
    }

    /** A place a Class-Path entry names: a file, a folder when the entry ends in "/"; or why the JVM would skip it. */
    private static final class Resolved {
        final Path path;
        final boolean folder;
        final String problem;

        Resolved(Path path, boolean folder, String problem) {
            this.path = path;
            this.folder = folder;
            this.problem = problem;
        }
    }

    /** A place waiting to be searched, and the jar whose Class-Path named it (null for an input given). */
    private static final class Pending {
        final Resolved place;
        final Path namedBy;

        Pending(Resolved place, Path namedBy) {
            this.place = place;
            this.namedBy = namedBy;
        }
    }

    private final PrintStream progress;
    /** Real paths of what is on the search path, each with the jar that named it (null for an input given). */
    private final Map<Path, Path> opened = new HashMap<>();

    ManifestClassPath(PrintStream progress) {
        this.progress = progress;
    }

    /** Adds an input given by the user, then, in the JVM's order, what its Class-Path names that is not added yet. */
    void add(Path input, Inputs inputs) throws IOException {
        Deque<Pending> unopened = new ArrayDeque<>();
        unopened.push(new Pending(new Resolved(input, false, null), null));
        while (!unopened.isEmpty()) {
            Pending next = unopened.pollFirst();
            Path path = next.place.path;
            String problem = next.namedBy == null ? null : problem(next.place);
            if (problem != null) {
                progress.println("apppack: warning: " + next.namedBy + ": Class-Path names " + path + ", which "
                        + problem + "; not packed (the JVM passes it over)");
                continue;
            }
            Path real = realPath(path);
            if (opened.containsKey(real)) {
                if (next.namedBy == null) {
                    Path earlier = opened.get(real);
                    progress.println("apppack: " + input + ": " + (earlier == null ? "given twice"
                            : "already added through the Class-Path of " + earlier) + "; packed once, as the JVM "
                            + "searches it once");
                }
                continue;
            }
            opened.put(real, next.namedBy);
            if (next.namedBy != null) {
                progress.println("apppack: " + next.namedBy + ": adds " + path + " (Class-Path)");
            }
            inputs.add(path);
            if (!Files.isDirectory(path)) {
                // Relative to where the jar is: an input given by its real path, as the JVM takes it.
                List<Resolved> named = named(path, next.namedBy == null ? real : path);
                for (int i = named.size() - 1; i >= 0; i--) {
                    unopened.addFirst(new Pending(named.get(i), path));
                }
            }
        }
    }

    /** Why the JVM would not search a place a Class-Path names, or null when it would. */
    private static String problem(Resolved place) {
        if (!Files.exists(place.path)) {
            return "does not exist";
        }
        if (Files.isDirectory(place.path) != place.folder) {
            return place.folder ? "is no directory" : "is a directory (a folder is named with a trailing /)";
        }
        if (place.folder) {
            return null;
        }
        try (JarFile jar = new JarFile(place.path.toFile())) {
            for (Enumeration<? extends ZipEntry> e = jar.entries(); e.hasMoreElements();) {
                if (!e.nextElement().isDirectory()) {
                    return null;
                }
            }
            return "holds no files";
        } catch (IOException e) {
            return "is no jar (" + e.getMessage() + ")";
        }
    }

    /** What a jar's Class-Path names that the JVM would search; none when the jar does not open. */
    private List<Resolved> named(Path jarPath, Path where) {
        String value;
        URL base;
        try (JarFile jar = new JarFile(jarPath.toFile())) {
            Manifest manifest = jar.getManifest();
            value = manifest == null ? null : manifest.getMainAttributes().getValue(Attributes.Name.CLASS_PATH);
            base = where.toAbsolutePath().normalize().toUri().toURL();
        } catch (IOException e) {
            return Collections.emptyList(); // the input itself is read (and refused) as a jar elsewhere
        }
        List<Resolved> places = new ArrayList<>();
        for (String entry : value == null ? Collections.<String>emptyList() : entries(value)) {
            Resolved place = resolve(base, entry);
            if (place.problem == null) {
                places.add(place);
            } else {
                progress.println("apppack: warning: " + jarPath + ": Class-Path entry \"" + entry + "\" "
                        + place.problem + "; not packed (the JVM passes it over)");
            }
        }
        return places;
    }

    /** A Class-Path value's entries, split as the JVM splits them. */
    private static List<String> entries(String value) {
        List<String> entries = new ArrayList<>();
        for (StringTokenizer tokens = new StringTokenizer(value); tokens.hasMoreTokens();) {
            entries.add(tokens.nextToken());
        }
        return entries;
    }

    /** A Class-Path entry resolved against the URL of the jar that names it, as the JVM resolves it. */
    private static Resolved resolve(URL base, String entry) {
        URL url;
        try {
            url = new URL(base, entry);
        } catch (MalformedURLException e) {
            return new Resolved(null, false, "is no URL (" + e.getMessage() + ")");
        }
        if (!"file".equalsIgnoreCase(url.getProtocol())) {
            return new Resolved(null, false, "is a URL of another scheme than file:");
        }
        try {
            // As the JVM opens a file: URL: %XX decoded, a + stays a +.
            String path = URLDecoder.decode(url.getPath().replace("+", "%2B"), "UTF-8");
            return new Resolved(Paths.get(path), path.endsWith("/"), null);
        } catch (IllegalArgumentException | UnsupportedEncodingException e) {
            return new Resolved(null, false, "does not name a file (" + e.getMessage() + ")");
        }
    }

    private static Path realPath(Path place) {
        try {
            return place.toRealPath();
        } catch (IOException e) {
            return place.toAbsolutePath().normalize();
        }
    }

    /**
     * The entries of a packed manifest's Class-Path that name none of the
     * package's inputs, which the package names by file name (a folder's
     * without its "/"); entries the JVM would not search are left out.
     */
    static List<String> unresolved(Manifest manifest, Set<String> inputNames) {
        String value = manifest.getMainAttributes().getValue(Attributes.Name.CLASS_PATH);
        List<String> missing = new ArrayList<>();
        URL base;
        try {
            base = new URL("file:/packed/");
        } catch (MalformedURLException e) {
            throw new AssertionError(e);
        }
        for (String entry : value == null ? Collections.<String>emptyList() : entries(value)) {
            Resolved place = resolve(base, entry);
            Path name = place.path == null ? null : place.path.getFileName();
            if (name != null && !inputNames.contains(name.toString())) {
                missing.add(entry);
            }
        }
        return missing;
    }
}
