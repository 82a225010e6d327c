package com.mirl.bench;

import java.io.ByteArrayOutputStream;
import java.io.DataOutputStream;
import java.io.File;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.OutputStream;
import java.io.RandomAccessFile;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.Random;
import java.util.jar.JarEntry;
import java.util.jar.JarOutputStream;
import java.util.stream.Stream;
import java.util.zip.CRC32;
import java.util.zip.GZIPOutputStream;
import javax.crypto.Cipher;
import javax.crypto.spec.SecretKeySpec;

/**
 * Makes the benchmark inputs (packages in the layout of docs/package-format.md).
 * Everything is deterministic (fixed seeds), so
 * two runs measure the same bytes.
 *
 * <pre>
 *   classes DIR COUNT           COUNT class files bench/gen/C00000.class ... under DIR (about 4 KB each)
 *   jar JAR DIR...              a jar (deflated entries, as the jar tool writes) of the class path roots
 *   packages DIR COUNT SIZE KEY COUNT package files of about SIZE bytes each, versions 1.0.0, 1.0.1, ...
 * </pre>
 */
public final class BenchInputs {

    private BenchInputs() {
    }

    public static void main(String[] args) throws Exception {
        if (args.length == 0 || args[0].equals("--help") || args[0].equals("-h")) {
            System.out.println("usage: BenchInputs classes DIR COUNT | jar JAR DIR... | packages DIR COUNT SIZE KEY");
            System.exit(args.length == 0 ? 2 : 0);
        }
        switch (args[0]) {
            case "classes":
                writeClasses(Paths.get(args[1]), Integer.parseInt(args[2]));
                break;
            case "jar":
                List<Path> roots = new ArrayList<>();
                for (int i = 2; i < args.length; i++) {
                    roots.add(Paths.get(args[i]));
                }
                writeJar(Paths.get(args[1]), roots);
                break;
            case "packages":
                writePackages(Paths.get(args[1]), Integer.parseInt(args[2]), Long.parseLong(args[3]), args[4]);
                break;
            default:
                System.err.println("BenchInputs: unknown command " + args[0]);
                System.exit(2);
        }
    }

    // ------------------------------------------------------------------ generated classes

    private static final String[] WORDS = {
        "account", "buffer", "channel", "client", "config", "connect", "context", "device", "display", "event",
        "factory", "handler", "index", "invoice", "listener", "manager", "message", "order", "packet", "payment",
        "printer", "queue", "record", "report", "request", "response", "scanner", "session", "settings", "status",
        "stock", "store", "stream", "table", "task", "terminal", "ticket", "timer", "update", "value", "window",
    };

    private static String words(Random random, int count, String separator, boolean camel) {
        StringBuilder text = new StringBuilder();
        for (int i = 0; i < count; i++) {
            String word = WORDS[random.nextInt(WORDS.length)];
            if (i > 0) {
                text.append(separator);
                if (camel) {
                    word = Character.toUpperCase(word.charAt(0)) + word.substring(1);
                }
            }
            text.append(word);
        }
        return text.toString();
    }

    /**
     * Version-51 classes shaped like compiled application code: member names
     * from a shared vocabulary (so most symbols repeat across classes, as
     * method and field names do in real code), a unique string constant in
     * every fourth method, straight-line code (no stack maps needed) with a
     * line number table. About 4 KB and 5 to 6 new symbols per KB, close to
     * what javac makes of ordinary library code.
     */
    static void writeClasses(Path dir, int count) throws IOException {
        Path out = dir.resolve("bench/gen");
        Files.createDirectories(out);
        long total = 0;
        for (int i = 0; i < count; i++) {
            byte[] bytes = generatedClass(i, count);
            Files.write(out.resolve(String.format("C%05d.class", i)), bytes);
            total += bytes.length;
        }
        System.out.println("classes: " + count + " files, " + total + " bytes");
    }

    private static String uniqueName(Random random, java.util.Set<String> taken) {
        String name = words(random, 2, "", true);
        for (int k = 2; !taken.add(name); k++) {
            name = words(random, 2, "", true) + k;
        }
        return name;
    }

