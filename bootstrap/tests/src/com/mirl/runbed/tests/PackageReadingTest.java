package com.mirl.runbed.tests;

import static com.mirl.runbed.tests.Harness.ERROR_EXECUTABLE_TOO_SHORT;
import static com.mirl.runbed.tests.Harness.ERROR_INVALID_PACKAGE;
import static com.mirl.runbed.tests.Harness.ERROR_NO_PACKAGE;
import static com.mirl.runbed.tests.Harness.ERROR_NO_START_CLASS;
import static com.mirl.runbed.tests.Harness.LOG_BLOCK_SHORT;
import static com.mirl.runbed.tests.Harness.LOG_PACKAGE_FOUND;
import static com.mirl.runbed.tests.Harness.NOTICE_LOADING;
import static com.mirl.runbed.tests.Harness.NOTICE_NOT_RUNNING;
import static com.mirl.runbed.tests.Harness.TAG_MAIN;
import static com.mirl.runbed.tests.Harness.error;
import static com.mirl.runbed.tests.Harness.logLine;
import static com.mirl.runbed.tests.Harness.progress;
import static org.junit.Assert.assertArrayEquals;
import static org.junit.Assert.assertEquals;
import static org.junit.Assert.assertFalse;
import static org.junit.Assert.assertNotNull;
import static org.junit.Assert.assertNull;
import static org.junit.Assert.assertTrue;
import static org.junit.Assert.fail;

import com.mirl.runbed.Main;
import com.mirl.runbed.MainAccess;
import java.io.ByteArrayInputStream;
import java.io.DataInputStream;
import java.io.InputStream;
import java.lang.reflect.Field;
import java.lang.reflect.Modifier;
import java.nio.ByteBuffer;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Arrays;
import java.util.List;
import java.util.Map;
import java.util.Random;
import java.util.zip.Deflater;
import org.junit.Before;
import org.junit.Rule;
import org.junit.Test;
import org.junit.rules.TemporaryFolder;

/** Which packages the loader accepts, refuses or passes over, and executable containers. */
public class PackageReadingTest {

    private static final String NO_PACKAGE = error(ERROR_NO_PACKAGE);
    private static final String NO_CLASS = error(ERROR_NO_START_CLASS);

    @Rule
    public TemporaryFolder tmp = new TemporaryFolder();

    private Path cjars;
    private byte[] valid;

    @Before
    public void setUp() throws Exception {
        System.clearProperty("testclient.mode");
        cjars = tmp.newFolder("cjars").toPath();
        valid = Support.pack(tmp.getRoot().toPath(), tmp.getRoot().toPath().resolve("valid.app"), "1.0");
    }

    private Harness.Run launchWith(byte[]... packages) throws Exception {
        for (int i = 0; i < packages.length; i++) {
            Files.write(cjars.resolve("p" + i + ".app"), packages[i]);
        }
        return Harness.launch(cjars);
    }

    private static void assertStarted(Harness.Run run) {
        assertNotNull(run.log, run.sink.clientLoader());
        assertEquals(Arrays.asList(progress(NOTICE_LOADING), progress(NOTICE_NOT_RUNNING)), run.sink.notices());
    }

    private static void assertNotStarted(Harness.Run run, String... notices) {
        assertNull(run.log, run.sink.clientLoader());
        List<String> expected = new java.util.ArrayList<>();
        expected.add(progress(NOTICE_LOADING));
        expected.addAll(Arrays.asList(notices));
        assertEquals(run.log, expected, run.sink.notices());
    }

