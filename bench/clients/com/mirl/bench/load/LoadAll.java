package com.mirl.bench.load;

import java.util.Comparator;

/**
 * The package-load benchmark's client. Its start method loads every
 * generated class (bench.gen.C00000 onwards, bench.count of them) through
 * its own class loader, which is the loader under test, and records in
 * bench.loaded how many it loaded there.
 */
public class LoadAll {
    public static void startServer(Comparator sink) throws ClassNotFoundException {
        int count = Integer.parseInt(System.getProperty("bench.count", "0"));
        ClassLoader loader = LoadAll.class.getClassLoader();
        int own = 0;
        for (int i = 0; i < count; i++) {
            Class cls = loader.loadClass(className(i));
            if (cls.getClassLoader() == loader) {
                own++;
            }
        }
        System.setProperty("bench.loaded", Integer.toString(own));
    }

    public static void endServer() {
    }

    public static String className(int i) {
        String digits = Integer.toString(i);
        return "bench.gen.C" + "00000".substring(digits.length()) + digits;
    }
}
