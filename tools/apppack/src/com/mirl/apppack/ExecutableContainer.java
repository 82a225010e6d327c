package com.mirl.apppack;

import java.nio.ByteBuffer;

/**
 * The embedded-package pointer of an executable container: two int32 at bytes
 * 80 to 87, the offset of the package stream and its size, with the rules the
 * loader applies before it reads anything.
 */
final class ExecutableContainer {

    /** Smallest file the loader reads a pointer from. */
    static final int MIN_LENGTH = 97;

    /** Smallest package size a pointer may announce. */
    static final int MIN_PACKAGE_SIZE = 10;

    final int offset;
    final int size;

    private ExecutableContainer(int offset, int size) {
        this.offset = offset;
        this.size = size;
    }

    /** Whether the name makes the loader treat the location as an executable (exact, case-sensitive). */
    static boolean isExecutableName(String name) {
        return name.endsWith(".exe");
    }

    /** The pointer of the file, or an exception with the reason the loader would refuse it. */
    static ExecutableContainer locate(byte[] file) throws IllegalArgumentException {
        int length = file.length;
        if (length < MIN_LENGTH) {
            throw new IllegalArgumentException("the file is " + length + " bytes; an executable that carries a "
                    + "package must be longer than 96 bytes");
        }
        ByteBuffer pointer = ByteBuffer.wrap(file, PackageFormat.POINTER_OFFSET, 8);
        int offset = pointer.getInt();
        int size = pointer.getInt();
        String problem = checkPointer(offset, size, length);
        if (problem != null) {
            throw new IllegalArgumentException(problem);
        }
        return new ExecutableContainer(offset, size);
    }

    /** Null when the loader accepts the pointer for a file of the given length. */
    static String checkPointer(int offset, int size, long fileLength) {
        String where = "embedded-package pointer (offset " + offset + ", size " + size + ", file length " + fileLength
                + "): ";
        if (fileLength > Integer.MAX_VALUE) {
            return "the file is " + fileLength + " bytes; the loader reads at most 2 GB";
        }
        if (fileLength < MIN_LENGTH) {
            return "the file is " + fileLength + " bytes; it must be longer than 96 bytes";
        }
        if (offset < PackageFormat.POINTER_OFFSET) {
            return where + "the offset is below 80";
        }
        if (size < MIN_PACKAGE_SIZE) {
            return where + "the size is below " + MIN_PACKAGE_SIZE;
        }
        if (offset >= fileLength) {
            return where + "the offset lies beyond the file";
        }
        if (size >= fileLength) {
            return where + "the size is not smaller than the file";
        }
        if ((long) offset + size > fileLength) {
            return where + "the package would end beyond the file";
        }
        return null;
    }

    /** Writes the pointer into bytes 80 to 87 of the buffer. */
    static void writePointer(byte[] file, int offset, int size) {
        ByteBuffer.wrap(file, PackageFormat.POINTER_OFFSET, 8).putInt(offset).putInt(size);
    }
}