    /**
     * The loader must stay one class, so it keeps its own copy of the layout
     * values the package tool writes by, and of its texts, which these tests
     * spell out again: each copy must still say what the other says.
     */
    @Test
    public void theLoadersNamedValuesAgreeWithThePackageToolAndTheTests() throws Exception {
        String[][] layout = {
            {"HEADER_NUMBERS", "PackageFormat", "HEADER_NUMBERS"},
            {"CYCLE_NO_CLIENT", "CycleOutcome", "CYCLE_NO_CLIENT"},
            {"CYCLE_START_FAILED", "CycleOutcome", "CYCLE_START_FAILED"},
            {"CYCLE_START_RETURNED", "CycleOutcome", "CYCLE_START_RETURNED"},
            {"HEADER_INDEX_RAW", "PackageFormat", "HEADER_INDEX_RAW"},
            {"HEADER_INDEX_STORED", "PackageFormat", "HEADER_INDEX_STORED"},
            {"HEADER_INDEX_CRC", "PackageFormat", "HEADER_INDEX_CRC"},
            {"HEADER_CONTENT_RAW", "PackageFormat", "HEADER_CONTENT_RAW"},
            {"HEADER_CONTENT_STORED", "PackageFormat", "HEADER_CONTENT_STORED"},
            {"HEADER_CONTENT_CRC", "PackageFormat", "HEADER_CONTENT_CRC"},
            {"HEADER_ENTRY_COUNT", "PackageFormat", "HEADER_ENTRY_COUNT"},
            {"MAX_INFLATE_RATIO", "PackageFormat", "MAX_INFLATE_RATIO"},
            {"MIN_INDEX_RECORD", "PackageFormat", "MIN_INDEX_RECORD"},
            {"POINTER_OFFSET", "PackageFormat", "POINTER_OFFSET"},
            {"MIN_CONTAINER_LENGTH", "ExecutableContainer", "MIN_LENGTH"},
            {"MIN_EMBEDDED_SIZE", "ExecutableContainer", "MIN_PACKAGE_SIZE"},
            {"LAUNCH_PACKAGE_LOCATION", "LaunchStrings", "LAUNCH_PACKAGE_LOCATION"},
            {"LAUNCH_PACKAGE_SUFFIX", "LaunchStrings", "LAUNCH_PACKAGE_SUFFIX"},
            {"LAUNCH_PACKAGE_KEY", "LaunchStrings", "LAUNCH_PACKAGE_KEY"},
            {"LAUNCH_MAIN_CLASS", "LaunchStrings", "LAUNCH_MAIN_CLASS"},
            {"LAUNCH_START_METHOD", "LaunchStrings", "LAUNCH_START_METHOD"},
            {"LAUNCH_STOP_METHOD", "LaunchStrings", "LAUNCH_STOP_METHOD"},
            {"LAUNCH_STRING_COUNT", "LaunchStrings", "LAUNCH_STRING_COUNT"},
        };
        Map<String, Object> loader = MainAccess.namedValues();
        for (String[] value : layout) {
            Field tool = Class.forName("com.mirl.apppack." + value[1]).getDeclaredField(value[2]);
            tool.setAccessible(true);
            assertEquals(value[0], tool.get(null), loader.get(value[0]));
        }
        int texts = 0;
        for (Field text : Harness.class.getDeclaredFields()) {
            if (Modifier.isStatic(text.getModifiers()) && text.getName().matches("(NOTICE|ERROR|TAG|LOG)_.*")) {
                assertTrue(text.getName(), loader.containsKey(text.getName()));
                assertEquals(text.getName(), text.get(null), loader.get(text.getName()));
                texts++;
            }
        }
        assertEquals(14, texts);
    }

    @Test
    public void aPackageOfAnotherKeyOrWithAClearTextChangedAfterSealingIsRefused() throws Exception {
        Path other = cjars.resolve("other.app");
        Support.pack(tmp.getRoot().toPath(), other, "1.0", "--key", "0000000000000000");
        Harness.Run run = Harness.launch(cjars);
        assertNotStarted(run, NO_PACKAGE, NO_CLASS);
        assertTrue(run.log, run.log.contains("does not decrypt"));
        assertEquals("valid for its own key", 0, Support.apppack("verify", "--key", "0000000000000000",
                other.toString()).status);
        Files.delete(other);

        for (int text = 0; text < 2; text++) {
            RawPackage changed = RawPackage.parse(valid, Support.KEY);
            if (text == 0) {
                changed.version = "9.0";
            } else {
                changed.check = "changed";
            }
            byte[] pkg = changed.build(Support.KEY);
            // The scan's header check refuses it ...
            assertNotStarted(launchWith(pkg), NO_PACKAGE, NO_CLASS);
            // ... and so does the full read, which alone decides for an executable.
            Path exe = tmp.getRoot().toPath().resolve("client.exe");
            byte[] file = Arrays.copyOf(new byte[200], 200 + pkg.length);
            System.arraycopy(pkg, 0, file, 200, pkg.length);
            ByteBuffer.wrap(file, 80, 8).putInt(200).putInt(pkg.length);
            Files.write(exe, file);
            assertNotStarted(launchExe(exe), NO_CLASS);
        }
    }

    @Test
    public void aSealedHeaderWithoutTextsIsNoCandidateAndTheFailureIsLogged() throws Exception {
        RawPackage bare = RawPackage.parse(valid, Support.KEY);
        bare.sealTexts = false;
        Harness.Run run = launchWith(bare.build(Support.KEY));
        assertNotStarted(run, NO_PACKAGE, NO_CLASS);
        assertTrue(run.log, run.log.contains("EOFException"));
    }