    static byte[] generatedClass(int number, int count) throws IOException {
        Random random = new Random(0x5EED0000L + number);
        ConstantPool pool = new ConstantPool();
        String self = String.format("bench/gen/C%05d", number);
        String next = String.format("bench/gen/C%05d", (number + 1) % count);
        ByteArrayOutputStream bodyBytes = new ByteArrayOutputStream();
        DataOutputStream body = new DataOutputStream(bodyBytes);
        body.writeShort(0x0021); // public super
        body.writeShort(pool.classRef(self));
        body.writeShort(pool.classRef("java/lang/Object"));
        body.writeShort(0);

        int fieldCount = 6 + random.nextInt(8);
        body.writeShort(fieldCount);
        List<String> fields = new ArrayList<>();
        java.util.Set<String> fieldNames = new java.util.HashSet<>();
        for (int f = 0; f < fieldCount; f++) {
            String name = uniqueName(random, fieldNames);
            fields.add(name);
            body.writeShort(0x000A); // private static
            body.writeShort(pool.utf8(name));
            body.writeShort(pool.utf8("I"));
            body.writeShort(0);
        }

        int methodCount = 18 + random.nextInt(12);
        body.writeShort(1 + methodCount);
        java.util.Set<String> methodNames = new java.util.HashSet<>();
        ByteArrayOutputStream code = new ByteArrayOutputStream();
        ByteArrayOutputStream lines = new ByteArrayOutputStream();
        int line = 10;
        code.write(0x2a); // aload_0
        op(code, 0xb7, pool.member(10, "java/lang/Object", "<init>", "()V"));
        code.write(0xb1); // return
        lineEntry(lines, 0, line++);
        method(body, pool, 0x0001, "<init>", "()V", 1, 1, code.toByteArray(), lines.toByteArray());
        for (int m = 0; m < methodCount; m++) {
            code.reset();
            lines.reset();
            line += 3;
            String name = uniqueName(random, methodNames);
            if (m % 4 == 0) {
                // static String name() { return "<text>"; }
                lineEntry(lines, 0, line++);
                op(code, 0x13, pool.string(words(random, 4 + random.nextInt(8), " ", false)));
                code.write(0xb0); // areturn
                method(body, pool, 0x0009, name, "()Ljava/lang/String;", 1, 0, code.toByteArray(),
                        lines.toByteArray());
            } else {
                // static int name(int a) { a = a * k + field; ... return a - next.bridgeN(a); }
                int steps = 3 + random.nextInt(10);
                for (int k = 0; k < steps; k++) {
                    lineEntry(lines, code.size(), line++);
                    code.write(0x1a); // iload_0
                    op(code, 0x11, random.nextInt(30000)); // sipush
                    code.write(0x68); // imul
                    op(code, 0xb2, pool.member(9, self, fields.get(random.nextInt(fields.size())), "I"));
                    code.write(0x60); // iadd
                    code.write(0x3b); // istore_0
                }
                lineEntry(lines, code.size(), line++);
                code.write(0x1a);
                code.write(0x1a);
                op(code, 0xb8, pool.member(10, next, "bridge" + (m % 5), "(I)I"));
                code.write(0x64); // isub
                code.write(0xac); // ireturn
                method(body, pool, 0x0009, name, "(I)I", 3, 1, code.toByteArray(), lines.toByteArray());
            }
        }
        body.writeShort(1); // class attributes: SourceFile
        body.writeShort(pool.utf8("SourceFile"));
        body.writeInt(2);
        body.writeShort(pool.utf8(self.substring(self.lastIndexOf('/') + 1) + ".java"));

        ByteArrayOutputStream classBytes = new ByteArrayOutputStream();
        DataOutputStream out = new DataOutputStream(classBytes);
        out.writeInt(0xCAFEBABE);
        out.writeShort(0);
        out.writeShort(51);
        pool.write(out);
        out.write(bodyBytes.toByteArray());
        return classBytes.toByteArray();
    }

    private static void lineEntry(ByteArrayOutputStream lines, int pc, int line) {
        lines.write(pc >> 8);
        lines.write(pc);
        lines.write(line >> 8);
        lines.write(line);
    }

    private static void op(ByteArrayOutputStream code, int opcode, int operand) {
        code.write(opcode);
        code.write(operand >> 8);
        code.write(operand);
    }

