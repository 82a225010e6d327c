package com.mirl.apppack;

import java.io.ByteArrayInputStream;
import java.io.DataInputStream;
import java.io.IOException;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;

/** Reads the name a class file declares, to catch inputs that are not class path roots. */
final class ClassNames {

    private ClassNames() {
    }

    /** The internal name (com/x/A) the class file declares, or null when the bytes are no class file. */
    static String declaredName(byte[] classFile) {
        try {
            DataInputStream in = new DataInputStream(new ByteArrayInputStream(classFile));
            if (in.readInt() != 0xCAFEBABE) {
                return null;
            }
            in.readUnsignedShort(); // minor
            in.readUnsignedShort(); // major
            int count = in.readUnsignedShort();
            String[] utf8 = new String[count];
            int[] classNameIndex = new int[count];
            for (int i = 1; i < count; i++) {
                int tag = in.readUnsignedByte();
                switch (tag) {
                    case 1:
                        utf8[i] = in.readUTF();
                        break;
                    case 7:
                        classNameIndex[i] = in.readUnsignedShort();
                        break;
                    case 8: case 16: case 19: case 20:
                        in.readUnsignedShort();
                        break;
                    case 15:
                        in.readUnsignedByte();
                        in.readUnsignedShort();
                        break;
                    case 3: case 4: case 9: case 10: case 11: case 12: case 17: case 18:
                        in.readInt();
                        break;
                    case 5: case 6:
                        in.readLong();
                        i++; // eight-byte constants take two slots
                        break;
                    default:
                        return null;
                }
            }
            in.readUnsignedShort(); // access flags
            int thisClass = in.readUnsignedShort();
            if (thisClass <= 0 || thisClass >= count || classNameIndex[thisClass] <= 0
                    || classNameIndex[thisClass] >= count) {
                return null;
            }
            return utf8[classNameIndex[thisClass]];
        } catch (IOException | RuntimeException e) {
            return null;
        }
    }

    /** Class-file major version, or -1 when the bytes do not start like a class file. */
    static int majorVersion(byte[] data) {
        if (data.length < 8 || (data[0] & 0xff) != 0xca || (data[1] & 0xff) != 0xfe || (data[2] & 0xff) != 0xba
                || (data[3] & 0xff) != 0xbe) {
            return -1;
        }
        return (data[6] & 0xff) << 8 | (data[7] & 0xff);
    }

    /** The class-file versions of a package's classes, measured against a target Java release. */
    static final class Versions {
        /** The target Java release. */
        int release;
        /** Highest class-file version, 0 when there are no class files. */
        int highest;
        String highestName;
        /** Classes above the target, in entry order. */
        final List<String> above = new ArrayList<>();
        String firstAbove;
        int firstAboveVersion;
        /** Classes of META-INF/versions/N/ above Java N, in entry order, each with why. */
        final List<String> aboveFolder = new ArrayList<>();

        /** Null when every versioned class runs on its folder's Java release, else why not. */
        String folderProblem() {
            if (aboveFolder.isEmpty()) {
                return null;
            }
            return aboveFolder.get(0) + (aboveFolder.size() == 1 ? "" : "; " + (aboveFolder.size() - 1)
                    + " more in version folders");
        }

        /** One line on what the classes need, e.g. "class-file version 52 (Java 8), com/x/A.class". */
        String describeHighest() {
            return highest == 0 ? "no class files" : "class-file version " + highest + " ("
                    + PackageFormat.javaRelease(highest) + "), " + highestName;
        }

        /** Null when every class runs on the target, else why not, naming the first class. */
        String problem() {
            if (above.isEmpty()) {
                return null;
            }
            String text = firstAbove + " needs " + PackageFormat.javaRelease(firstAboveVersion) + " (class-file version "
                    + firstAboveVersion + "), above the target runtime Java " + release;
            if (above.size() > 1) {
                text += "; " + (above.size() - 1) + (above.size() == 2 ? " more class is" : " more classes are")
                        + " above it too";
            }
            if (highest > firstAboveVersion) {
                text += ", up to " + PackageFormat.javaRelease(highest) + " (" + highestName + ")";
            }
            return text;
        }
    }

    /**
     * The versions of the entries that the loader can define: ".class" names
     * outside META-INF/, module-info excluded, that start like a class file,
     * measured against the target; and those under META-INF/versions/N/,
     * which the loader serves on Java N and later only, against Java N.
     */
    static Versions versions(Map<String, byte[]> entries, int release) {
        Versions v = new Versions();
        v.release = release;
        int target = PackageFormat.classFileVersion(release);
        for (Map.Entry<String, byte[]> e : entries.entrySet()) {
            String name = e.getKey();
            if (!name.endsWith(".class") || name.endsWith("module-info.class")) {
                continue;
            }
            if (name.startsWith(PackageFormat.VERSIONS_FOLDER)) {
                checkVersioned(v, name, e.getValue());
                continue;
            }
            if (name.startsWith("META-INF/")) {
                continue;
            }
            int major = majorVersion(e.getValue());
            if (major < 0) {
                continue;
            }
            if (major > v.highest) {
                v.highest = major;
                v.highestName = name;
            }
            if (major > target) {
                if (v.above.isEmpty()) {
                    v.firstAbove = name;
                    v.firstAboveVersion = major;
                }
                v.above.add(name);
            }
        }
        return v;
    }

    private static void checkVersioned(Versions v, String name, byte[] data) {
        int start = PackageFormat.VERSIONS_FOLDER.length();
        int slash = name.indexOf('/', start);
        int folder;
        try {
            folder = slash < 0 ? -1 : Integer.parseInt(name.substring(start, slash));
        } catch (NumberFormatException e) {
            return; // not a version folder: never served as a class
        }
        int major = majorVersion(data);
        if (folder >= 9 && major > PackageFormat.classFileVersion(folder)) {
            v.aboveFolder.add(name + " needs " + PackageFormat.javaRelease(major) + " (class-file version " + major
                    + "), above Java " + folder + " of its version folder");
        }
    }

    /**
     * A warning when a ".class" entry would not be found under the name of the
     * class it holds, else null. Entries under META-INF/ and module-info are
     * not loaded by name and are left alone.
     */
    static String checkEntry(String name, byte[] data) {
        if (!name.endsWith(".class") || name.startsWith("META-INF/") || name.endsWith("module-info.class")) {
            return null;
        }
        String declared = declaredName(data);
        if (declared == null) {
            return name + " is not a class file";
        }
        if (!(declared + ".class").equals(name)) {
            return name + " holds the class " + declared.replace('/', '.') + ", which the loader looks up as "
                    + declared + ".class (is the input a class path root?)";
        }
        return null;
    }
}