    @Test
    public void aBadChecksumPassesTheHighestPackageOverForTheNext() throws Exception {
        byte[] high = Support.pack(tmp.getRoot().toPath(), tmp.getRoot().toPath().resolve("high.app"), "2.0");
        RawPackage parsed = RawPackage.parse(high, Support.KEY);
        int index = RawPackage.indexBlockOffset(high);
        int content = index + parsed.indexStoredLength;
        // Byte 9 of a gzip stream (the OS field) is ignored by the decompressor:
        // only the checksum can tell that such a block was changed.
        for (int at : new int[] {index + 12, index + 9, content + 9}) {
            byte[] damaged = high.clone();
            damaged[at] ^= 0x40;
            Files.write(cjars.resolve("high.app"), damaged);
            Files.write(cjars.resolve("low.app"), valid);
            Harness.Run run = Harness.launch(cjars);
            assertStarted(run);
            assertEquals(run.log, 1, Harness.count(run.log, ERROR_INVALID_PACKAGE));
            Harness.assertInOrder(run.log, "IllegalArgumentException\n", ERROR_INVALID_PACKAGE);
            assertTrue(run.log, run.log.contains(LOG_PACKAGE_FOUND + cjars.resolve("low.app").toAbsolutePath()));
        }
    }

    @Test
    public void aMainClassTheRuntimeCannotDefinePassesThePackageOver() throws Exception {
        Files.write(cjars.resolve("low.app"), valid);
        for (String error : new String[] {"UnsupportedClassVersionError", "ClassFormatError"}) {
            RawPackage high = RawPackage.parse(valid, Support.KEY);
            high.version = "2.0";
            high.sealedVersion = "2.0";
            List<Object[]> records = high.records();
            for (Object[] r : records) {
                if (r[0].equals("com/qv/java/client/QvClientMain.class")) {
                    if (error.equals("ClassFormatError")) {
                        r[2] = 40; // cut short
                    } else {
                        high.contentRaw[(Integer) r[1] + 6] = 0; // class-file version 99
                        high.contentRaw[(Integer) r[1] + 7] = 99;
                    }
                }
            }
            high.setRecords(records);
            Files.write(cjars.resolve("high.app"), high.build(Support.KEY));
            Harness.Run run = Harness.launch(cjars);
            assertStarted(run);
            assertTrue(run.log, run.log.contains(" Main java.lang." + error + ": "));
            assertTrue(run.log, run.log.contains(LOG_PACKAGE_FOUND + cjars.resolve("low.app").toAbsolutePath()));
        }
    }

    @Test
    public void impossibleLengthsAreRefusedBeforeAnythingIsAllocated() throws Exception {
        // The test JVM runs with a small heap: an attempt to allocate any of these would fail the test.
        Object[][] cases = {{3, Integer.MAX_VALUE}, {3, -1}, {0, Integer.MAX_VALUE - 8}, {0, -7}, {4, -1},
            {1, Integer.MAX_VALUE}, {6, Integer.MAX_VALUE / 2}, {6, -3}};
        for (Object[] c : cases) {
            RawPackage p = RawPackage.parse(valid, Support.KEY);
            p.numbers[(Integer) c[0]] = (Integer) c[1];
            Files.write(cjars.resolve("p0.app"), p.build(Support.KEY));
            Harness.Run run = Harness.launch(cjars);
            assertNotStarted(run, NO_CLASS);
            assertTrue("field " + c[0] + " = " + c[1], run.log.contains(ERROR_INVALID_PACKAGE));
        }
    }

    @Test
    public void aContentTooLargeForTheHeapFailsOnlyThatPackage() throws Exception {
        // Incompressible content claimed to inflate a thousandfold: possible for
        // deflate, but far beyond the test JVM's heap. The next package loads.
        // The noise outweighs the client's compressible classes, so that the
        // claim stays below the loader's bound on a deflate stream's ratio.
        RawPackage huge = RawPackage.parse(valid, Support.KEY);
        byte[] noise = new byte[1024 * 1024];
        new java.util.Random(7).nextBytes(noise);
        int used = huge.contentRaw.length;
        huge.contentRaw = Arrays.copyOf(huge.contentRaw, used + noise.length);
        System.arraycopy(noise, 0, huge.contentRaw, used, noise.length);
        huge.numbers[3] = huge.contentRaw.length * 1000;
        huge.version = "2.0";
        huge.sealedVersion = "2.0";
        Files.write(cjars.resolve("high.app"), huge.build(Support.KEY));
        Files.write(cjars.resolve("low.app"), valid);
        Harness.Run run = Harness.launch(cjars);
        assertStarted(run);
        // Refused before the allocation: running out of memory would have the
        // launcher's VM write a heap dump into the install folder.
        assertTrue(run.log, run.log.contains("raw length of " + huge.numbers[3] + " bytes exceeds the free heap"));
        assertFalse(run.log, run.log.contains("OutOfMemoryError"));
        assertTrue(run.log, run.log.contains(LOG_PACKAGE_FOUND + cjars.resolve("low.app").toAbsolutePath()));
    }

