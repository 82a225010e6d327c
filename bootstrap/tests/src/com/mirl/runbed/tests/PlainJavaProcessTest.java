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
