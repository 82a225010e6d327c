package com.mirl.runbed.tests;

import static com.mirl.runbed.tests.Harness.ERROR_NO_START_CLASS;
import static com.mirl.runbed.tests.Harness.LOG_PACKAGE_FOUND;
import static com.mirl.runbed.tests.Harness.TAG_ERROR;
import static com.mirl.runbed.tests.Harness.TAG_MAIN;
import static com.mirl.runbed.tests.Harness.logLine;
import static org.junit.Assert.assertEquals;
import static org.junit.Assert.assertFalse;
import static org.junit.Assert.assertTrue;

import java.io.File;
import java.io.RandomAccessFile;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.jar.JarFile;
import java.util.zip.ZipEntry;
import org.junit.Rule;
import org.junit.Test;
import org.junit.rules.TemporaryFolder;

/**
 * The class as users meet it: a package made by the tool, started by Main.main
 * in a plain java process, once from the class path and once from the boot
 * class path, where the launcher's null-loader definition puts it.
 */
public class PlainJavaProcessTest {

    private static final String STARTED = "client started by com.mirl.runbed.Main; services "
            + "com.qv.java.client.Greeter; data data of the package\n";

    @Rule
    public TemporaryFolder tmp = new TemporaryFolder();

    @Test
    public void theClientStartsFromAPackageDirectory() throws Exception {
        Path work = workWithPackage();
        String classes = Support.bootstrapClasses().toString();
        for (List<String> classPath : Arrays.asList(Arrays.asList("-cp", classes),
                Arrays.asList("-Xbootclasspath/a:" + classes))) {
            String output = runMain(work, classPath, "./cjars");
            assertTrue(output, output.contains(STARTED));
            // The class path's loader, and the null loader where the launcher defines the class.
            assertTrue(output, output.contains("data by the URL's text: data of the package\n"));
            String found = new File(new File(work.toFile(), "./cjars"), "client.app").getPath();
            assertTrue(output, output.contains(logLine(TAG_MAIN, LOG_PACKAGE_FOUND + found)));
        }
    }

    @Test
    public void looseFilesInTheWorkingDirectoryDoNotShadowThePackage() throws Exception {
        // With no class path given (as in the launcher's VM) the system loader serves the working directory.
        Path work = workWithPackage();
        String name = "com/qv/java/client/QvClientMain.class";
        Files.createDirectories(work.resolve(name).getParent());
        try (JarFile jar = new JarFile(Support.clientJar().toFile())) {
            Files.copy(jar.getInputStream(new ZipEntry(name)), work.resolve(name));
        }
        Files.createDirectories(work.resolve("res"));
        Files.write(work.resolve("res/data.txt"), "loose data".getBytes("UTF-8"));
        // What the package lacks comes from the working directory, as on a class path.
        Files.write(work.resolve("client-settings.txt"), "loose settings".getBytes("UTF-8"));
        String output = runMain(work, Arrays.asList("-Xbootclasspath/a:" + Support.bootstrapClasses()), "./cjars");
        assertTrue(output, output.contains(STARTED));
        assertTrue(output, output.contains("settings beside the launcher: loose settings\n"));
    }