    @Test
    public void anEntryOutsideTheContentMakesThePackageInvalid() throws Exception {
        for (int[] range : new int[][] {{-1, 4}, {0, -1}, {Integer.MAX_VALUE, 2}, {10, 1 << 30}}) {
            RawPackage p = RawPackage.parse(valid, Support.KEY);
            List<Object[]> records = p.records();
            records.add(new Object[] {"res/outside.txt", range[0], range[1]});
            p.setRecords(records);
            Harness.Run run = launchWith(p.build(Support.KEY));
            assertNotStarted(run, NO_CLASS);
            assertTrue(run.log, run.log.contains("lies outside the content"));
        }
        RawPackage atEnd = RawPackage.parse(valid, Support.KEY);
        List<Object[]> records = atEnd.records();
        records.add(new Object[] {"res/empty-at-end.txt", atEnd.contentRaw.length, 0});
        atEnd.setRecords(records);
        Harness.Run run = launchWith(atEnd.build(Support.KEY));
        assertStarted(run);
        assertEquals(-1, run.sink.clientLoader().getResourceAsStream("res/empty-at-end.txt").read());
    }

    @Test
    public void aBlockThatEndsBeforeItsRawLengthLoadsButNothingOfItsMissingTailIsServed() throws Exception {
        // The index: its records are read from what the block gave.
        RawPackage longer = RawPackage.parse(valid, Support.KEY);
        longer.numbers[0] = longer.indexRaw.length + 10;
        Harness.Run run = launchWith(longer.build(Support.KEY));
        assertStarted(run);
        assertTrue(run.log, run.log.contains(logLine(TAG_MAIN, LOG_BLOCK_SHORT + 10)));
        assertVerified(true);

        // Only a record that reaches into the missing tail fails the package.
        longer.numbers[0] = longer.indexRaw.length + 20;
        longer.numbers[6] = longer.entryCount + 1;
        run = launchWith(longer.build(Support.KEY));
        assertNotStarted(run, NO_CLASS);
        Harness.assertInOrder(run.log, logLine(TAG_MAIN, LOG_BLOCK_SHORT + 20), ERROR_INVALID_PACKAGE);
        assertVerified(false);

        // The content: an entry reaching into the missing tail is not found, every other one is served.
        RawPackage shorter = RawPackage.parse(valid, Support.KEY);
        List<Object[]> records = shorter.records();
        records.add(new Object[] {"res/tail.txt", shorter.contentRaw.length - 2, 5});
        shorter.setRecords(records);
        shorter.numbers[3] = shorter.contentRaw.length + 10;
        run = launchWith(shorter.build(Support.KEY));
        assertStarted(run);
        assertTrue(run.log, run.log.contains(logLine(TAG_MAIN, LOG_BLOCK_SHORT + 10)));
        assertNull(run.sink.clientLoader().getResourceAsStream("res/tail.txt"));
        assertNull(run.sink.clientLoader().getResource("res/tail.txt"));
        assertEquals("data of the package", read(run.sink.clientLoader().getResourceAsStream("res/data.txt")));
        assertVerified(true);
    }

