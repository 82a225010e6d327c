package com.mirl.runbed.tests;

import static com.mirl.runbed.tests.Harness.ERROR_NO_START_METHOD;
import static com.mirl.runbed.tests.Harness.LOG_LOADER_CLOSED;
import static com.mirl.runbed.tests.Harness.LOG_PACKAGE_FOUND;
import static com.mirl.runbed.tests.Harness.LOG_START;
import static com.mirl.runbed.tests.Harness.NOTICE_LOADING;
import static com.mirl.runbed.tests.Harness.NOTICE_NOT_RUNNING;
import static com.mirl.runbed.tests.Harness.NOTICE_RESTARTING;
import static com.mirl.runbed.tests.Harness.TAG_ERROR;
import static com.mirl.runbed.tests.Harness.TAG_MAIN;
import static com.mirl.runbed.tests.Harness.error;
import static com.mirl.runbed.tests.Harness.logLine;
import static com.mirl.runbed.tests.Harness.progress;
import static org.junit.Assert.assertArrayEquals;
import static org.junit.Assert.assertEquals;
import static org.junit.Assert.assertFalse;
import static org.junit.Assert.assertNotNull;
import static org.junit.Assert.assertNull;
import static org.junit.Assert.assertSame;
import static org.junit.Assert.assertTrue;
import static org.junit.Assert.fail;

import com.mirl.runbed.Main;
import java.io.FileNotFoundException;
import java.io.IOException;
import java.io.UncheckedIOException;
import java.net.URL;
import java.net.URLClassLoader;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collections;
import java.util.List;
import java.util.ServiceLoader;
import java.util.jar.JarFile;
import java.util.zip.ZipEntry;
import org.junit.After;
import org.junit.Before;
import org.junit.Rule;
import org.junit.Test;
import org.junit.rules.TemporaryFolder;

/** Load cycles, restarts, the client contract, runMethod and class and resource service. */
public class LoadCycleTest {

    @Rule
    public TemporaryFolder tmp = new TemporaryFolder();

    private Path cjars;

    @Before
    public void setUp() throws Exception {
        for (String p : new String[] {"testclient.mode", "testclient.starts", "testclient.stopped"}) {
            System.clearProperty(p);
        }
        cjars = tmp.newFolder("cjars").toPath();
        Support.pack(tmp.getRoot().toPath(), cjars.resolve("client.app"), "1.0");
    }

    @After
    public void tearDown() {
        System.clearProperty("testclient.mode");
    }

    @Test
    public void aRestartRequestReloadsThePackagesAndStartsTheNewestAgain() throws Exception {
        System.setProperty("testclient.mode", "restart-once");
        Path newer = cjars.resolve("newer.app");
        Harness.Run run = new Harness.Run();
        run.sink.onFirstStart = () -> {
            try {
                Support.pack(tmp.getRoot().toPath(), newer, "1.1");
            } catch (IOException e) {
                throw new UncheckedIOException(e);
            }
        };
        Harness.main(run, cjars.toString(), Support.SUFFIX, Support.KEY, Support.MAIN_CLASS, Support.START, Support.STOP);

        assertEquals(Arrays.asList(progress(NOTICE_LOADING), progress(NOTICE_RESTARTING), progress(NOTICE_LOADING),
                progress(NOTICE_NOT_RUNNING)), run.sink.notices());
        List<Object> loaders = run.sink.values("client-start");
        assertEquals(2, loaders.size());
        ClassLoader first = (ClassLoader) loaders.get(0);
        ClassLoader second = (ClassLoader) loaders.get(1);
        String closed = logLine(TAG_MAIN, LOG_LOADER_CLOSED + first.hashCode());
        Harness.assertInOrder(run.log,
                logLine(TAG_MAIN, LOG_PACKAGE_FOUND + cjars.resolve("client.app").toAbsolutePath()), closed);
        Harness.assertInOrder(run.log, closed, logLine(TAG_MAIN, LOG_PACKAGE_FOUND + newer.toAbsolutePath()));
        assertSame(second, Main.getAppInstance().getClassLoader());
        assertFalse(Main.restart);

        // The released loader serves nothing more from its package; its classes stay usable.
        assertNull(first.getResourceAsStream("res/data.txt"));
        assertNull(first.getResource("res/data.txt"));
        Class<?> old = first.loadClass(Support.MAIN_CLASS);
        assertSame(first, old.getClassLoader());
        old.getMethod(Support.STOP).invoke(null);
    }