    @Test
    public void aLoggingFrameworkPackedFromItsJarsRunsAsFromTheClassPath() throws Exception {
        // log4j 2 as a user packs it: its configuration file inside the
        // package, read through its resource URL; a layout plugin of a
        // second jar, listed in that jar's copy of the plugin registry that
        // log4j-core holds too; log4j-api's Java 9 classes of its
        // multi-release jar (the Java 8 ones warn that the caller lookup is
        // not supported).
        Path work = tmp.newFolder().toPath();
        Path config = tmp.newFolder("config").toPath();
        Files.write(config.resolve("log4j2.xml"), String.join("\n",
                "<Configuration status=\"warn\"><Appenders>",
                "<Console name=\"plain\" target=\"SYSTEM_OUT\">",
                "<PatternLayout pattern=\"configured: %c %m%n\"/></Console>",
                "<Console name=\"xml\" target=\"SYSTEM_OUT\"><Log4j1XmlLayout/></Console>",
                "</Appenders><Loggers><Root level=\"info\"><AppenderRef ref=\"plain\"/><AppenderRef ref=\"xml\"/>",
                "</Root></Loggers></Configuration>").getBytes("UTF-8"));
        Support.packInputs(Files.createDirectory(work.resolve("cjars")).resolve("client.app"), "1.0", "--runtime", "8",
                Support.clientJar().toString(), config.toString(), "/usr/share/java/log4j-api.jar",
                "/usr/share/java/log4j-core.jar", "/usr/share/java/log4j-1.2-api.jar");
        String output = runMain(work, Arrays.asList("-Dtestclient.mode=log4j", "-Xbootclasspath/a:"
                + Support.bootstrapClasses()), "./cjars");
        assertTrue(output, output.contains("configured: client hello from the package\n"));
        assertTrue(output, output.contains("<log4j:message><![CDATA[hello from the package]]></log4j:message>"));
        assertTrue(output, output.contains("StackLocator class-file version 53\n"));
        assertFalse(output, output.contains("WARN"));
    }

    /**
     * Spring from Debian's jars, the probe and a folder of templates, once on
     * the class path and once packed: the component scan and the resource
     * pattern list folders, the versions come from the jars' manifests, and
     * the resource connections tell length, time and type; each probe line
     * reads the same from the package, on its first start (which makes the
     * folder copy) and on its next (which reuses it).
     */
    @Test
    public void aFrameworkSeesThePackageAsItSeesTheClassPath() throws Exception {
        Path templates = tmp.newFolder("templates-root").toPath();
        Files.createDirectories(templates.resolve("templates"));
        for (String name : new String[] {"a.txt", "b.txt"}) {
            Files.write(templates.resolve("templates").resolve(name), ("template " + name).getBytes("UTF-8"));
        }
        Files.setLastModifiedTime(templates.resolve("templates/a.txt"),
                java.nio.file.attribute.FileTime.fromMillis(1234567890123L));
        // The probe's classes as a folder: a jar lists packages only where it holds their folders.
        Path probe = tmp.newFolder("probe").toPath();
        try (JarFile jar = new JarFile(System.getProperty("tavelin.test.probe"))) {
            for (java.util.jar.JarEntry entry : java.util.Collections.list(jar.entries())) {
                Path file = probe.resolve(entry.getName());
                if (!entry.isDirectory()) {
                    Files.createDirectories(file.getParent());
                    Files.copy(jar.getInputStream(entry), file);
                }
            }
        }
        String spring = System.getProperty("tavelin.test.spring");
        String classPath = probeLines(SideBySide.javaOutput(tmp.getRoot().toPath(), Arrays.asList("-cp", probe
                + File.pathSeparator + templates + File.pathSeparator + spring, "com.qv.probe.FrameworkProbe")));
        assertTrue(classPath, classPath.contains("probe: components [frameworkProbe.Gadget, frameworkProbe.Widget]"));
        assertTrue(classPath, classPath.contains("probe: templates [a.txt, b.txt]"));
        assertTrue(classPath, classPath.contains("modified 1234567890123"));

        Path work = tmp.newFolder().toPath();
        List<String> inputs = new ArrayList<>(Arrays.asList("--runtime", "8", Support.clientJar().toString(),
                probe.toString(), templates.toString()));
        inputs.addAll(Arrays.asList(spring.split(File.pathSeparator)));
        Support.packInputs(Files.createDirectory(work.resolve("cjars")).resolve("client.app"), "1.0",
                inputs.toArray(new String[0]));
        Path temp = Files.createDirectory(work.resolve("temp"));
        List<String> options = Arrays.asList("-Dtestclient.mode=probe", "-Dtestclient.probe=com.qv.probe.FrameworkProbe",
                "-Djava.io.tmpdir=" + temp, "-Xbootclasspath/a:" + Support.bootstrapClasses());
        for (int start = 1; start <= 2; start++) {
            assertEquals("start " + start, classPath, probeLines(runMain(work, options, "./cjars")));
            assertEquals("one folder copy", 1, temp.toFile().list().length);
        }
    }

