package com.mirl.runbed.tests;

import static com.mirl.runbed.tests.Harness.LOG_PACKAGE_FOUND;
import static org.junit.Assert.assertEquals;
import static org.junit.Assert.assertTrue;

import com.mirl.runbed.Main;
import com.mirl.runbed.MainAccess;
import java.io.File;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import org.junit.Before;
import org.junit.Rule;
import org.junit.Test;
import org.junit.rules.TemporaryFolder;

/** Lenient number parsing, version order and which package of a directory is started. */
public class VersionOrderTest {

    @Rule
    public TemporaryFolder tmp = new TemporaryFolder();

    private Path cjars;

    @Before
    public void setUp() throws Exception {
        cjars = tmp.newFolder("cjars").toPath();
        System.clearProperty("testclient.mode");
    }

    @Test
    public void atoiTakesTheLeadingDigitsAndLogsWhatDoesNotParse() {
        String[][] quiet = {{null, "0"}, {"", "0"}, {"12abc", "12"}, {"-5x", "-5"}, {"007", "7"}, {"10", "10"}};
        for (String[] c : quiet) {
            Harness.Run run = new Harness.Run();
            int[] result = new int[1];
            runLogged(run, () -> result[0] = Main.atoi(c[0]));
            assertEquals("atoi(" + c[0] + ")", Integer.parseInt(c[1]), result[0]);
            assertEquals("no log for " + c[0], "", run.log);
        }
        for (String bad : new String[] {"+5", "x1", "-", "99999999999"}) {
            Harness.Run run = new Harness.Run();
            int[] result = new int[1];
            runLogged(run, () -> result[0] = Main.atoi(bad));
            assertEquals("atoi(" + bad + ")", 0, result[0]);
            assertTrue("logged for " + bad, run.log.contains("NumberFormatException"));
        }
    }

    @Test
    public void versionsCompareComponentByComponentAndAntisymmetrically() throws Exception {
        String[][] ordered = {{"1.9", "1.10"}, {"1.2", "1.2.1"}, {"1.2.3", "1.9"}, {"2", "10"}, {"1.2.9", "1.3"},
            {"0.9", "1"}};
        for (String[] pair : ordered) {
            assertEquals(pair[0] + " < " + pair[1], -1, Integer.signum(compare(pair[0], pair[1])));
            assertEquals(pair[1] + " > " + pair[0], 1, Integer.signum(compare(pair[1], pair[0])));
        }
        String[][] equal = {{"1.2", "1.2"}, {"1.2", "1.2.0"}, {"3", "3.0.0"}};
        for (String[] pair : equal) {
            assertEquals(0, compare(pair[0], pair[1]));
            assertEquals(0, compare(pair[1], pair[0]));
        }
    }

    @Test
    public void theScanOrdersCandidatesByVersionAndTheHighestIsStarted() throws Exception {
        Support.pack(tmp.getRoot().toPath(), cjars.resolve("a.app"), "1.9");
        Support.pack(tmp.getRoot().toPath(), cjars.resolve("b.app"), "1.10");
        Support.pack(tmp.getRoot().toPath(), cjars.resolve("c.app"), "1.2.3");
        Files.write(cjars.resolve("notes.txt"), new byte[] {1, 2, 3});
        MainAccess.setPackageSuffix(Support.SUFFIX);
        MainAccess.setPackageKey(Support.KEY);
        List<?> candidates = MainAccess.scanPackages(cjars.toFile());
        List<String> versions = new ArrayList<>();
        for (Object candidate : candidates) {
            Object[] c = (Object[]) candidate;
            versions.add((String) c[1]);
            assertTrue(c[0] instanceof File ? ((File) c[0]).isAbsolute() : ((Path) c[0]).isAbsolute());
        }
        assertEquals(java.util.Arrays.asList("1.2.3", "1.9", "1.10"), versions);

        Harness.Run run = Harness.launch(cjars);
        assertTrue(run.log, run.log.contains(LOG_PACKAGE_FOUND + cjars.resolve("b.app").toAbsolutePath()));
    }

    @Test
    public void aLongerVersionWithEqualLeadingComponentsWinsWhateverTheListingOrder() throws Exception {
        for (String[] names : new String[][] {{"a.app", "b.app"}, {"b.app", "a.app"}}) {
            Path dir = tmp.newFolder().toPath();
            Support.pack(tmp.getRoot().toPath(), dir.resolve(names[0]), "1.2.1");
            Support.pack(tmp.getRoot().toPath(), dir.resolve(names[1]), "1.2");
            Harness.Run run = Harness.launch(dir);
            assertTrue(run.log, run.log.contains(LOG_PACKAGE_FOUND + dir.resolve(names[0]).toAbsolutePath()));
        }
    }

    @Test
    public void amongEqualVersionsTheFirstListedFileIsStarted() throws Exception {
        Support.pack(tmp.getRoot().toPath(), cjars.resolve("one.app"), "2.0");
        Support.pack(tmp.getRoot().toPath(), cjars.resolve("two.app"), "2.0");
        String first = cjars.toFile().list()[0];
        Harness.Run run = Harness.launch(cjars);
        assertTrue(run.log, run.log.contains(LOG_PACKAGE_FOUND + cjars.resolve(first).toAbsolutePath() + "\n"));
    }

    private static int compare(String x, String y) throws Exception {
        return MainAccess.compareVersions(x, y);
    }

    /** Runs the action with the log captured into the run. */
    private static void runLogged(Harness.Run run, Runnable action) {
        java.io.PrintStream original = System.out;
        java.io.ByteArrayOutputStream log = new java.io.ByteArrayOutputStream();
        System.setOut(new java.io.PrintStream(log, true));
        try {
            action.run();
        } finally {
            System.setOut(original);
        }
        run.log = log.toString();
    }
}