    @Test
    public void aLargeContentServesItsLastEntryWhileInflatingButNothingOfItsMissingTail() throws Exception {
        // Large enough to be inflated on the loader's own thread, and to take a while there.
        RawPackage p = RawPackage.parse(valid, Support.KEY);
        int base = p.contentRaw.length;
        byte[] content = Arrays.copyOf(p.contentRaw, base + (4 << 20));
        Random random = new Random(23);
        for (int i = base; i < content.length; i++) {
            content[i] = (byte) ('a' + random.nextInt(16));
        }
        p.contentRaw = content;
        List<Object[]> records = p.records();
        records.add(new Object[] {"res/last.bin", content.length - 1000, 1000});
        records.add(new Object[] {"res/tail.bin", content.length - 10, 20});
        p.setRecords(records);
        p.numbers[3] = content.length + 10;
        byte[] pkg = p.build(Support.KEY);

        MainAccess.setPackageKey(Support.KEY);
        Main loader = new Main();
        MainAccess.readPackage(loader, new DataInputStream(new ByteArrayInputStream(pkg)));
        // Asked at once, long before the inflater gets there: waits for its bytes, not zeros.
        InputStream last = loader.getResourceAsStream("res/last.bin");
        assertNotNull(last);
        assertArrayEquals(Arrays.copyOfRange(content, content.length - 1000, content.length), last.readAllBytes());
        assertNull(loader.getResourceAsStream("res/tail.bin"));
        assertNull(loader.getResource("res/tail.bin"));
        assertEquals("data of the package", read(loader.getResourceAsStream("res/data.txt")));
        assertNotNull(loader.loadClass(Support.MAIN_CLASS));
    }

    @Test
    public void contentWithRestartPointsIsInflatedByChunksAndWholeWhereTheyDoNotHold() throws Exception {
        RawPackage p = RawPackage.parse(valid, Support.KEY);
        int base = p.contentRaw.length;
        byte[] content = Arrays.copyOf(p.contentRaw, base + (1 << 20));
        new Random(29).nextBytes(content);
        System.arraycopy(p.contentRaw, 0, content, 0, base);
        p.contentRaw = content;
        int chunk = 65536;
        int chunks = (content.length + chunk - 1) / chunk;
        List<Object[]> records = p.records();
        records.add(new Object[] {"res/spans.bin", base - 5, 200000}); // over four chunks
        for (int i = 4; i < chunks; i++) { // read in order: the loader's thread inflates ahead
            records.add(new Object[] {"res/at" + i + ".bin", i * chunk + 7, 100});
        }
        records.add(new Object[] {"res/last.bin", content.length - 1, 1});
        p.setRecords(records);
        for (int spoilt : new int[] {-1, chunks - 1}) {
            p.contentBlock = RawPackage.gzipWithRestartPoints(content, chunk, spoilt);
            Main loader = read(p.build(Support.KEY));
            assertEquals(records.size() - 1, servedAsPacked(loader, content, records)); // all but ENTRIES
            // A list whose CRCs do not combine to the member's is not used: the content is inflated whole.
            assertEquals(spoilt >= 0, MainAccess.contentBytes(loader) != null);
            assertNotNull(loader.loadClass(Support.MAIN_CLASS));
        }
    }

