package com.mirl.bench;

import com.mirl.apppack.LaunchStrings;
import com.mirl.runbed.MainAccess;
import java.io.File;
import java.lang.reflect.Method;
import java.net.URL;
import java.net.URLClassLoader;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.Arrays;
import java.util.Comparator;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.stream.Stream;
import javax.crypto.Cipher;
import javax.crypto.spec.SecretKeySpec;

/**
 * One measurement in a fresh VM; the last line of output is "RESULT
 * nanoseconds". The bootstrap class com.mirl.runbed.Main must be on the
 * class path; the classes under test must not be.
 *
 * <pre>
 *   load-package DIR COUNT KEY   Main.main over DIR (one package holding LoadAll and COUNT classes)
 *   load-package-warm DIR COUNT KEY   the same after the VM's AES cipher has been started, untimed
 *   load-jar JAR COUNT           a URLClassLoader over JAR runs the same LoadAll
 *   load-memory DIR... COUNT     a plain ClassLoader defining from bytes read into memory beforehand
 *                                (untimed) from the class path roots DIR... runs the same LoadAll
 *   scan DIR WARM_DIR KEY        the bootstrap's directory scan of DIR, after one scan of WARM_DIR
 * </pre>
 */
public final class BenchRun {

    private static final String BOOTSTRAP = "com.mirl.runbed.Main";
    private static final String LOAD_CLIENT = "com.mirl.bench.load.LoadAll";

    private BenchRun() {
    }

    public static void main(String[] args) throws Exception {
        if (args.length == 0 || args[0].equals("--help") || args[0].equals("-h")) {
            System.out.println("usage: BenchRun load-package[-warm] DIR COUNT KEY | load-jar JAR COUNT"
                    + " | load-memory DIR... COUNT | scan DIR WARM_DIR KEY");
            System.exit(args.length == 0 ? 2 : 0);
        }
        long elapsed;
        switch (args[0]) {
            case "load-package":
                elapsed = loadPackage(args[1], Integer.parseInt(args[2]), args[3]);
                break;
            case "load-package-warm":
                startCipher(args[3]);
                elapsed = loadPackage(args[1], Integer.parseInt(args[2]), args[3]);
                break;
            case "load-jar":
                elapsed = loadJar(args[1], Integer.parseInt(args[2]));
                break;
            case "load-memory":
                elapsed = loadMemory(Arrays.copyOfRange(args, 1, args.length - 1),
                        Integer.parseInt(args[args.length - 1]));
                break;
            case "scan":
                elapsed = scan(args[1], args[2], args[3]);
                break;
            default:
                System.err.println("BenchRun: unknown command " + args[0]);
                System.exit(2);
                return;
        }
        System.out.println("RESULT " + elapsed);
    }

    private static void expectLoaded(int count) {
        String loaded = System.getProperty("bench.loaded");
        if (loaded == null || Integer.parseInt(loaded) != count) {
            throw new IllegalStateException("the client loaded " + loaded + " of " + count
                    + " classes through its own loader");
        }
    }

    /** The whole load cycle of the bootstrap class: scan, package read, every class through the package loader. */
    static long loadPackage(String dir, int count, String key) throws Exception {
        System.setProperty("bench.count", Integer.toString(count));
        Method main = Class.forName(BOOTSTRAP).getMethod("main", String[].class);
        // Only LaunchStrings' constants, which compile into this class: the
        // harness runs without apppack.jar.
        String[] launch = new String[LaunchStrings.LAUNCH_STRING_COUNT];
        launch[LaunchStrings.LAUNCH_PACKAGE_LOCATION] = dir;
        launch[LaunchStrings.LAUNCH_PACKAGE_SUFFIX] = LaunchStrings.PACKAGE_SUFFIX;
        launch[LaunchStrings.LAUNCH_PACKAGE_KEY] = key;
        launch[LaunchStrings.LAUNCH_MAIN_CLASS] = LOAD_CLIENT;
        launch[LaunchStrings.LAUNCH_START_METHOD] = LaunchStrings.CLIENT_START_METHOD;
        launch[LaunchStrings.LAUNCH_STOP_METHOD] = LaunchStrings.CLIENT_STOP_METHOD;
        long start = System.nanoTime();
        main.invoke(null, (Object) launch);
        long elapsed = System.nanoTime() - start;
        expectLoaded(count);
        return elapsed;
    }

