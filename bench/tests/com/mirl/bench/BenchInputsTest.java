package com.mirl.bench;

import static org.junit.Assert.assertArrayEquals;
import static org.junit.Assert.assertEquals;
import static org.junit.Assert.assertNotNull;
import static org.junit.Assert.assertTrue;

import com.mirl.apppack.LaunchStrings;
import com.mirl.apppack.PackageKey;
import com.mirl.runbed.Main;
import com.mirl.runbed.MainAccess;
import java.io.DataInputStream;
import java.io.File;
import java.io.FileInputStream;
import java.net.URL;
import java.net.URLClassLoader;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Arrays;
import java.util.HashSet;
import java.util.List;
import java.util.Set;
import org.junit.Rule;
import org.junit.Test;
import org.junit.rules.TemporaryFolder;

/**
 * The benchmark inputs must be what they claim to be, or the figures mean
 * nothing: packages the bootstrap class accepts and reads whole, classes
 * the VM defines and verifies.
 */
public class BenchInputsTest {

    private static final String KEY = PackageKey.DEFAULT;

    @Rule
    public TemporaryFolder temp = new TemporaryFolder();

    @Test
    public void packagesPassTheScanAndReadWholeAcrossSeveralStoredBlocks() throws Exception {
        Path dir = temp.newFolder("scan").toPath();
        // Three stored deflate blocks, the last one short.
        int size = 2 * 65535 + 1234;
        BenchInputs.writePackages(dir, 3, size, KEY);

        MainAccess.setPackageKey(KEY);
        MainAccess.setPackageSuffix(LaunchStrings.PACKAGE_SUFFIX);
        List<?> candidates = MainAccess.scanPackages(dir.toFile());
        assertEquals(3, candidates.size());
        Set<String> versions = new HashSet<>();
        for (Object candidate : candidates) {
            versions.add((String) ((Object[]) candidate)[1]);
        }
        assertEquals(new HashSet<>(Arrays.asList("1.0.0", "1.0.1", "1.0.2")), versions);

        Main loader = new Main();
        File file = dir.resolve("client-001.app").toFile();
        MainAccess.readPackage(loader, new DataInputStream(new FileInputStream(file)));
        int[] range = (int[]) MainAccess.entryIndex(loader).get("data/blob.bin");
        assertArrayEquals(new int[] {0, size}, Arrays.copyOf(range, 2)); // {offset, length, record number}
        assertArrayEquals(new byte[size], MainAccess.contentBytes(loader));
        assertTrue("the content block is about as large as the content", file.length() > size);
    }

    @Test
    public void generatedClassesDefineVerifyAndAverageAboutFourKilobytes() throws Exception {
        Path dir = temp.newFolder("classes").toPath();
        int count = 40;
        BenchInputs.writeClasses(dir, count);
        long total = 0;
        for (int i = 0; i < count; i++) {
            total += Files.size(dir.resolve(String.format("bench/gen/C%05d.class", i)));
        }
        assertTrue("average " + total / count, total / count > 3000 && total / count < 6000);
        try (URLClassLoader loader = new URLClassLoader(new URL[] {dir.toUri().toURL()}, null)) {
            for (int i = 0; i < count; i++) {
                // Initialising links the class, and linking verifies it.
                Class<?> cls = Class.forName(String.format("bench.gen.C%05d", i), true, loader);
                assertNotNull(cls.getDeclaredMethods());
                assertEquals(loader, cls.getClassLoader());
            }
        }
    }

    @Test
    public void theSameNumberGivesTheSameClass() throws Exception {
        assertArrayEquals(BenchInputs.generatedClass(7, 100), BenchInputs.generatedClass(7, 100));
    }
}
