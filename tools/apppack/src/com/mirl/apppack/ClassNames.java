package com.mirl.apppack;

import java.io.ByteArrayInputStream;
import java.io.DataInputStream;
import java.io.IOException;

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
