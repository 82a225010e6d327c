package com.mirl.runbed.tests;

import static org.junit.Assert.assertArrayEquals;
import static org.junit.Assert.assertEquals;
import static org.junit.Assert.assertTrue;
import static org.junit.Assert.fail;

import com.mirl.runbed.Main;
import com.mirl.runbed.MainAccess;
import java.io.InputStream;
import java.nio.ByteBuffer;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Arrays;
import java.util.HashMap;
import java.util.HashSet;
import java.util.Map;
import java.util.Random;
import java.util.Set;
import org.junit.Rule;
import org.junit.Test;
import org.junit.rules.TemporaryFolder;

/**
 * Damaged packages, a few thousand of them: random byte changes and
 * truncations of a valid package, on its own and inside an executable. Nothing
 * may escape main, and whatever the loader serves from a damaged package that
 * it accepts must be exactly what was packed. The test JVM has a small heap,
 * so an absurd allocation fails the run. The package tool's verdict must
 * agree with the loader's.
 */
public class RobustnessTest {

    private static final int ROUNDS = 3000;

    @Rule
    public TemporaryFolder tmp = new TemporaryFolder();

    @Test
    public void damagedPackagesNeverBreakTheLoader() throws Exception {
        System.clearProperty("testclient.mode");
        long seed = Long.getLong("tavelin.test.seed", 20261207L);
        Random random = new Random(seed);
        Path scratch = tmp.getRoot().toPath();
        Path cjars = tmp.newFolder("cjars").toPath();
        Path file = cjars.resolve("client.app");
        Path exe = scratch.resolve("client.exe");
        byte[] valid = Support.pack(scratch, scratch.resolve("valid.app"), "3.1.4", "--check", "robust");
        Map<String, byte[]> original = entries(valid);
        int accepted = 0;
        Set<String> urlChecked = new HashSet<>();
        for (int round = 0; round < ROUNDS; round++) {
            boolean inExecutable = round % 4 == 3;
            byte[] stream = inExecutable ? embed(valid) : valid.clone();
            byte[] damaged = damage(stream, random, inExecutable);
            HeaderCipherTest.checkSealedHeader(damaged, inExecutable ? 200 : 0);
            Path location = inExecutable ? exe : cjars;
            Files.write(inExecutable ? exe : file, damaged);
            String where = "round " + round + " (seed " + seed + ")";
            Harness.Run run = new Harness.Run();
            try {
                Harness.main(run, location.toString(), Support.SUFFIX, Support.KEY, Support.MAIN_CLASS, Support.START,
                        Support.STOP);
            } catch (Throwable t) {
                throw new AssertionError(where + ": escaped main", t);
            }
            ClassLoader loader = run.sink.clientLoader();
            Support.ToolRun verify = Support.apppack("verify", (inExecutable ? exe : file).toString());
            assertEquals(where + ": tool and loader disagree: " + verify.err + "\n" + run.log,
                    loader != null, verify.status == 0);
            if (loader == null) {
                continue;
            }
            accepted++;
            Map<?, ?> index = MainAccess.entryIndex((Main) loader);
            assertEquals(where, original.keySet(), index.keySet());
            for (Map.Entry<String, byte[]> e : original.entrySet()) {
                assertArrayEquals(where + " " + e.getKey(), e.getValue(), read(loader.getResourceAsStream(e.getKey())));
                urlChecked.add(e.getKey());
                assertArrayEquals(where + " " + e.getKey(), e.getValue(), read(loader.getResource(e.getKey())
                        .openStream()));
            }
        }
        System.err.println("robustness: " + accepted + " of " + ROUNDS + " damaged packages loaded (seed " + seed + ")");
        // The damage must leave some packages loadable, or the comparison above never ran.
        if (accepted == 0) {
            fail("no damaged package was accepted");
        }
        assertTrue("resources served through URLs: " + urlChecked, urlChecked.contains("res/data.txt"));
    }

    /** Changes 1 to 4 bytes (often in the headers) or cuts the stream short. */
    private static byte[] damage(byte[] stream, Random random, boolean inExecutable) {
        int kind = random.nextInt(10);
        if (kind == 0) {
            return Arrays.copyOf(stream, random.nextInt(stream.length));
        }
        byte[] copy = stream.clone();
        int changes = 1 + random.nextInt(4);
        for (int i = 0; i < changes; i++) {
            int span = kind < 5 ? Math.min(copy.length, inExecutable ? 300 : 120) : copy.length;
            int at = random.nextInt(span);
            copy[at] = kind == 9 ? (byte) 0xff : (byte) random.nextInt(256);
        }
        return copy;
    }

    /** The package after 200 bytes of stand-in executable, with the pointer at 80. */
    private static byte[] embed(byte[] pkg) {
        byte[] file = Arrays.copyOf(new byte[200], 200 + pkg.length);
        System.arraycopy(pkg, 0, file, 200, pkg.length);
        ByteBuffer.wrap(file, 80, 8).putInt(200).putInt(pkg.length);
        return file;
    }

    private static Map<String, byte[]> entries(byte[] pkg) throws Exception {
        RawPackage p = RawPackage.parse(pkg, Support.KEY);
        Map<String, byte[]> map = new HashMap<>();
        for (Object[] r : p.servedRecords()) {
            int offset = (Integer) r[1];
            map.put((String) r[0], Arrays.copyOfRange(p.contentRaw, offset, offset + (Integer) r[2]));
        }
        return map;
    }

    private static byte[] read(InputStream in) throws Exception {
        return PackageReadingTest.readBytes(in);
    }
}