    @Test
    public void aStartThatFailsEndsMainWithTheRealCauseReported() {
        // The start method throws; the class's static initialiser throws.
        System.setProperty("testclient.mode", "throw");
        String[][] cases = {{Support.MAIN_CLASS, "java.lang.IllegalStateException: client refused to start"},
                {"com.qv.java.client.FailingInit", "java.lang.IllegalStateException: no setting"}};
        for (String[] c : cases) {
            Harness.Run run = Harness.main(cjars.toString(), Support.SUFFIX, Support.KEY, c[0], Support.START, Support.STOP);
            assertEquals(run.log, Arrays.asList(progress(NOTICE_LOADING), error(c[1])), run.sink.notices());
            assertTrue(run.log, run.log.contains("Caused by: " + c[1]));
            assertTrue(run.log, run.log.contains(logLine(TAG_ERROR, c[1])));
        }
    }

    @Test
    public void theStartMethodIsTheOverloadTheSinkCanBePassedTo() {
        Harness.Run run = Harness.main(cjars.toString(), Support.SUFFIX, Support.KEY, "com.qv.java.client.Overloaded",
                Support.START, Support.STOP);
        assertEquals(run.log, Arrays.asList(progress(NOTICE_LOADING), progress(NOTICE_NOT_RUNNING)),
                run.sink.notices());
        assertNotNull(run.sink.clientLoader());
    }

    @Test
    public void aRestartedClientIsNotHeldByValuesItLeftInThreadLocals() {
        // Each start leaves 8 MB of statics behind a thread-local of its
        // thread: ten of them do not fit this test's heap of 64 MB together.
        System.setProperty("hoarder.runs", "10");
        try {
            Harness.Run run = Harness.main(cjars.toString(), Support.SUFFIX, Support.KEY, "com.qv.java.client.Hoarder",
                    Support.START, Support.STOP);
            assertEquals(run.log, 10, run.sink.values("hoarder-start").size());
            assertTrue(run.log, run.sink.notices().contains(progress(NOTICE_NOT_RUNNING)));
            assertEquals(run.log, 0, Harness.count(run.log, " " + TAG_ERROR + " "));
        } finally {
            System.clearProperty("hoarder.runs");
            System.clearProperty("hoarder.starts");
        }
    }

    @Test
    public void aStartClassWhoseMethodsCannotBeListedIsReportedLikeAFailingStart() throws Exception {
        // Broken's method list names Missing, which this package lacks.
        Path file = cjars.resolve("client.app");
        RawPackage p = RawPackage.parse(Files.readAllBytes(file), Support.KEY);
        List<Object[]> records = p.records();
        records.removeIf(r -> r[0].equals("com/qv/java/client/Missing.class"));
        p.setRecords(records);
        Files.write(file, p.build(Support.KEY));
        Harness.Run run = Harness.main(cjars.toString(), Support.SUFFIX, Support.KEY, "com.qv.java.client.Broken", "make",
                Support.STOP);
        assertEquals(run.log, Arrays.asList(progress(NOTICE_LOADING),
                error("java.lang.NoClassDefFoundError: com/qv/java/client/Missing")), run.sink.notices());
        assertTrue(run.log, run.log.contains("Caused by: java.lang.ClassNotFoundException: com.qv.java.client.Missing"));
    }

    @Test
    public void aMissingStartMethodIsReported() {
        Harness.Run run = Harness.main(cjars.toString(), Support.SUFFIX, Support.KEY, Support.MAIN_CLASS, "noSuchStart",
                Support.STOP);
        assertEquals(Arrays.asList(progress(NOTICE_LOADING), error(ERROR_NO_START_METHOD)), run.sink.notices());
        assertTrue(run.log.startsWith(run.log.substring(0, run.log.indexOf(' ')) + logLine(TAG_MAIN, LOG_START)));
    }

    @Test
    public void theStartMethodRunsWithThePackageLoaderAsContextLoader() {
        ClassLoader before = Thread.currentThread().getContextClassLoader();
        Harness.Run run = Harness.launch(cjars);
        ClassLoader loader = run.sink.clientLoader();
        assertTrue(loader instanceof Main);
        assertSame(loader, run.sink.values("client-context").get(0));
        assertSame(before, Thread.currentThread().getContextClassLoader());
    }