    private static void method(DataOutputStream out, ConstantPool pool, int access, String name, String descriptor,
            int maxStack, int maxLocals, byte[] code, byte[] lines) throws IOException {
        out.writeShort(access);
        out.writeShort(pool.utf8(name));
        out.writeShort(pool.utf8(descriptor));
        out.writeShort(1);
        out.writeShort(pool.utf8("Code"));
        out.writeInt(12 + code.length + 8 + lines.length);
        out.writeShort(maxStack);
        out.writeShort(maxLocals);
        out.writeInt(code.length);
        out.write(code);
        out.writeShort(0); // exception table
        out.writeShort(1); // LineNumberTable
        out.writeShort(pool.utf8("LineNumberTable"));
        out.writeInt(2 + lines.length);
        out.writeShort(lines.length / 4);
        out.write(lines);
    }

    /** Constant pool with shared slots for equal constants. */
    private static final class ConstantPool {
        private final Map<String, Integer> slots = new LinkedHashMap<>();
        private final ByteArrayOutputStream bytes = new ByteArrayOutputStream();
        private final DataOutputStream out = new DataOutputStream(bytes);

        private int add(String key, int tag, byte[] payload) throws IOException {
            Integer slot = slots.get(key);
            if (slot == null) {
                slot = slots.size() + 1;
                slots.put(key, slot);
                out.writeByte(tag);
                out.write(payload);
            }
            return slot;
        }

        private static byte[] shorts(int... values) {
            byte[] b = new byte[2 * values.length];
            for (int i = 0; i < values.length; i++) {
                b[2 * i] = (byte) (values[i] >> 8);
                b[2 * i + 1] = (byte) values[i];
            }
            return b;
        }

        int utf8(String text) throws IOException {
            ByteArrayOutputStream b = new ByteArrayOutputStream();
            new DataOutputStream(b).writeUTF(text);
            return add("1|" + text, 1, b.toByteArray());
        }

        int classRef(String name) throws IOException {
            int n = utf8(name);
            return add("7|" + n, 7, shorts(n));
        }

        int string(String text) throws IOException {
            int n = utf8(text);
            return add("8|" + n, 8, shorts(n));
        }

        int member(int tag, String owner, String name, String descriptor) throws IOException {
            int c = classRef(owner);
            int n = utf8(name);
            int d = utf8(descriptor);
            int nt = add("12|" + n + "|" + d, 12, shorts(n, d));
            return add(tag + "|" + c + "|" + nt, tag, shorts(c, nt));
        }

        void write(DataOutputStream target) throws IOException {
            out.flush();
            target.writeShort(slots.size() + 1);
            target.write(bytes.toByteArray());
        }
    }

    // ------------------------------------------------------------------ jar

    static void writeJar(Path jar, List<Path> roots) throws IOException {
        Files.createDirectories(jar.toAbsolutePath().getParent());
        Path partial = jar.resolveSibling(jar.getFileName() + ".part");
        long entries = 0;
        try (JarOutputStream out = new JarOutputStream(new FileOutputStream(partial.toFile()))) {
            for (Path root : roots) {
                List<Path> files = new ArrayList<>();
                try (Stream<Path> walk = Files.walk(root)) {
                    walk.filter(Files::isRegularFile).sorted().forEach(files::add);
                }
                for (Path file : files) {
                    out.putNextEntry(new JarEntry(root.relativize(file).toString().replace(File.separatorChar, '/')));
                    out.write(Files.readAllBytes(file));
                    out.closeEntry();
                    entries++;
                }
            }
        }
        Files.move(partial, jar, java.nio.file.StandardCopyOption.REPLACE_EXISTING);
        System.out.println("jar: " + entries + " entries, " + Files.size(jar) + " bytes");
    }

    // ------------------------------------------------------------------ packages for the scan