    /**
     * Stored bytes whose CRC holds may still not inflate to what the writer
     * meant (a faulty writer's deflate data, a restart-point list that does
     * not fit it): the loader serves no byte before the check that vouches
     * for it held, and apppack verify, which reads through the loader's
     * code, says the same of each package.
     */
    @Test
    public void noByteIsServedBeforeTheCheckThatVouchesForItHeld() throws Exception {
        RawPackage p = RawPackage.parse(valid, Support.KEY);
        p.version = p.sealedVersion = "2.0";
        int base = p.contentRaw.length;
        byte[] content = Arrays.copyOf(p.contentRaw, base + 1300000);
        Random random = new Random(37);
        for (int i = base; i < content.length; i++) {
            content[i] = (byte) ('a' + random.nextInt(20));
        }
        List<Object[]> records = p.records();
        int clientRecords = records.size();
        for (int i = 0; i < 80; i++) {
            records.add(new Object[] {"res/r" + i + ".txt", base + i * 16250, 16250});
        }
        p.contentRaw = content;
        p.setRecords(records);
        Files.write(cjars.resolve("p1.app"), valid);

        // Deflate data damaged under a CRC that holds, as one plain member: the package
        // fails before anything of it is served, and the lower version starts.
        byte[] plain = RawPackage.gzip(content);
        damage(plain, plain.length * 3 / 10);
        p.contentBlock = plain;
        Harness.Run run = launchWith(p.build(Support.KEY));
        assertStarted(run);
        assertTrue(run.log, run.log.contains(LOG_PACKAGE_FOUND + cjars.resolve("p1.app").toAbsolutePath()));
        assertVerified(false);

        // The same with restart points: the damaged chunks' entries are not served, every other is.
        int[] lengths = new int[81];
        Arrays.fill(lengths, 16250);
        lengths[0] = base;
        byte[] chunked = RawPackage.gzipWithRestartPoints(content, lengths, list -> { });
        damage(chunked, chunked.length * 3 / 10);
        p.contentBlock = chunked;
        byte[] pkg = p.build(Support.KEY);
        Main loader = read(pkg);
        int served = servedAsPacked(loader, content, records);
        assertTrue(served + " of " + records.size(), served > records.size() / 2 && served < records.size() - 1);
        String damaged = null;
        for (Object[] r : records) {
            if (loader.getResourceAsStream((String) r[0]) == null) {
                damaged = (String) r[0];
            }
        }
        try {
            loader.getResource(damaged).openStream();
            fail("a damaged entry was served");
        } catch (java.io.IOException e) {
            assertTrue(e.getMessage(), e.getMessage().contains("package") && e.getMessage().contains(damaged));
        }
        Files.write(cjars.resolve("p0.app"), pkg);
        assertVerified(false);

        // A list whose raw lengths are shifted by 100 bytes, CRCs to match: the first two
        // chunks do not inflate to their listed lengths, and the package fails before its
        // main class is loaded.
        p.contentBlock = RawPackage.gzipWithRestartPoints(content, lengths, list -> {
            list[0][0] -= 100;
            list[1][0] += 100;
            list[0][2] = RawPackage.crc(content, 0, base - 100);
            list[1][2] = RawPackage.crc(content, base - 100, base + 16250);
        });
        pkg = p.build(Support.KEY);
        assertEquals(records.size() - clientRecords - 1, servedAsPacked(read(pkg), content, records));
        run = launchWith(pkg);
        assertTrue(run.log, run.log.contains(LOG_PACKAGE_FOUND + cjars.resolve("p1.app").toAbsolutePath()));
        assertVerified(false);

        // A chunk that starts inside a stored block decodes on its own to bytes no gzip reader
        // gets: its list cannot combine to the member's CRC, so it is not used.
        byte[] a = new byte[8000];
        random.nextBytes(a);
        byte[] x = null;
        byte[] b = null;
        for (int zeros = 0; b == null || b.length != x.length; zeros++) { // deflate(x) as long as x
            x = Arrays.copyOf(Arrays.copyOf(a, 3000), 3000 + zeros);
            b = deflate(x, Deflater.DEFAULT_COMPRESSION);
        }
        byte[] ab = Arrays.copyOf(a, a.length + b.length);
        System.arraycopy(b, 0, ab, a.length, b.length);
        byte[] stored = deflate(ab, Deflater.NO_COMPRESSION);
        assertEquals("one stored block", ab.length + 5, stored.length);
        RawPackage s = RawPackage.parse(valid, Support.KEY);
        s.contentRaw = ab;
        s.setRecords(Arrays.asList(new Object[] {"res/a.bin", 0, a.length}, new Object[] {"res/b.bin", a.length,
            b.length}));
        s.contentBlock = RawPackage.gzipMember(stored, new int[][] {{a.length, 5 + a.length,
            RawPackage.crc(a, 0, a.length)}, {x.length, b.length, RawPackage.crc(x, 0, x.length)}},
                RawPackage.crc(ab, 0, ab.length), ab.length);
        pkg = s.build(Support.KEY);
        assertEquals(2, servedAsPacked(read(pkg), ab, s.records()));
        Files.write(cjars.resolve("p0.app"), pkg);
        Support.ToolRun verify = Support.apppack("verify", cjars.resolve("p0.app").toString());
        assertEquals(verify.err, 0, verify.status);
        assertTrue(verify.err, verify.err.contains("restart points do not hold"));
    }

    @Test
    public void aLargeEntryReadByChunksTakesNoMoreHeapThanTheWholeContent() throws Exception {
        RawPackage p = RawPackage.parse(valid, Support.KEY);
        int base = p.contentRaw.length;
        int large = 40 << 20; // of the tests' 64 MB heap
        List<Object[]> records = p.records();
        records.add(new Object[] {"res/large.bin", base, large});
        p.setRecords(records);
        p.contentRaw = Arrays.copyOf(p.contentRaw, base + large);
        p.contentBlock = RawPackage.gzipWithRestartPoints(p.contentRaw, new int[] {base, large}, list -> { });
        byte[] pkg = p.build(Support.KEY);
        p = null;
        Main loader = read(pkg);
        assertNull(MainAccess.contentBytes(loader));
        long zeros = 0;
        try (InputStream in = loader.getResourceAsStream("res/large.bin")) {
            byte[] buffer = new byte[65536];
            for (int n = in.read(buffer); n >= 0; n = in.read(buffer)) {
                for (int i = 0; i < n; i++) {
                    zeros += buffer[i] == 0 ? 1 : 0;
                }
            }
        }
        assertEquals(large, zeros);
        assertNotNull(loader.loadClass(Support.MAIN_CLASS));
    }