    private static String probeLines(String output) {
        StringBuilder lines = new StringBuilder();
        for (String line : output.split("\n")) {
            if (line.startsWith("probe: ")) {
                lines.append(line).append('\n');
            }
        }
        return lines.toString();
    }

    @Test
    public void aHugeDamagedFileNeitherStopsTheGoodPackageNorDumpsTheHeap() throws Exception {
        // The launcher's VM writes a heap dump on running out of memory: holding
        // decrypted classes, into the install folder. A damaged 100 MB file must
        // not make the loader try to allocate what it claims.
        Path work = workWithPackage();
        try (RandomAccessFile junk = new RandomAccessFile(work.resolve("cjars/junk.app").toFile(), "rw")) {
            junk.writeShort(0); // empty clear texts
            junk.writeShort(0);
            junk.writeInt(0x7ffffff0); // sealed header length
            junk.setLength(100 << 20);
        }
        List<String> options = Arrays.asList("-Xmx64m", "-XX:+HeapDumpOnOutOfMemoryError", "-cp",
                Support.bootstrapClasses().toString());
        String output = runMain(work, options, "./cjars");
        assertTrue(output, output.contains(STARTED));

        // An executable whose pointer claims nearly all of its 100 MB.
        try (RandomAccessFile exe = new RandomAccessFile(work.resolve("client.exe").toFile(), "rw")) {
            exe.setLength(100 << 20);
            exe.seek(80);
            exe.writeInt(200);
            exe.writeInt((100 << 20) - 300);
        }
        output = runMain(work, options, "./client.exe");
        assertTrue(output, output.contains(logLine(TAG_ERROR, ERROR_NO_START_CLASS)));
        assertEquals("no heap dump", Arrays.asList("cjars", "client.exe"), listing(work));

        // A higher package whose sealed header claims content a thousandfold
        // of its incompressible bytes: possible for deflate, beyond the heap.
        RawPackage huge = RawPackage.parse(Files.readAllBytes(work.resolve("cjars/client.app")), Support.KEY);
        byte[] noise = new byte[256 * 1024];
        new java.util.Random(7).nextBytes(noise);
        huge.contentRaw = Arrays.copyOf(huge.contentRaw, huge.contentRaw.length + noise.length);
        System.arraycopy(noise, 0, huge.contentRaw, huge.contentRaw.length - noise.length, noise.length);
        huge.numbers[3] = huge.contentRaw.length * 1000;
        huge.version = "2.0";
        huge.sealedVersion = "2.0";
        Files.write(work.resolve("cjars/huge.app"), huge.build(Support.KEY));
        output = runMain(work, options, "./cjars");
        assertTrue(output, output.contains(STARTED));
        assertEquals("no heap dump", Arrays.asList("cjars", "client.exe"), listing(work));
    }

    private Path workWithPackage() throws Exception {
        Path work = tmp.newFolder().toPath();
        Path cjars = Files.createDirectory(work.resolve("cjars"));
        Support.pack(tmp.getRoot().toPath(), cjars.resolve("client.app"), "1.0.0");
        return work;
    }

    /** Output of Main.main in a java process running in work; it must exit with 0. */
    private static String runMain(Path work, List<String> options, String location) throws Exception {
        List<String> arguments = new ArrayList<>();
        arguments.add("-Dtestclient.mode=print");
        arguments.addAll(options);
        arguments.addAll(Arrays.asList("com.mirl.runbed.Main", location, Support.SUFFIX, Support.KEY,
                Support.MAIN_CLASS, Support.START, Support.STOP));
        return SideBySide.javaOutput(work, arguments);
    }

    private static List<String> listing(Path dir) throws Exception {
        List<String> names = new ArrayList<>();
        for (String name : dir.toFile().list()) {
            names.add(name);
        }
        names.sort(null);
        return names;
    }
}