    @Test
    public void runMethodResults() throws Exception {
        Main.setAppInstance(null);
        assertEquals(1, Main.runMethod(Support.STOP));
        assertEquals(1, Main.endServer());

        Harness.launch(cjars);
        assertEquals(0, Main.endServer());
        assertEquals("yes", System.getProperty("testclient.stopped"));
        assertEquals(0, Main.runMethod("twoShapes"));
        assertEquals(3, Main.runMethod("noSuchMethod"));
        assertEquals(3, Main.runMethod("fails"));

        // A class whose method list cannot be built: its signature names a missing class.
        Path dir = tmp.newFolder("broken").toPath();
        try (JarFile jar = new JarFile(Support.clientJar().toFile())) {
            ZipEntry entry = jar.getEntry("com/qv/java/client/Broken.class");
            Path file = dir.resolve(entry.getName());
            Files.createDirectories(file.getParent());
            Files.copy(jar.getInputStream(entry), file);
        }
        try (URLClassLoader loader = new URLClassLoader(new URL[] {dir.toUri().toURL()})) {
            Main.setAppInstance(loader.loadClass("com.qv.java.client.Broken"));
            assertEquals(2, Main.runMethod("make"));
        }
    }

    @Test
    public void resourcesComeFromThePackageByExactNameThroughStreamsAndUrls() throws Exception {
        Harness.Run run = Harness.launch(cjars);
        ClassLoader loader = run.sink.clientLoader();
        assertEquals("data of the package", PackageReadingTest.read(loader.getResourceAsStream("res/data.txt")));
        assertNull("no leading / is removed", loader.getResourceAsStream("/res/data.txt"));
        assertNull(loader.getResource("/res/data.txt"));
        assertNull(loader.getResource("res/absent.txt"));
        assertNotNull("parents still serve", loader.getResourceAsStream("java/lang/Object.class"));

        for (String name : Support.RESOURCES.keySet()) {
            URL url = loader.getResource(name);
            assertNotNull(name, url);
            assertEquals("runbed", url.getProtocol());
            byte[] expected = Support.RESOURCES.get(name).getBytes("UTF-8");
            assertArrayEquals(name, expected, PackageReadingTest.readBytes(url.openStream()));
            assertEquals(Collections.singletonList(url), Collections.list(loader.getResources(name)));
            assertEquals(url.toString(), url.toURI().toString()); // the text is a valid URI
        }
        URL data = loader.getResource("res/data.txt");
        assertEquals("next to data", PackageReadingTest.read(new URL(data, "relative.txt").openStream()));
        try {
            new URL(data, "absent.txt").openStream();
            fail("a missing entry has no stream");
        } catch (FileNotFoundException expected) {
            // as for a missing file
        }
    }

    @Test
    public void resourceUrlsResolveFromTheirTextWithoutTakingTheHandlerFactory() throws Exception {
        ClassLoader loader = Harness.launch(cjars).sink.clientLoader();
        for (int round = 0; round < 2; round++) {
            for (String name : Support.RESOURCES.keySet()) {
                URL url = loader.getResource(name);
                byte[] expected = Support.RESOURCES.get(name).getBytes("UTF-8");
                assertArrayEquals(name, expected, PackageReadingTest.readBytes(new URL(url.toString()).openStream()));
                assertArrayEquals(name, expected, PackageReadingTest.readBytes(url.toURI().toURL().openStream()));
            }
            // Only percent escapes are decoded: a "+" is a "+".
            URL data = loader.getResource("res/data.txt");
            assertEquals("plus", PackageReadingTest.read(new URL(data, "c++.xsd").openStream()));
            assertEquals("plus", PackageReadingTest.read(new URL(data.toString().replace("data.txt", "c++.xsd"))
                    .openStream()));
            assertEquals("spaces", PackageReadingTest.read(new URL(data, "c%20%20.xsd").openStream()));
            // The VM's one handler factory is still the client's to set, and
            // URL texts resolve after it too.
            if (round == 0) {
                URL.setURLStreamHandlerFactory(protocol -> null);
            }
        }
    }