    /** A package loader that read pkg. */
    private static Main read(byte[] pkg) {
        MainAccess.setPackageKey(Support.KEY);
        Main loader = new Main();
        MainAccess.readPackage(loader, new DataInputStream(new ByteArrayInputStream(pkg)));
        return loader;
    }

    /** How many of the records the loader serves; every one it serves has the bytes that were packed. */
    private static int servedAsPacked(Main loader, byte[] content, List<Object[]> records) throws Exception {
        int served = 0;
        for (Object[] r : records) {
            if (r[0].equals(RawPackage.ENTRIES)) {
                continue;
            }
            InputStream in = loader.getResourceAsStream((String) r[0]);
            if (in != null) {
                int offset = (Integer) r[1];
                assertArrayEquals((String) r[0], Arrays.copyOfRange(content, offset, offset + (Integer) r[2]),
                        readBytes(in));
                served++;
            }
        }
        return served;
    }

    /** 64 bytes of a stored block changed from at on; the package's CRC is computed over them. */
    private static void damage(byte[] block, int at) {
        for (int i = at; i < at + 64; i++) {
            block[i] ^= 0x5a;
        }
    }

    private static byte[] deflate(byte[] data, int level) {
        Deflater deflater = new Deflater(level, true);
        deflater.setInput(data);
        deflater.finish();
        byte[] out = new byte[data.length * 2 + 64];
        int n = 0;
        while (!deflater.finished()) {
            n += deflater.deflate(out, n, out.length - n);
        }
        deflater.end();
        return Arrays.copyOf(out, n);
    }

    @Test
    public void aSealedHeaderOfAnyLengthTheFileHoldsIsAccepted() throws Exception {
        RawPackage p = RawPackage.parse(valid, Support.KEY);
        char[] text = new char[65535];
        Arrays.fill(text, 'c');
        p.check = new String(text);
        p.sealedCheck = p.check;
        assertStarted(launchWith(p.build(Support.KEY)));
        assertVerified(true);
        // What follows the two texts is never read, so nothing bounds the header but the file.
        p.headerTail = new byte[140000 - 65535 - 40];
        assertStarted(launchWith(p.build(Support.KEY)));
        assertVerified(true);
    }

    /** apppack verify's verdict on p0.app. */
    private void assertVerified(boolean accepted) {
        Support.ToolRun verify = Support.apppack("verify", cjars.resolve("p0.app").toString());
        assertEquals(verify.err, accepted ? 0 : 1, verify.status);
    }

    @Test
    public void indexQuirksThatTheLoaderTolerates() throws Exception {
        Harness.Run run;

        // A later record of the same name replaces the earlier one.
        RawPackage twice = RawPackage.parse(valid, Support.KEY);
        List<Object[]> records = twice.records();
        Object[] data = null;
        Object[] relative = null;
        for (Object[] r : records) {
            data = r[0].equals("res/data.txt") ? r : data;
            relative = r[0].equals("res/relative.txt") ? r : relative;
        }
        records.add(new Object[] {"res/data.txt", relative[1], relative[2]});
        twice.setRecords(records);
        twice.trailer = new byte[] {1, 2, 3, 4, 5}; // bytes after the content change nothing
        run = launchWith(twice.build(Support.KEY));
        assertStarted(run);
        assertEquals("next to data", read(run.sink.clientLoader().getResourceAsStream("res/data.txt")));

        // No entries: the main class is not found.
        RawPackage empty = RawPackage.parse(valid, Support.KEY);
        empty.setRecords(new java.util.ArrayList<Object[]>());
        assertNotStarted(launchWith(empty.build(Support.KEY)), NO_CLASS);
    }

