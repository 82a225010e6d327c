package com.mirl.apppack;

import java.io.IOException;
import java.io.OutputStream;
import java.nio.file.AtomicMoveNotSupportedException;
import java.nio.file.FileAlreadyExistsException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.nio.file.attribute.AclEntry;
import java.nio.file.attribute.AclEntryPermission;
import java.nio.file.attribute.AclEntryType;
import java.nio.file.attribute.AclFileAttributeView;
import java.nio.file.attribute.FileAttribute;
import java.nio.file.attribute.PosixFileAttributeView;
import java.nio.file.attribute.PosixFilePermissions;
import java.nio.file.attribute.UserPrincipal;
import java.util.Collections;
import java.util.EnumSet;
import java.util.List;

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

    /**
     * Writes a file that must not exist yet, and never replaces one that
     * appears meanwhile (FileAlreadyExistsException). An owner-only file is
     * so from the moment it exists: created with owner-only POSIX
     * permissions, or on a file system without them an ACL that lists its
     * owner alone; where neither can be set it is not written.
     */
    static void create(Path target, boolean ownerOnly, Writer writer) throws IOException {
        Path absolute = target.toAbsolutePath();
        Path directory = absolute.getParent();
        if (directory == null || !Files.isDirectory(directory)) {
            throw new IOException("directory " + directory + " does not exist");
        }
        if (Files.exists(absolute, java.nio.file.LinkOption.NOFOLLOW_LINKS)) {
            throw new FileAlreadyExistsException(target.toString());
        }
        Path temporary;
        boolean posix = Files.getFileStore(directory).supportsFileAttributeView(PosixFileAttributeView.class);
        if (posix) {
            temporary = Files.createTempFile(directory, ".apppack-", ".tmp",
                    PosixFilePermissions.asFileAttribute(PosixFilePermissions.fromString("rw-------")));
        } else if (!ownerOnly) {
            temporary = Files.createTempFile(directory, ".apppack-", ".tmp");
        } else if (Files.getFileStore(directory).supportsFileAttributeView(AclFileAttributeView.class)) {
            temporary = Files.createTempFile(directory, ".apppack-", ".tmp", ownerOnlyAcl(directory));
        } else {
            throw new IOException("the file system of " + directory + " can make no file readable by its owner "
                    + "only");
        }
        boolean done = false;
        try {
            // A file system mounted with fixed modes (vfat, say) takes the
            // permissions without a word and keeps its own.
            if (posix && ownerOnly && !Files.getPosixFilePermissions(temporary)
                    .equals(PosixFilePermissions.fromString("rw-------"))) {
                throw new IOException("the file system of " + directory + " does not keep a file readable by its "
                        + "owner only");
            }
            try (OutputStream out = Files.newOutputStream(temporary)) {
                writer.writeTo(out);
            }
            if (posix && !ownerOnly) {
                Files.setPosixFilePermissions(temporary, PosixFilePermissions.fromString("rw-r--r--"));
            }
            // A hard link fails where the name exists; a move without
            // REPLACE_EXISTING may replace what appears between its check
            // and its rename, so it is taken only where links are not.
            try {
                Files.createLink(absolute, temporary);
            } catch (FileAlreadyExistsException e) {
                throw e;
            } catch (UnsupportedOperationException | IOException e) {
                Files.move(temporary, absolute);
                done = true;
                return;
            }
            Files.delete(temporary);
            done = true;
        } finally {
            if (!done) {
                Files.deleteIfExists(temporary);
            }
        }
    }

    /** An ACL that gives the user apppack runs as every right and nobody else any. */
    private static FileAttribute<List<AclEntry>> ownerOnlyAcl(Path directory) throws IOException {
        UserPrincipal owner = directory.getFileSystem().getUserPrincipalLookupService()
                .lookupPrincipalByName(System.getProperty("user.name"));
        final List<AclEntry> acl = Collections.singletonList(AclEntry.newBuilder().setType(AclEntryType.ALLOW)
                .setPrincipal(owner).setPermissions(EnumSet.allOf(AclEntryPermission.class)).build());
        return new FileAttribute<List<AclEntry>>() {
            @Override
            public String name() {
                return "acl:acl";
            }

            @Override
            public List<AclEntry> value() {
                return acl;
            }
        };
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