    @Test
    public void classesNameThePackageFileAsTheirCodeSource() throws Exception {
        ClassLoader loader = Harness.launch(cjars).sink.clientLoader();
        assertEquals(cjars.resolve("client.app").toUri().toURL(), loader.loadClass(Support.MAIN_CLASS)
                .getProtectionDomain().getCodeSource().getLocation());
    }

    @Test
    public void sameNamedResourcesOfSeveralInputsAreAllServedInInputOrder() throws Exception {
        Path second = tmp.newFolder("second").toPath();
        Files.createDirectories(second.resolve("res"));
        Files.write(second.resolve("res/data.txt"), "second copy".getBytes("UTF-8"));
        Path third = tmp.newFolder("third").toPath();
        Files.createDirectories(third.resolve("res"));
        Files.write(third.resolve("res/data.txt"), "third copy".getBytes("UTF-8"));
        Support.packInputs(cjars.resolve("client.app"), "1.0", Support.clientJar().toString(),
                Support.resourceDir(tmp.getRoot().toPath()).toString(), second.toString(), third.toString());
        ClassLoader loader = Harness.launch(cjars).sink.clientLoader();
        assertEquals("data of the package", PackageReadingTest.read(loader.getResourceAsStream("res/data.txt")));
        assertEquals("data of the package", PackageReadingTest.read(loader.getResource("res/data.txt").openStream()));
        List<String> copies = new ArrayList<>();
        for (URL url : Collections.list(loader.getResources("res/data.txt"))) {
            copies.add(PackageReadingTest.read(url.openStream()));
        }
        assertEquals(Arrays.asList("data of the package", "second copy", "third copy"), copies);
        assertEquals(1, Collections.list(loader.getResources("res/relative.txt")).size());
    }

    @Test
    public void aMultiReleaseJarServesTheHighestVersionTheRuntimeRuns() throws Exception {
        int runtime = Runtime.version().feature();
        for (boolean multiRelease : new boolean[] {true, false}) {
            Path jar = tmp.getRoot().toPath().resolve("versions-" + multiRelease + ".jar");
            java.util.jar.Manifest manifest = new java.util.jar.Manifest();
            manifest.getMainAttributes().putValue("Manifest-Version", "1.0");
            if (multiRelease) {
                manifest.getMainAttributes().putValue("Multi-Release", "true");
            }
            try (java.util.jar.JarOutputStream out = new java.util.jar.JarOutputStream(Files.newOutputStream(jar),
                    manifest)) {
                for (String[] entry : new String[][] {{"res/which.txt", "base"},
                        {"META-INF/versions/9/res/which.txt", "9"}, {"META-INF/versions/9/res/only.txt", "9"},
                        {"META-INF/versions/" + runtime + "/res/which.txt", String.valueOf(runtime)},
                        {"META-INF/versions/" + (runtime + 1) + "/res/which.txt", "later"}}) {
                    out.putNextEntry(new ZipEntry(entry[0]));
                    out.write(entry[1].getBytes("UTF-8"));
                }
            }
            Support.packInputs(cjars.resolve("client.app"), "1.0", Support.clientJar().toString(), jar.toString());
            ClassLoader loader = Harness.launch(cjars).sink.clientLoader();
            assertEquals(multiRelease ? String.valueOf(runtime) : "base", PackageReadingTest.read(
                    loader.getResourceAsStream("res/which.txt")));
            assertEquals(multiRelease ? String.valueOf(runtime) : "base", PackageReadingTest.read(
                    loader.getResource("res/which.txt").openStream()));
            assertEquals(multiRelease, loader.getResource("res/only.txt") != null);
        }
    }

    @Test
    public void serviceLoaderFindsProvidersInThePackage() {
        System.setProperty("testclient.mode", "services");
        Harness.Run run = Harness.launch(cjars);
        assertEquals(Collections.singletonList("com.qv.java.client.Greeter"), run.sink.values("client-services"));
        List<String> names = new ArrayList<>();
        for (Runnable service : ServiceLoader.load(Runnable.class, run.sink.clientLoader())) {
            names.add(service.getClass().getName());
            assertSame(run.sink.clientLoader(), service.getClass().getClassLoader());
        }
        assertEquals(Collections.singletonList("com.qv.java.client.Greeter"), names);
    }
}
