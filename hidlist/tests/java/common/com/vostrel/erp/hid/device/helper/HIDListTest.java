package com.vostrel.erp.hid.device.helper;

import static org.junit.Assert.assertArrayEquals;
import static org.junit.Assert.assertEquals;
import static org.junit.Assert.assertNotNull;
import static org.junit.Assert.assertNull;

import java.io.ByteArrayInputStream;
import java.io.DataInputStream;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Comparator;
import java.util.List;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.stream.Stream;

import org.junit.Before;
import org.junit.Test;

/**
 * The library loaded into this VM, listing a sysfs-style tree that the test
 * lays out under QUENVIL_SYSFS_ROOT.
 */
public class HIDListTest {
    private static Path classDir() {
        String root = System.getenv("QUENVIL_SYSFS_ROOT");
        assertNotNull("QUENVIL_SYSFS_ROOT must name the fake sysfs root", root);
        return Paths.get(root, "class", "hidraw");
    }

    @Before
    public void emptyClass() throws IOException {
        Path dir = classDir();
        if (Files.exists(dir)) {
            try (Stream<Path> all = Files.walk(dir)) {
                all.sorted(Comparator.reverseOrder()).forEach(p -> p.toFile().delete());
            }
        }
        Files.createDirectories(dir);
    }

    /** Adds a device entry whose node path is exactly pathLength bytes; returns that path. */
    private static String addDevice(String entry, int pathLength) throws IOException {
        StringBuilder name = new StringBuilder(entry).append('-');
        while ("/dev/".length() + name.length() < pathLength) {
            name.append((char) ('a' + name.length() % 26));
        }
        Path dir = Files.createDirectories(classDir().resolve(entry));
        Files.write(dir.resolve("uevent"),
                ("MAJOR=240\nMINOR=0\nDEVNAME=" + name + "\n").getBytes(StandardCharsets.US_ASCII));
        return "/dev/" + name;
    }

    private static List<String> decode(byte[] records) throws IOException {
        List<String> paths = new ArrayList<>();
        DataInputStream in = new DataInputStream(new ByteArrayInputStream(records));
        while (in.available() > 0) {
            byte[] path = new byte[in.readUnsignedShort()];
            in.readFully(path);
            paths.add(new String(path, StandardCharsets.ISO_8859_1));
        }
        return paths;
    }

    @Test
    public void threeDevicesGiveLengthPrefixedRecordsInOrder() throws IOException {
        // Created out of order: the listing orders hidraw2 < hidraw9 < hidraw10.
        String third = addDevice("hidraw10", 60);
        String first = addDevice("hidraw2", 40);
        String second = addDevice("hidraw9", 50);

        byte[] result = HIDListHelper.list();

        assertNotNull(result);
        assertEquals(156, result.length);
        assertArrayEquals(new byte[] {0x00, 0x28}, Arrays.copyOfRange(result, 0, 2));
        assertArrayEquals(new byte[] {0x00, 0x32}, Arrays.copyOfRange(result, 42, 44));
        assertArrayEquals(new byte[] {0x00, 0x3C}, Arrays.copyOfRange(result, 94, 96));
        assertEquals(Arrays.asList(first, second, third), decode(result));
    }

    @Test
    public void noDevicesGiveNull() throws IOException {
        assertNull(HIDListHelper.list());
        Files.delete(classDir());  // no hidraw class at all
        assertNull(HIDListHelper.list());
    }

    @Test
    public void callsFromSeveralThreadsEachGetTheWholeList() throws Exception {
        List<String> expected = Arrays.asList(addDevice("hidraw0", 20), addDevice("hidraw1", 300));
        ExecutorService pool = Executors.newFixedThreadPool(4);
        try {
            List<Future<byte[]>> calls = new ArrayList<>();
            for (int i = 0; i < 200; i++) {
                calls.add(pool.submit(HIDListHelper::list));
            }
            for (Future<byte[]> call : calls) {
                assertEquals(expected, decode(call.get()));
            }
        } finally {
            pool.shutdownNow();
        }
    }
}