    /**
     * Package files whose one entry, data/blob.bin, is size bytes of zeros,
     * stored (deflate block type 0) so that the content block is as large as
     * the content. The zero runs are left as holes in the file: every file
     * is a complete, valid package of the full size, yet costs the disk
     * only its block headers.
     */
    static void writePackages(Path dir, int count, long size, String key) throws Exception {
        Files.createDirectories(dir);
        int raw = (int) size;
        byte[] index = gzip(indexRecords(raw));
        StoredBlock content = new StoredBlock(raw);
        for (int i = 0; i < count; i++) {
            String version = "1.0." + i;
            Path file = dir.resolve(String.format("client-%03d.app", i));
            ByteArrayOutputStream headerBytes = new ByteArrayOutputStream();
            DataOutputStream header = new DataOutputStream(headerBytes);
            header.writeInt(indexRecords(raw).length);
            header.writeInt(index.length);
            header.writeInt(crc32(index));
            header.writeInt(raw);
            header.writeInt((int) content.storedLength);
            header.writeInt(content.crc);
            header.writeInt(1);
            header.writeUTF(version);
            header.writeUTF("bench");
            Cipher cipher = Cipher.getInstance("AES/ECB/PKCS5Padding");
            cipher.init(Cipher.ENCRYPT_MODE, new SecretKeySpec(key.getBytes(), "AES"));
            byte[] sealed = cipher.doFinal(headerBytes.toByteArray());

            ByteArrayOutputStream leadBytes = new ByteArrayOutputStream();
            DataOutputStream lead = new DataOutputStream(leadBytes);
            lead.writeUTF(version);
            lead.writeUTF("bench");
            lead.writeInt(sealed.length);
            lead.write(sealed);
            lead.write(index);
            Files.deleteIfExists(file);
            try (RandomAccessFile out = new RandomAccessFile(file.toFile(), "rw")) {
                out.write(leadBytes.toByteArray());
                content.writeTo(out, leadBytes.size());
            }
        }
        System.out.println("packages: " + count + " files of " + (content.storedLength + 200) / 1000 + " KB in " + dir);
    }

    private static byte[] indexRecords(int raw) throws IOException {
        ByteArrayOutputStream bytes = new ByteArrayOutputStream();
        DataOutputStream out = new DataOutputStream(bytes);
        out.writeUTF("data/blob.bin");
        out.writeInt(0);
        out.writeInt(raw);
        out.writeInt(0);
        return bytes.toByteArray();
    }

    private static byte[] gzip(byte[] data) throws IOException {
        ByteArrayOutputStream bytes = new ByteArrayOutputStream();
        try (OutputStream out = new GZIPOutputStream(bytes)) {
            out.write(data);
        }
        return bytes.toByteArray();
    }

    private static int crc32(byte[] data) {
        CRC32 crc = new CRC32();
        crc.update(data);
        return (int) crc.getValue();
    }

    /** A gzip member of stored deflate blocks holding raw zero bytes; its bytes are mostly zero runs. */
    private static final class StoredBlock {
        private static final int BLOCK = 65535;
        private static final byte[] HEADER = {0x1F, (byte) 0x8B, 8, 0, 0, 0, 0, 0, 0, 0};
        final int raw;
        final long storedLength;
        final int crc;
        private final byte[] trailer = new byte[8];

        StoredBlock(int raw) {
            this.raw = raw;
            int blocks = Math.max(1, (raw + BLOCK - 1) / BLOCK);
            storedLength = HEADER.length + 5L * blocks + raw + 8;
            CRC32 zeros = new CRC32();
            byte[] chunk = new byte[BLOCK];
            for (int left = raw; left > 0; left -= BLOCK) {
                zeros.update(chunk, 0, Math.min(left, BLOCK));
            }
            int rawCrc = (int) zeros.getValue();
            for (int k = 0; k < 4; k++) {
                trailer[k] = (byte) (rawCrc >>> (8 * k));
                trailer[4 + k] = (byte) (raw >>> (8 * k));
            }
            CRC32 stored = new CRC32();
            stored.update(HEADER);
            for (int b = 0, left = raw; b < blocks; b++, left -= BLOCK) {
                int n = Math.min(left, BLOCK);
                stored.update(blockHeader(n, b == blocks - 1));
                stored.update(chunk, 0, n);
            }
            stored.update(trailer);
            crc = (int) stored.getValue();
        }

        private static byte[] blockHeader(int n, boolean last) {
            return new byte[] {(byte) (last ? 1 : 0), (byte) n, (byte) (n >> 8), (byte) ~n, (byte) (~n >> 8)};
        }

        /** Writes only the non-zero bytes; seeking over the zero runs leaves holes. */
        void writeTo(RandomAccessFile out, long start) throws IOException {
            int blocks = Math.max(1, (raw + BLOCK - 1) / BLOCK);
            long at = start;
            out.seek(at);
            out.write(HEADER);
            at += HEADER.length;
            for (int b = 0, left = raw; b < blocks; b++, left -= BLOCK) {
                int n = Math.min(left, BLOCK);
                out.seek(at);
                out.write(blockHeader(n, b == blocks - 1));
                at += 5 + n;
            }
            out.seek(at);
            out.write(trailer);
        }
    }
}