    /**
     * Starts the runtime's cipher service the way the bootstrap's header check
     * once did (it opens headers itself now, so this must no longer change the figure).
     */
    static void startCipher(String key) throws Exception {
        Cipher cipher = Cipher.getInstance("AES/ECB/PKCS5Padding");
        cipher.init(Cipher.DECRYPT_MODE, new SecretKeySpec(key.getBytes(), "AES"));
    }

    /** The same client and classes from a jar through a URLClassLoader. */
    static long loadJar(String jar, int count) throws Exception {
        System.setProperty("bench.count", Integer.toString(count));
        long start = System.nanoTime();
        URLClassLoader loader = new URLClassLoader(new URL[] {new File(jar).toURI().toURL()},
                ClassLoader.getSystemClassLoader());
        Class<?> client = loader.loadClass(LOAD_CLIENT);
        client.getMethod(LaunchStrings.CLIENT_START_METHOD, Comparator.class).invoke(null, (Object) null);
        long elapsed = System.nanoTime() - start;
        expectLoaded(count);
        loader.close();
        return elapsed;
    }

    /** The bootstrap's own scan (header checks only), timed on its second use in this VM. */
    static long scan(String dir, String warmDir, String key) throws Exception {
        MainAccess.setPackageKey(key);
        MainAccess.setPackageSuffix(LaunchStrings.PACKAGE_SUFFIX);
        int warm = MainAccess.scanPackages(new File(warmDir)).size();
        if (warm == 0) {
            throw new IllegalStateException("no candidate in " + warmDir);
        }
        File target = new File(dir);
        int expected = target.list((d, name) -> name.endsWith(LaunchStrings.PACKAGE_SUFFIX)).length;
        long start = System.nanoTime();
        List<?> candidates = MainAccess.scanPackages(target);
        long elapsed = System.nanoTime() - start;
        if (candidates.size() != expected) {
            throw new IllegalStateException("scan accepted " + candidates.size() + " of " + expected + " packages");
        }
        return elapsed;
    }

    /**
     * The floor of any loader: the same client and classes defined from bytes
     * that are already in memory, so only what defining classes costs at all is timed.
     */
    static long loadMemory(String[] roots, int count) throws Exception {
        Map<String, byte[]> classes = new HashMap<>();
        for (String root : roots) {
            Path base = Paths.get(root);
            try (Stream<Path> walk = Files.walk(base)) {
                for (Path file : (Iterable<Path>) walk.filter(p -> p.toString().endsWith(".class"))::iterator) {
                    String name = base.relativize(file).toString().replace(File.separatorChar, '.');
                    classes.put(name.substring(0, name.length() - ".class".length()), Files.readAllBytes(file));
                }
            }
        }
        System.setProperty("bench.count", Integer.toString(count));
        long start = System.nanoTime();
        ClassLoader loader = new MemoryLoader(classes);
        Class<?> client = loader.loadClass(LOAD_CLIENT);
        client.getMethod(LaunchStrings.CLIENT_START_METHOD, Comparator.class).invoke(null, (Object) null);
        long elapsed = System.nanoTime() - start;
        expectLoaded(count);
        return elapsed;
    }

    /** Defines classes from a map of bytes; nothing else. */
    private static final class MemoryLoader extends ClassLoader {
        private final Map<String, byte[]> classes;

        MemoryLoader(Map<String, byte[]> classes) {
            super(ClassLoader.getSystemClassLoader());
            this.classes = classes;
        }

        @Override
        protected Class<?> findClass(String name) throws ClassNotFoundException {
            byte[] bytes = classes.get(name);
            if (bytes == null) {
                throw new ClassNotFoundException(name);
            }
            return defineClass(name, bytes, 0, bytes.length);
        }
    }
}
