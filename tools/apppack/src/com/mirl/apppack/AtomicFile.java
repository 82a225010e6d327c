package com.mirl.apppack;

import java.io.IOException;
import java.io.OutputStream;
import java.nio.file.AtomicMoveNotSupportedException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.nio.file.attribute.PosixFileAttributeView;
import java.nio.file.attribute.PosixFilePermissions;

/**
 * Writes a file through a temporary file in the same directory and renames it
 * into place, so a failure never leaves a half-written package or executable.
 */
final class AtomicFile {

    /** Writes the bytes the writer produces; the target keeps its permissions when it exists. */
    interface Writer {
        void writeTo(OutputStream out) throws IOException;
    }

    private AtomicFile() {
    }

    static void write(Path target, Writer writer) throws IOException {
        Path absolute = target.toAbsolutePath();
        Path directory = absolute.getParent();
        if (directory == null || !Files.isDirectory(directory)) {
            throw new IOException("directory " + directory + " does not exist");
        }
        if (Files.isDirectory(absolute)) {
            throw new IOException(target + " is a directory");
        }
        // A short name of its own: one made from the target's would not fit
        // where the target's name is near the file system's limit.
        Path temporary = Files.createTempFile(directory, ".apppack-", ".tmp");
        boolean done = false;
        try {
            try (OutputStream out = Files.newOutputStream(temporary)) {
                writer.writeTo(out);
            }
            keepPermissions(absolute, temporary);
            try {
                Files.move(temporary, absolute, StandardCopyOption.REPLACE_EXISTING, StandardCopyOption.ATOMIC_MOVE);
            } catch (AtomicMoveNotSupportedException e) {
                Files.move(temporary, absolute, StandardCopyOption.REPLACE_EXISTING);
            }
            done = true;
        } finally {
            if (!done) {
                Files.deleteIfExists(temporary);
            }
        }
    }

    /** The temporary file is created private; an existing target's permissions (an executable's x bit) carry over. */
    private static void keepPermissions(Path original, Path temporary) throws IOException {
        PosixFileAttributeView view = Files.getFileAttributeView(temporary, PosixFileAttributeView.class);
        if (view == null) {
            return;
        }
        if (Files.exists(original)) {
            view.setPermissions(Files.getPosixFilePermissions(original));
        } else {
            view.setPermissions(PosixFilePermissions.fromString("rw-r--r--"));
        }
    }
}
