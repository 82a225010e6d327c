package com.mirl.bench;

import static org.junit.Assert.assertArrayEquals;
import static org.junit.Assert.assertEquals;
import static org.junit.Assert.assertNotNull;
import static org.junit.Assert.assertTrue;

import com.mirl.apppack.LaunchStrings;
import com.mirl.apppack.PackageKey;
import java.io.DataInputStream;
import java.io.File;
import java.io.FileInputStream;
import java.lang.reflect.Field;
import java.lang.reflect.Method;
import java.net.URL;
import java.net.URLClassLoader;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.HashMap;
import java.util.HashSet;
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

    private static Object bootstrap(String field) throws Exception {
        Field f = Class.forName("com.mirl.runbed.Main").getDeclaredField(field);
        f.setAccessible(true);
        return f.get(null);
    }

    private static void setBootstrap(String field, Object value) throws Exception {
        Field f = Class.forName("com.mirl.runbed.Main").getDeclaredField(field);
        f.setAccessible(true);
        f.set(null, value);
    }

    @Test
    public void packagesPassTheScanAndReadWholeAcrossSeveralStoredBlocks() throws Exception {
        Path dir = temp.newFolder("scan").toPath();
        // Three stored deflate blocks, the last one short.
        int size = 2 * 65535 + 1234;
        BenchInputs.writePackages(dir, 3, size, KEY);

        Class<?> main = Class.forName("com.mirl.runbed.Main");
        setBootstrap("packageKey", KEY);
        setBootstrap("packageSuffix", LaunchStrings.PACKAGE_SUFFIX);
        Method scan = main.getDeclaredMethod("scanPackages", File.class);
        scan.setAccessible(true);
        ArrayList<?> candidates = (ArrayList<?>) scan.invoke(bootstrap("bootInstance"), dir.toFile());
        assertEquals(3, candidates.size());
        Set<String> versions = new HashSet<>();
        for (Object candidate : candidates) {
            versions.add(((String[]) candidate)[1]);
        }
        assertEquals(new HashSet<>(Arrays.asList("1.0.0", "1.0.1", "1.0.2")), versions);

        Object loader = main.getConstructor().newInstance();
        Method read = main.getDeclaredMethod("readPackage", DataInputStream.class);
        read.setAccessible(true);
        File file = dir.resolve("client-001.app").toFile();
        read.invoke(loader, new DataInputStream(new FileInputStream(file)));
        Field index = main.getDeclaredField("entryIndex");
        Field content = main.getDeclaredField("contentBytes");
        index.setAccessible(true);
        content.setAccessible(true);
        int[] range = (int[]) ((HashMap<?, ?>) index.get(loader)).get("data/blob.bin");
        assertArrayEquals(new int[] {0, size}, range);
        assertArrayEquals(new byte[size], (byte[]) content.get(loader));
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