    @Test
    public void executableContainerPointerRules() throws Exception {
        Path exe = tmp.getRoot().toPath().resolve("client.exe");
        Files.write(exe, new byte[96]);
        assertNotStarted(Harness.main(exe.toString(), Support.SUFFIX, Support.KEY, Support.MAIN_CLASS, Support.START,
                Support.STOP), error(ERROR_EXECUTABLE_TOO_SHORT), NO_CLASS);

        byte[] file = new byte[97];
        ByteBuffer.wrap(file, 80, 8).putInt(80).putInt(10);
        Files.write(exe, file);
        Harness.Run run = launchExe(exe);
        assertNotStarted(run, NO_CLASS);
        assertTrue("passes the pointer rules, fails as a package", run.log.contains(ERROR_INVALID_PACKAGE));

        int length = 200 + valid.length;
        int[][] refused = {{79, 10}, {200, 9}, {200, length}, {length, 10}, {length - 9, 10},
            {Integer.MAX_VALUE, Integer.MAX_VALUE}, {-80, 100}};
        for (int[] pointer : refused) {
            file = Arrays.copyOf(new byte[200], length);
            System.arraycopy(valid, 0, file, 200, valid.length);
            ByteBuffer.wrap(file, 80, 8).putInt(pointer[0]).putInt(pointer[1]);
            Files.write(exe, file);
            run = launchExe(exe);
            assertNotStarted(run, NO_CLASS);
            assertFalse(Arrays.toString(pointer), run.log.contains(ERROR_INVALID_PACKAGE));
        }

        Files.write(exe, new byte[300]);
        Support.ToolRun embed = Support.apppack("embed", "--package", tmp.getRoot().toPath().resolve("valid.app")
                .toString(), "--into", exe.toString());
        assertEquals(embed.err, 0, embed.status);
        run = launchExe(exe);
        assertStarted(run);
        assertEquals(exe.toUri().toURL(), run.sink.clientLoader().loadClass(Support.MAIN_CLASS).getProtectionDomain()
                .getCodeSource().getLocation());
    }

    @Test
    public void aLocationOnlyCountsAsExecutableWithTheExactSuffix() throws Exception {
        Harness.Run run = launchExe(tmp.getRoot().toPath().resolve("absent.exe"));
        assertNotStarted(run, "2:java.io.FileNotFoundException: " + tmp.getRoot().toPath().resolve("absent.exe")
                + " (No such file or directory)", NO_CLASS);
        Path upper = tmp.getRoot().toPath().resolve("client.EXE");
        Files.write(upper, new byte[300]);
        assertNotStarted(launchExe(upper), NO_PACKAGE, NO_CLASS);
    }

    @Test
    public void aPipeIsPassedOverInsteadOfBlockingTheLoader() throws Exception {
        // Opening a pipe would wait for a writer that never comes.
        mkfifo(cjars.resolve("pipe.app"));
        Files.write(cjars.resolve("client.app"), valid);
        assertStarted(Harness.launch(cjars));

        Path exe = tmp.getRoot().toPath().resolve("client.exe");
        mkfifo(exe);
        assertNotStarted(launchExe(exe), "2:java.io.IOException: " + exe + " is not a regular file", NO_CLASS);
    }

    private static void mkfifo(Path path) throws Exception {
        assertEquals(0, new ProcessBuilder("mkfifo", path.toString()).inheritIO().start().waitFor());
    }

    @Test
    public void mainWithoutSixStringsRunsWithEmptyOnes() {
        Harness.resetLaunchStrings();
        assertNotStarted(Harness.main((String[]) null), NO_PACKAGE, NO_CLASS);
        assertNotStarted(Harness.main("a", "b", "c", "d", "e"), NO_PACKAGE, NO_CLASS);
        assertEquals("", MainAccess.packageLocation());
    }

    @Test
    public void servedEntriesAreTheBytesThatWerePacked() throws Exception {
        Harness.Run run = launchWith(valid);
        assertStarted(run);
        RawPackage p = RawPackage.parse(valid, Support.KEY);
        for (Object[] r : p.servedRecords()) {
            byte[] expected = Arrays.copyOfRange(p.contentRaw, (Integer) r[1], (Integer) r[1] + (Integer) r[2]);
            assertArrayEquals((String) r[0], expected, readBytes(run.sink.clientLoader()
                    .getResourceAsStream((String) r[0])));
        }
        byte[] jarClass = readBytes(new java.util.jar.JarFile(Support.clientJar().toFile()).getInputStream(
                new java.util.zip.ZipEntry("com/qv/java/client/QvClientMain.class")));
        assertArrayEquals(jarClass, readBytes(run.sink.clientLoader().getResourceAsStream(
                "com/qv/java/client/QvClientMain.class")));
    }

    private static Harness.Run launchExe(Path exe) {
        return Harness.main(exe.toString(), Support.SUFFIX, Support.KEY, Support.MAIN_CLASS, Support.START, Support.STOP);
    }

    static byte[] readBytes(InputStream in) throws Exception {
        java.io.ByteArrayOutputStream out = new java.io.ByteArrayOutputStream();
        byte[] buffer = new byte[4096];
        for (int n = in.read(buffer); n >= 0; n = in.read(buffer)) {
            out.write(buffer, 0, n);
        }
        in.close();
        return out.toByteArray();
    }

    static String read(InputStream in) throws Exception {
        return new String(readBytes(in), "UTF-8");
    }
}
