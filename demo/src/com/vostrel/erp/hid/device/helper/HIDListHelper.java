package com.vostrel.erp.hid.device.helper;

import java.io.ByteArrayInputStream;
import java.io.DataInputStream;
import java.io.File;
import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.StandardCopyOption;
import java.util.ArrayList;
import java.util.List;

/**
 * The client's side of Quenvil: the native method and the loading of the
 * library behind it.
 *
 * <p>A native library stays bound to the class loader that loaded it first.
 * The bootstrap class defines this class anew, in a fresh package loader,
 * on every in-place restart, and while the previous loader has not been
 * collected the VM refuses to load the same library file for the new one
 * ("already loaded in another classloader"). This class then loads a
 * private copy of the library file, which the VM and the OS treat as a
 * library of its own.
 */
public class HIDListHelper {
    private static final String LIBRARY = "Quenvil";

    /** How the library was bound to this class, or why it could not be. */
    private static final String binding;
    private static final boolean loaded;

    static {
        String[] result = load();
        loaded = result[0] != null;
        binding = loaded ? result[0] : result[1];
    }

    /**
     * The device paths of the machine's HID interfaces as length-prefixed
     * records (two bytes big-endian length, then the path), or null when
     * there are none.
     */
    public static native byte[] jniHIDList();

    /** Whether the native method can be called. */
    public static boolean isAvailable() {
        return loaded;
    }

    /** How the library was loaded, or why it could not be. */
    public static String binding() {
        return binding;
    }

    /** The HID device paths, empty when there are none. */
    public static List<String> listDevicePaths() throws IOException {
        List<String> paths = new ArrayList<String>();
        byte[] records = jniHIDList();
        if (records == null) {
            return paths;
        }
        DataInputStream in = new DataInputStream(new ByteArrayInputStream(records));
        while (in.available() > 0) {
            byte[] path = new byte[in.readUnsignedShort()];
            in.readFully(path);
            // The platform's ANSI code page on Windows, UTF-8 on Linux.
            paths.add(new String(path));
        }
        return paths;
    }

    /** {how it was loaded, null} or {null, why it was not}. */
    private static String[] load() {
        // The launcher makes its own directory the working directory, and
        // the library is installed beside it. Only there: the launcher runs
        // elevated, and a search of java.library.path (PATH on Windows)
        // would load whatever library of that name a user put in a folder
        // of theirs.
        File library = new File(launcherDirectory(), System.mapLibraryName(LIBRARY));
        if (!library.isFile()) {
            return new String[] {null, "no " + library};
        }
        try {
            System.load(library.getAbsolutePath());
            return new String[] {"loaded " + library, null};
        } catch (UnsatisfiedLinkError first) {
            // Only the binding to an earlier loader calls for a copy; any other
            // failure (a damaged file, a library for another system) would
            // fail the copy the same way and leave it behind.
            if (!boundToAnotherLoader(first)) {
                return new String[] {null, first.getMessage()};
            }
            try {
                File copy = privateCopy(library);
                System.load(copy.getAbsolutePath());
                // Once loaded the file is no longer needed (POSIX); on Windows
                // it stays until a later start clears it away.
                copy.delete();
                return new String[] {"loaded a private copy (" + first.getMessage() + ")", null};
            } catch (IOException e) {
                return new String[] {null, first.getMessage() + "; no private copy: " + e};
            } catch (UnsatisfiedLinkError e) {
                return new String[] {null, first.getMessage() + "; private copy: " + e.getMessage()};
            }
        }
    }

    /** The VM's refusal to bind a library file that another class loader has bound. */
    private static boolean boundToAnotherLoader(UnsatisfiedLinkError e) {
        String message = e.getMessage();
        return message != null && message.contains("already loaded in another classloader");
    }

    private static File launcherDirectory() {
        return new File(System.getProperty("user.dir"));
    }

    private static File privateCopy(File library) throws IOException {
        // Beside the launcher, where only those who may install it can
        // write: a user can prepare the temporary folder, and a copy loaded
        // from there would run the user's code in the elevated process.
        File dir = new File(launcherDirectory(), "quenvil-copies");
        if (!dir.isDirectory() && !dir.mkdirs()) {
            throw new IOException("cannot create " + dir);
        }
        // Copies of earlier runs; those still loaded by a live process resist,
        // and fresh ones may be about to be loaded by another one.
        File[] old = dir.listFiles();
        long before = System.currentTimeMillis() - 60 * 1000L;
        if (old != null) {
            for (File f : old) {
                if (f.lastModified() < before) {
                    f.delete();
                }
            }
        }
        String name = library.getName();
        int dot = name.lastIndexOf('.');
        File copy = File.createTempFile(dot > 0 ? name.substring(0, dot) + "-" : name + "-",
                dot > 0 ? name.substring(dot) : null, dir);
        Files.copy(library.toPath(), copy.toPath(), StandardCopyOption.REPLACE_EXISTING);
        return copy;
    }
}
