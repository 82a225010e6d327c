package com.mirl.runbed;

import java.io.ByteArrayInputStream;
import java.io.ByteArrayOutputStream;
import java.io.Closeable;
import java.io.DataInputStream;
import java.io.DataOutputStream;
import java.io.EOFException;
import java.io.File;
import java.io.FileInputStream;
import java.io.FileNotFoundException;
import java.io.IOException;
import java.io.InputStream;
import java.io.PrintWriter;
import java.io.RandomAccessFile;
import java.io.StringWriter;
import java.lang.reflect.Constructor;
import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.net.URL;
import java.net.URLDecoder;
import java.net.URLEncoder;
import java.net.URLStreamHandler;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collections;
import java.util.Comparator;
import java.util.Enumeration;
import java.util.HashMap;
import java.util.Iterator;
import java.util.LinkedHashMap;
import java.util.Map;
import java.util.zip.CRC32;
import java.util.zip.GZIPInputStream;

/**
 * The first class that runs inside the virtual machine. The launcher defines it
 * from bytes it carries and calls {@link #main} with the launch strings; from
 * there this class finds the client's packages, picks the highest version,
 * serves the client's classes and resources from the package content and runs
 * the client's start method, again and again while the client asks for a
 * restart.
 *
 * The launcher defines exactly one class, with no loader of its own, so this
 * must stay a single class with no nested or anonymous classes and must use
 * nothing outside the Java 7 runtime library. One shared instance
 * ({@code bootInstance}) runs the load cycles and is the default status sink;
 * every package gets an instance of its own as its class loader.
 */
@SuppressWarnings({"rawtypes", "unchecked"})
public class Main extends ClassLoader implements Comparator, Runnable {

    /** Set by the client (from any thread) to be loaded and started again once its start method returns. */
    public static volatile boolean restart = true;

    /** When this class was initialised, in milliseconds since 1970. */
    public static final long time = System.currentTimeMillis();

    private static final Main bootInstance = new Main();

    private static String packageKey = "";
    private static String packageSuffix = "";
    private static String packageLocation = "";
    private static String mainClassName = "";
    private static String startMethodName = "";
    private static String stopMethodName = "";

    private static Class appClass = null;

    /** Of bootInstance: the loader of the package currently in use. */
    private Main packageLoader;

    private static Comparator statusSink;

    /**
     * How the last load cycle ended (a CYCLE_ value). The launcher reads it
     * over JNI once main has returned, to tell a client that ran from one that
     * never started; appClass cannot tell, the client may set it itself.
     */
    private static volatile int cycleOutcome;

    /** Numbers the load cycles, for the names of their start threads. */
    private static int cycleCount;

    /** Of bootInstance while a start thread runs: the start method it calls, and what that threw. */
    private Method startMethod;
    private Throwable startFailure;

    /** Of a package loader: entry name to {offset, length} within contentBytes. */
    private HashMap entryIndex;

    /** Of a package loader: the decompressed content block. */
    private byte[] contentBytes;

    /** Of a package loader: the handler of its resource URLs, made on first use. */
    private URLStreamHandler entryHandler;

    /** Of a package loader: path prefix of its resource URLs, unique per loader. */
    private volatile String entryUrlPrefix;

    // Values of cycleOutcome. The launcher has the same numbers (bootstrap_handoff.h).

    /** No client class could be loaded (also before the first cycle). */
    private static final int CYCLE_NO_CLIENT = 0;
    /** The client class loaded, but its start method is missing, could not be called or threw. */
    private static final int CYCLE_START_FAILED = 1;
    /** The client's start method was called and returned. */
    private static final int CYCLE_START_RETURNED = 2;

    // ------------------------------------------------------------------ notices and log texts
    //
    // Every fixed text this class hands to the status sink or logs, in one
    // place. Clients show the notices and people read the log (Tavelin.log),
    // so a changed text is a changed interface; the tests spell each one out
    // again under the same name. Exception messages that carry values stay
    // where they are raised.
    //
    // Status-sink protocol. The sink is the Comparator handed to the client's
    // start method (by default bootInstance, whose compare ignores both
    // arguments). Every notice is one call sink.compare(code, text), whose
    // result is ignored; the two kinds differ in the code's type, not only
    // its value:
    //   progress: code the String "1" (PROGRESS_CODE), text one of the NOTICE_ texts;
    //   error:    code the Integer 2 (ERROR_CODE), text one of the ERROR_ texts
    //             or the toString of the exception that stopped the cycle.
    // Every error notice is also logged, with the tag TAG_ERROR.

    private static final String PROGRESS_CODE = "1";
    private static final Integer ERROR_CODE = Integer.valueOf(2);

    /** "Loading": a load cycle begins. */
    private static final String NOTICE_LOADING = "加载中";
    /** "Updating, restarting": the client's start method returned with a restart request. */
    private static final String NOTICE_RESTARTING = "更新重启中";
    /** "Not running": the client's start method returned without one. */
    private static final String NOTICE_NOT_RUNNING = "未运行";

    /** "Start class not found": no package yielded the client's main class. */
    private static final String ERROR_NO_START_CLASS = "找不到启动类";
    /** "Start method not found": the main class has no public static method of that name taking the sink. */
    private static final String ERROR_NO_START_METHOD = "找不到启动方法";
    /** "Package not found": the package directory holds no acceptable package. */
    private static final String ERROR_NO_PACKAGE = "找不到程序包";
    /** "Error reading App data": an executable too short to hold the package pointer. */
    private static final String ERROR_EXECUTABLE_TOO_SHORT = "读取App数据错误！";
    /** A package that cannot be read: the message of the exception the full read throws, logged. */
    private static final String ERROR_INVALID_PACKAGE = "invalid app";

    /** Log tag of this class's own lines. */
    private static final String TAG_MAIN = "Main";
    /** Log tag of the lines that also went to the sink as error notices. */
    private static final String TAG_ERROR = "err";

    /** Logged when main begins its load cycles. */
    private static final String LOG_START = "start runServer";
    /** Logged with the path of the package the client class came from. */
    private static final String LOG_PACKAGE_FOUND = "find app ";
    /** Logged with the hash code of the package loader that a new one replaces. */
    private static final String LOG_LOADER_CLOSED = "close classLoader ";
    /** Logged with the byte count missing when a block decompresses short. */
    private static final String LOG_BLOCK_SHORT = "readFully size=";

    /**
     * The parent of package loaders is the system loader's parent (the
     * extension loader on Java 7, the platform loader later): the system loader
     * serves the working directory, whose loose files must never shadow the
     * package's classes and resources.
     */
    public Main() {
        super(ClassLoader.getSystemClassLoader().getParent());
    }

    /** Only for the loader that defines the resource URL classes. */
    private Main(ClassLoader parent) {
        super(parent);
    }

    // ------------------------------------------------------------------ entry points

    /**
     * Runs load cycles with the launch strings: location, suffix, key, main
     * class, start method, stop method. Returns when the client has ended
     * without asking for a restart, or could not be started.
     */
    public static void main(String[] args) {
        if (statusSink == null) {
            statusSink = bootInstance;
        }
        if (args != null && args.length > 5) {
            packageLocation = args[0];
            packageSuffix = args[1];
            packageKey = args[2];
            mainClassName = args[3];
            startMethodName = args[4];
            stopMethodName = args[5];
        }
        try {
            log(TAG_MAIN, LOG_START);
            restart = true;
            while (restart) {
                restart = false;
                notifyProgress(NOTICE_LOADING);
                if (!bootInstance.startApplication()) {
                    return;
                }
                notifyProgress(restart ? NOTICE_RESTARTING : NOTICE_NOT_RUNNING);
            }
        } catch (Exception e) {
            logThrowable(TAG_MAIN, e);
            try {
                reportError(e.toString());
            } catch (Exception sinkFailure) {
                // A sink that throws must not carry anything out of main.
                logThrowable(TAG_MAIN, sinkFailure);
            }
        }
    }

    /**
     * Invokes a public static method without parameters of the current client
     * class. 0: it ran; 1: no client class yet; 2: the methods could not be
     * listed; 3: no method of that name could be run.
     */
    public static int runMethod(String name) {
        Class cls = getAppInstance();
        if (cls == null) {
            return 1;
        }
        try {
            Method[] methods = cls.getMethods();
            for (int i = 0; i < methods.length; i++) {
                if (methods[i].getName().equals(name) && invokeNoArgs(methods[i])) {
                    return 0;
                }
            }
        } catch (Exception | LinkageError e) {
            // A method signature naming a class that cannot be loaded makes
            // getMethods throw NoClassDefFoundError; callers get a result, not an Error.
            return 2;
        }
        return 3;
    }

    public static int endServer() {
        return runMethod(stopMethodName);
    }

    public static Class getAppInstance() {
        return appClass;
    }

    public static void setAppInstance(Class cls) {
        appClass = cls;
    }

    /**
     * Lenient integer parse: the longest prefix of decimal digits (a "-" allowed
     * first); 0 for null, empty text or a prefix that does not parse.
     */
    public static int atoi(String text) {
        if (text == null || text.length() == 0) {
            return 0;
        }
        int end = 0;
        while (end < text.length()) {
            char c = text.charAt(end);
            if ((c >= '0' && c <= '9') || (c == '-' && end == 0)) {
                end++;
            } else {
                break;
            }
        }
        try {
            return Integer.parseInt(text.substring(0, end));
        } catch (Exception e) {
            logThrowable(TAG_MAIN, e);
            return 0;
        }
    }

    /** The default status sink: notices are only logged where they arise. */
    public int compare(Object code, Object text) {
        return 0;
    }

    /**
     * Streams the resource entry a resource URL of a package loader names. The
     * run-time connection class calls this; it is public because that class
     * lives in another loader.
     */
    public static InputStream openEntry(Object owner, URL url) throws IOException {
        InputStream in = null;
        if (owner instanceof Main && url != null) {
            Main loader = (Main) owner;
            String prefix = loader.entryUrlPrefix;
            String path = url.getPath();
            if (prefix != null && path != null && path.startsWith(prefix)) {
                try {
                    in = loader.entryStream(URLDecoder.decode(path.substring(prefix.length()), "UTF-8"));
                } catch (IllegalArgumentException badEscape) {
                    in = null;
                }
            }
        }
        if (in == null) {
            throw new FileNotFoundException(String.valueOf(url));
        }
        return in;
    }

    // ------------------------------------------------------------------ load cycle

    private static void notifyProgress(String text) {
        statusSink.compare(PROGRESS_CODE, text);
    }

    /** Loads the client class and runs its start method; true when the start method ran and returned. */
    private boolean startApplication() {
        cycleOutcome = CYCLE_NO_CLIENT;
        Class cls = loadApplicationClass();
        if (cls == null) {
            reportError(ERROR_NO_START_CLASS);
            return false;
        }
        setAppInstance(cls);
        cycleOutcome = CYCLE_START_FAILED;
        Method start;
        try {
            start = findStartMethod(cls);
        } catch (LinkageError e) {
            // Linking the class (verification, a class its signatures name) fails here.
            logThrowable(TAG_MAIN, e);
            reportError(e.toString());
            return false;
        }
        if (start == null) {
            reportError(ERROR_NO_START_METHOD);
            return false;
        }
        Throwable failure = runStartThread(start, cls);
        if (failure == null) {
            cycleOutcome = CYCLE_START_RETURNED;
            return true;
        }
        if (failure instanceof Exception || failure instanceof LinkageError) {
            // LinkageError: the class's static initialiser failed, or it cannot be linked.
            logThrowable(TAG_MAIN, failure);
            reportError(realCause(failure).toString());
            return false;
        }
        // Any other Error leaves main, as it would have on this thread.
        throw (Error) failure;
    }

    /**
     * The first public static method of the start method's name whose one
     * parameter the status sink can be passed to; null when there is none.
     * Overloads of other shapes are passed over.
     */
    private static Method findStartMethod(Class cls) {
        Method[] methods = cls.getMethods();
        for (int i = 0; i < methods.length; i++) {
            Method method = methods[i];
            if (!method.getName().equals(startMethodName) || !Modifier.isStatic(method.getModifiers())) {
                continue;
            }
            Class[] parameters = method.getParameterTypes();
            if (parameters.length == 1 && parameters[0].isInstance(statusSink)) {
                return method;
            }
        }
        return null;
    }

    /**
     * Calls the start method on a thread of its own and waits for it to end;
     * what the call threw, or null. When the thread ends, so do the client's
     * thread-local values on it: kept on the launcher's one thread, any of
     * them would hold the client's classes, its loader and its statics across
     * every restart.
     */
    private Throwable runStartThread(Method start, Class cls) {
        startMethod = start;
        startFailure = null;
        Thread thread = new Thread(this, "client " + startMethodName + " (load cycle " + (++cycleCount) + ")");
        // Frameworks look the client's classes up through the context loader.
        thread.setContextClassLoader(packageLoader != null ? packageLoader : cls.getClassLoader());
        boolean interrupted = false;
        try {
            thread.start();
            for (;;) {
                try {
                    thread.join();
                    break;
                } catch (InterruptedException e) {
                    // The client's life is this thread's: wait on, and pass the interrupt on after.
                    interrupted = true;
                }
            }
            return startFailure;
        } finally {
            startMethod = null;
            startFailure = null;
            if (interrupted) {
                Thread.currentThread().interrupt();
            }
        }
    }

    /** The start thread's body: the start method called with the status sink. */
    public void run() {
        Method method = startMethod;
        if (method == null || this != bootInstance) {
            return;
        }
        try {
            method.invoke(null, new Object[] {statusSink});
        } catch (Throwable e) {
            startFailure = e;
        }
    }

    /** The exception behind reflection's and class initialisation's wrappers. */
    private static Throwable realCause(Throwable t) {
        for (int depth = 0; depth < 16 && (t instanceof InvocationTargetException
                || t instanceof ExceptionInInitializerError) && t.getCause() != null; depth++) {
            t = t.getCause();
        }
        return t;
    }

    private Class loadApplicationClass() {
        File location = new File(packageLocation);
        try {
            if (!location.isDirectory() && location.getName().endsWith(".exe")) {
                return loadFromExecutable(location);
            }
            ArrayList candidates = scanPackages(location);
            if (candidates.isEmpty()) {
                reportError(ERROR_NO_PACKAGE);
                return null;
            }
            for (int i = candidates.size() - 1; i >= 0; i--) {
                Class cls = loadPackageFile((String[]) candidates.get(i));
                if (cls != null) {
                    return cls;
                }
            }
            return null;
        } catch (Exception e) {
            reportError(e.toString());
            return null;
        }
    }

    /** Reads the package an executable carries, located by the pointer at POINTER_OFFSET. */
    private Class loadFromExecutable(File file) {
        RandomAccessFile in = null;
        try {
            refuseSpecialFile(file);
            in = new RandomAccessFile(file, "r");
            int length = (int) in.length();
            if (length < MIN_CONTAINER_LENGTH) {
                reportError(ERROR_EXECUTABLE_TOO_SHORT);
                return null;
            }
            in.seek(POINTER_OFFSET);
            int offset = in.readInt();
            int size = in.readInt();
            if (offset < POINTER_OFFSET || size < MIN_EMBEDDED_SIZE || (long) offset + size > length
                    || offset >= length || size >= length) {
                return null;
            }
            // A damaged pointer into a large file must not exhaust the heap (and
            // trigger the launcher's heap dump): refuse what cannot fit first.
            long free = freeHeap();
            if (size > free) {
                System.gc(); // garbage counts as used until collected
                free = freeHeap();
            }
            if (size > free) {
                throw new IOException("the package of " + size + " bytes in " + file + " exceeds the free heap of "
                        + free + " bytes");
            }
            byte[] data = new byte[size];
            in.seek(offset);
            in.readFully(data);
            return loadFromStream(new ByteArrayInputStream(data));
        } catch (Throwable e) {
            reportError(e.toString());
            return null;
        } finally {
            closeQuietly(in);
        }
    }

    /**
     * Opening a pipe blocks until someone writes to it, and a device may never
     * end: only regular files (and, failing on open as before, directories and
     * missing files) are opened.
     */
    private static void refuseSpecialFile(File file) throws IOException {
        if (file.exists() && !file.isFile() && !file.isDirectory()) {
            throw new IOException(file + " is not a regular file");
        }
    }

    /** Candidates {absolute path, version} of the directory, in ascending version order. */
    private ArrayList scanPackages(File directory) {
        ArrayList candidates = new ArrayList(8);
        File[] files = directory.isDirectory() ? directory.listFiles() : null;
        if (files == null) {
            return candidates;
        }
        for (int i = 0; i < files.length; i++) {
            try {
                if (!files[i].getName().endsWith(packageSuffix)) {
                    continue;
                }
                String version = checkHeader(files[i]);
                if (version != null) {
                    insertCandidate(candidates, new String[] {files[i].getAbsolutePath(), version});
                }
            } catch (Throwable e) {
                // Errors too: one damaged file must not keep the others from being tried.
                logThrowable(TAG_MAIN, e);
            }
        }
        return candidates;
    }

    /** Inserts before the first entry whose version is not lower, so equal versions keep listing order when tried from the end. */
    private static void insertCandidate(ArrayList candidates, String[] candidate) {
        for (int i = 0; i < candidates.size(); i++) {
            String[] entry = (String[]) candidates.get(i);
            if (compareVersions(candidate[1], entry[1]) <= 0) {
                candidates.add(i, candidate);
                return;
            }
        }
        candidates.add(candidate);
    }

    /**
     * Orders dotted versions component by component; a missing component counts
     * as 0, so 1.2 and 1.2.0 are equal and 1.2 is below 1.2.1 whichever comes first.
     */
    private static int compareVersions(String x, String y) {
        String[] a = x.split("\\.");
        String[] b = y.split("\\.");
        int count = Math.max(a.length, b.length);
        for (int i = 0; i < count; i++) {
            int p = i < a.length ? atoi(a[i]) : 0;
            int q = i < b.length ? atoi(b[i]) : 0;
            if (p != q) {
                return p < q ? -1 : 1;
            }
        }
        return 0;
    }

    private Class loadPackageFile(String[] candidate) {
        try {
            Class cls = loadFromStream(new FileInputStream(candidate[0]));
            if (cls != null) {
                log(TAG_MAIN, LOG_PACKAGE_FOUND + candidate[0]);
            }
            return cls;
        } catch (Throwable e) {
            logThrowable(TAG_MAIN, e);
            return null;
        }
    }

    /** Replaces the package loader by a new one reading the stream; the client main class from it, or null. */
    private Class loadFromStream(InputStream in) {
        try {
            Main old = packageLoader;
            if (old != null) {
                log(TAG_MAIN, LOG_LOADER_CLOSED + old.hashCode());
                old.contentBytes = null;
                HashMap index = old.entryIndex;
                if (index != null) {
                    index.clear();
                    old.entryIndex = null;
                }
            }
            packageLoader = new Main();
            packageLoader.readPackage(new DataInputStream(in));
            return packageLoader.loadClass(mainClassName);
        } catch (Throwable e) {
            // A LinkageError (a class file for a newer Java, a malformed or
            // unverifiable class) fails this package only, like an invalid one.
            logThrowable(TAG_MAIN, e);
            return null;
        } finally {
            closeQuietly(in);
        }
    }

    private static boolean invokeNoArgs(Method method) {
        try {
            method.invoke(null, new Object[0]);
            return true;
        } catch (Exception e) {
            logThrowable(TAG_MAIN, e);
            return false;
        }
    }

    // ------------------------------------------------------------------ package format

    // The package layout. The package tool defines the same values for the
    // writer's side (apppack's PackageFormat, and ExecutableContainer for the
    // container: MIN_CONTAINER_LENGTH is its MIN_LENGTH, MIN_EMBEDDED_SIZE its
    // MIN_PACKAGE_SIZE, the others have the same names). This class must stay
    // one class and cannot use theirs; PackageReadingTest checks both agree.

    /** The seven int32 that open the sealed header, in bytes; the sealed texts follow them. */
    private static final int HEADER_NUMBERS = 28;

    /** Deflate expands at most about 1032:1, so a larger raw length is a damaged header. */
    private static final long MAX_INFLATE_RATIO = 1032L;

    /** Smallest index record: an empty name (2 bytes) and three int32. */
    private static final int MIN_INDEX_RECORD = 14;

    /** A sealed header holds seven numbers and two texts; anything longer is not a package. */
    private static final int MAX_SEALED_LENGTH = 65536;

    /** Offset of the embedded-package pointer (offset, size: two int32) in an executable container. */
    private static final int POINTER_OFFSET = 80;

    /** The shortest executable container: the pointer and some bytes beyond it. */
    private static final int MIN_CONTAINER_LENGTH = 97;

    /** The smallest package an embedded-package pointer may announce. */
    private static final int MIN_EMBEDDED_SIZE = 10;

    private static final int READ_CHUNK = 65536;

    /**
     * Header check of a package file: the sealed version when the sealed texts
     * match the clear ones, else null. Reads nothing beyond the sealed header.
     */
    private String checkHeader(File file) throws IOException {
        DataInputStream in = null;
        try {
            refuseSpecialFile(file);
            in = new DataInputStream(new FileInputStream(file));
            return readSealedHeader(in, null, file);
        } finally {
            closeQuietly(in);
        }
    }

    /**
     * Reads the clear texts and the sealed header that open a package stream
     * and opens the header. With numbers null (the header check) the header's
     * seven numbers are skipped, and a header too short for them gives null;
     * otherwise they are read into numbers, and a header too short for them
     * throws. Returns the sealed version when both sealed texts equal the clear
     * ones, else null. file names the stream in the decryption failure, if given.
     */
    private static String readSealedHeader(DataInputStream in, int[] numbers, File file) throws IOException {
        String version = in.readUTF();
        String check = in.readUTF();
        byte[] sealed = readBlock(in, sealedLength(in.readInt()));
        byte[] plain = decryptBlock(packageKey.getBytes(), sealed);
        if (plain == null) {
            throw new IllegalArgumentException("sealed header" + (file == null ? "" : " of " + file)
                    + " does not decrypt");
        }
        DataInputStream header = new DataInputStream(new ByteArrayInputStream(plain));
        if (numbers == null) {
            if (header.skipBytes(HEADER_NUMBERS) < HEADER_NUMBERS) {
                return null;
            }
        } else {
            for (int i = 0; i < numbers.length; i++) {
                numbers[i] = header.readInt();
            }
        }
        String sealedVersion = header.readUTF();
        String sealedCheck = header.readUTF();
        if (sealedVersion.equals(version) && sealedCheck.equals(check)) {
            return sealedVersion;
        }
        return null;
    }

    /**
     * Reads a whole package stream into this loader's index and content.
     * Throws IllegalArgumentException ERROR_INVALID_PACKAGE on any failure;
     * always closes the stream.
     */
    private void readPackage(DataInputStream in) {
        try {
            int[] numbers = new int[HEADER_NUMBERS / 4];
            if (readSealedHeader(in, numbers, null) == null) {
                // Not an error: the loader stays empty and the main class is not found in it.
                return;
            }
            int indexRawLength = numbers[0];
            int indexStoredLength = numbers[1];
            int indexCrc = numbers[2];
            int contentRawLength = numbers[3];
            int contentStoredLength = numbers[4];
            int contentCrc = numbers[5];
            int entryCount = numbers[6];
            // Nothing is allocated from a length before it is known to be possible.
            checkRawLength("index", indexRawLength, indexStoredLength);
            checkRawLength("content", contentRawLength, contentStoredLength);
            readIndex(in, indexStoredLength, indexCrc, indexRawLength, entryCount, contentRawLength);
            contentBytes = readStoredBlock(in, "content", contentStoredLength, contentCrc, contentRawLength);
        } catch (Throwable e) {
            // Errors too: a raw length that is possible but beyond the heap
            // fails this package, and the next candidate gets its turn.
            logThrowable(TAG_MAIN, e);
            throw new IllegalArgumentException(ERROR_INVALID_PACKAGE);
        } finally {
            closeQuietly(in);
        }
    }

    /**
     * Reads the index block into this loader's entryIndex, which it stores at
     * once. Every entry must lie within the content of contentRawLength bytes.
     */
    private void readIndex(DataInputStream in, int storedLength, int crc, int rawLength, int entryCount,
            int contentRawLength) throws IOException {
        if (entryCount < 0 || entryCount > rawLength / MIN_INDEX_RECORD) {
            throw new IllegalArgumentException("entry count " + entryCount + " does not fit an index of "
                    + rawLength + " bytes");
        }
        HashMap index = new HashMap(2 * entryCount + 8);
        entryIndex = index;
        byte[] raw = readStoredBlock(in, "index", storedLength, crc, rawLength);
        DataInputStream records = new DataInputStream(new ByteArrayInputStream(raw));
        for (int i = 0; i < entryCount; i++) {
            String name = records.readUTF();
            int offset = records.readInt();
            int length = records.readInt();
            records.readInt();
            if (offset < 0 || length < 0 || (long) offset + length > contentRawLength) {
                throw new IllegalArgumentException("entry " + name + " at " + offset + " length " + length
                        + " lies outside the content of " + contentRawLength + " bytes");
            }
            index.put(name, new int[] {offset, length});
        }
    }

    /**
     * Reads one stored block of the stream, tests its CRC and decompresses it
     * into rawLength bytes. A CRC that differs throws IllegalArgumentException
     * without a message.
     */
    private static byte[] readStoredBlock(DataInputStream in, String block, int storedLength, int crc, int rawLength)
            throws IOException {
        byte[] stored = readBlock(in, storedLength);
        if (crc32Of(stored) != crc) {
            throw new IllegalArgumentException();
        }
        byte[] raw = gunzipBlock(stored, storedLength, rawLength);
        if (raw == null) {
            throw new IllegalArgumentException(block + " block does not decompress");
        }
        return raw;
    }

    /** Refuses a raw length that is negative or that no gzip stream of the stored length can produce. */
    private static void checkRawLength(String block, int rawLength, int storedLength) {
        if (rawLength < 0 || storedLength < 0 || rawLength > MAX_INFLATE_RATIO * storedLength) {
            throw new IllegalArgumentException(block + " raw length " + rawLength + " impossible for "
                    + storedLength + " stored bytes");
        }
    }

    private static int sealedLength(int length) throws IOException {
        if (length > MAX_SEALED_LENGTH) {
            throw new IOException("sealed header length " + length + " is not that of a package");
        }
        return length;
    }

    /** Heap the VM can still give, counting memory it has not taken from the system yet. */
    private static long freeHeap() {
        Runtime runtime = Runtime.getRuntime();
        return runtime.maxMemory() - (runtime.totalMemory() - runtime.freeMemory());
    }

    /**
     * Reads exactly length bytes. The buffer grows with the bytes that really
     * arrive, so a damaged length cannot make it allocate more than the stream holds.
     */
    private static byte[] readBlock(InputStream in, int length) throws IOException {
        if (length < 0) {
            throw new IllegalArgumentException("negative block length " + length);
        }
        int first = Math.min(length, Math.max(READ_CHUNK, in.available()));
        byte[] buffer = new byte[first];
        int filled = 0;
        while (filled < length) {
            if (filled == buffer.length) {
                buffer = Arrays.copyOf(buffer, (int) Math.min(length, 2L * buffer.length));
            }
            int n = in.read(buffer, filled, buffer.length - filled);
            if (n < 0) {
                throw new EOFException("package ends " + (length - filled) + " bytes early");
            }
            filled += n;
        }
        return buffer;
    }

    /** Opens a sealed header with this class's own AES (see the header cipher section). */
    private static byte[] decryptBlock(byte[] key, byte[] data) {
        try {
            return aesEcbDecrypt(key, data);
        } catch (Exception e) {
            logThrowable(TAG_MAIN, e);
            return null;
        }
    }

    private static int crc32Of(byte[] data) {
        CRC32 crc = new CRC32();
        crc.update(data);
        return (int) crc.getValue();
    }

    /** Decompresses into exactly rawLength bytes; null on failure, and when the stream ends early. */
    private static byte[] gunzipBlock(byte[] data, int storedLength, int rawLength) {
        GZIPInputStream in = null;
        try {
            byte[] out = new byte[rawLength];
            in = new GZIPInputStream(new ByteArrayInputStream(data, 0, storedLength), READ_CHUNK);
            // A block that ends early is damaged: zeros in place of class bytes must never be served.
            return fillBuffer(in, out, 0, rawLength) ? out : null;
        } catch (Exception e) {
            logThrowable(TAG_MAIN, e);
            return null;
        } finally {
            closeQuietly(in);
        }
    }

    private static boolean fillBuffer(InputStream in, byte[] buffer, int start, int count) {
        try {
            while (count > 0) {
                int n = in.read(buffer, start, count);
                if (n < 0) {
                    log(TAG_MAIN, LOG_BLOCK_SHORT + count);
                    return false;
                }
                start += n;
                count -= n;
            }
            return true;
        } catch (Exception e) {
            logThrowable(TAG_MAIN, e);
            return false;
        }
    }

    // ------------------------------------------------------------------ header cipher
    //
    // Sealed headers are opened here, not through javax.crypto. The first
    // javax.crypto.Cipher of a VM starts the runtime's whole crypto framework
    // (providers, policy files; about 470 classes and 50 to 80 ms on JDK 17,
    // and on the Java 7 runtime also the signature checks of its crypto jars),
    // only to open a header of some 48 bytes sealed under a key the launcher
    // itself carries. The header is a format detail, not a security boundary,
    // so a few table look-ups do. This is exactly what
    // Cipher.getInstance("AES/ECB/PKCS5Padding") gives in decryption mode, with
    // the same refusals: a key that is not 16, 24 or 32 bytes, data whose length
    // is not a multiple of 16, a padding value outside 1..16 or padding bytes
    // that differ from it (no data at all gives an empty plaintext there, and
    // so here). Only the inverse cipher is here; the package tool seals with
    // javax.crypto, which the tests use as the reference.

    /** Forward S-box (for the key schedule), inverse S-box, and the InvMixColumns products by 9, 11, 13, 14. */
    private static final int[] AES_SBOX = new int[256];
    private static final int[] AES_INV_SBOX = new int[256];
    private static final int[] AES_MUL9 = new int[256];
    private static final int[] AES_MUL11 = new int[256];
    private static final int[] AES_MUL13 = new int[256];
    private static final int[] AES_MUL14 = new int[256];

    static {
        // Walk GF(2^8) by powers of the generator 3: p runs through 3^k and q
        // through its inverse 3^-k, so the S-box entry of p is the affine
        // transform of q.
        int p = 1;
        int q = 1;
        do {
            p = (p ^ (p << 1) ^ ((p & 0x80) != 0 ? 0x1b : 0)) & 0xff;
            q ^= q << 1;
            q ^= q << 2;
            q ^= q << 4;
            q &= 0xff;
            if ((q & 0x80) != 0) {
                q ^= 0x09;
            }
            int x = q ^ aesRotl8(q, 1) ^ aesRotl8(q, 2) ^ aesRotl8(q, 3) ^ aesRotl8(q, 4);
            AES_SBOX[p] = (x ^ 0x63) & 0xff;
        } while (p != 1);
        AES_SBOX[0] = 0x63;
        for (int i = 0; i < 256; i++) {
            AES_INV_SBOX[AES_SBOX[i]] = i;
            AES_MUL9[i] = aesMul(i, 9);
            AES_MUL11[i] = aesMul(i, 11);
            AES_MUL13[i] = aesMul(i, 13);
            AES_MUL14[i] = aesMul(i, 14);
        }
    }

    private static int aesRotl8(int x, int n) {
        return ((x << n) | (x >>> (8 - n))) & 0xff;
    }

    /** Product in GF(2^8) modulo x^8 + x^4 + x^3 + x + 1. */
    private static int aesMul(int a, int b) {
        int product = 0;
        while (b != 0) {
            if ((b & 1) != 0) {
                product ^= a;
            }
            a = (a << 1) ^ ((a & 0x80) != 0 ? 0x11b : 0);
            b >>>= 1;
        }
        return product;
    }

    /**
     * AES decryption in ECB mode with PKCS#5 padding removed. Throws
     * IllegalArgumentException, saying why, wherever the runtime's cipher
     * refuses the same input.
     */
    private static byte[] aesEcbDecrypt(byte[] key, byte[] data) {
        int keyWords = key.length / 4;
        if (key.length != 16 && key.length != 24 && key.length != 32) {
            throw new IllegalArgumentException("AES key of " + key.length + " bytes");
        }
        if (data.length % 16 != 0) {
            throw new IllegalArgumentException("sealed length " + data.length + " is not a multiple of 16");
        }
        if (data.length == 0) {
            return new byte[0];
        }
        int rounds = keyWords + 6;
        int[] w = new int[4 * (rounds + 1)];
        for (int i = 0; i < keyWords; i++) {
            w[i] = (key[4 * i] & 0xff) << 24 | (key[4 * i + 1] & 0xff) << 16 | (key[4 * i + 2] & 0xff) << 8
                    | (key[4 * i + 3] & 0xff);
        }
        int rcon = 1;
        for (int i = keyWords; i < w.length; i++) {
            int t = w[i - 1];
            if (i % keyWords == 0) {
                t = aesSubWord(t << 8 | t >>> 24) ^ rcon << 24;
                rcon = (rcon << 1) ^ ((rcon & 0x80) != 0 ? 0x11b : 0);
            } else if (keyWords > 6 && i % keyWords == 4) {
                t = aesSubWord(t);
            }
            w[i] = w[i - keyWords] ^ t;
        }
        byte[] out = new byte[data.length];
        int[] s = new int[16];
        int[] t = new int[16];
        for (int block = 0; block < data.length; block += 16) {
            for (int i = 0; i < 16; i++) {
                s[i] = data[block + i] & 0xff;
            }
            aesAddRoundKey(s, w, rounds);
            for (int round = rounds - 1; round >= 0; round--) {
                // InvShiftRows and InvSubBytes: row r turns right by r columns.
                for (int c = 0; c < 4; c++) {
                    for (int r = 0; r < 4; r++) {
                        t[4 * c + r] = AES_INV_SBOX[s[4 * ((c - r + 4) & 3) + r]];
                    }
                }
                aesAddRoundKey(t, w, round);
                if (round == 0) {
                    int[] done = s;
                    s = t;
                    t = done;
                    break;
                }
                for (int c = 0; c < 16; c += 4) {
                    int a0 = t[c];
                    int a1 = t[c + 1];
                    int a2 = t[c + 2];
                    int a3 = t[c + 3];
                    s[c] = AES_MUL14[a0] ^ AES_MUL11[a1] ^ AES_MUL13[a2] ^ AES_MUL9[a3];
                    s[c + 1] = AES_MUL9[a0] ^ AES_MUL14[a1] ^ AES_MUL11[a2] ^ AES_MUL13[a3];
                    s[c + 2] = AES_MUL13[a0] ^ AES_MUL9[a1] ^ AES_MUL14[a2] ^ AES_MUL11[a3];
                    s[c + 3] = AES_MUL11[a0] ^ AES_MUL13[a1] ^ AES_MUL9[a2] ^ AES_MUL14[a3];
                }
            }
            for (int i = 0; i < 16; i++) {
                out[block + i] = (byte) s[i];
            }
        }
        int pad = out[out.length - 1] & 0xff;
        if (pad < 1 || pad > 16) {
            throw new IllegalArgumentException("padding value " + pad + " outside 1..16");
        }
        for (int i = out.length - pad; i < out.length; i++) {
            if ((out[i] & 0xff) != pad) {
                throw new IllegalArgumentException("padding bytes differ from the padding value " + pad);
            }
        }
        return Arrays.copyOf(out, out.length - pad);
    }

    private static int aesSubWord(int word) {
        return AES_SBOX[word >>> 24] << 24 | AES_SBOX[(word >>> 16) & 0xff] << 16 | AES_SBOX[(word >>> 8) & 0xff] << 8
                | AES_SBOX[word & 0xff];
    }

    /** State bytes are column-major (byte 4c + r is row r of column c); round key word c covers column c. */
    private static void aesAddRoundKey(int[] state, int[] w, int round) {
        for (int c = 0; c < 4; c++) {
            int word = w[4 * round + c];
            state[4 * c] ^= word >>> 24;
            state[4 * c + 1] ^= (word >>> 16) & 0xff;
            state[4 * c + 2] ^= (word >>> 8) & 0xff;
            state[4 * c + 3] ^= word & 0xff;
        }
    }

    // ------------------------------------------------------------------ class and resource service

    protected Class findClass(String name) throws ClassNotFoundException {
        if (name.equals(Main.class.getName())) {
            // The client calls this class's static members; its parent loaders may not know it.
            return Main.class;
        }
        HashMap index = entryIndex;
        byte[] content = contentBytes;
        if (index != null && content != null) {
            int[] range = (int[]) index.get(name.replace('.', '/') + ".class");
            if (range != null) {
                return defineClass(name, content, range[0], range[1]);
            }
        }
        return super.findClass(name);
    }

    /** Package entries first (exact name, no leading "/" removed), then the parent loaders. */
    public InputStream getResourceAsStream(String name) {
        try {
            InputStream in = entryStream(name);
            if (in != null) {
                return in;
            }
            return super.getResourceAsStream(name);
        } catch (Exception e) {
            logThrowable(TAG_MAIN, e);
            return null;
        }
    }

    protected URL findResource(String name) {
        try {
            return entryUrl(name);
        } catch (Exception e) {
            logThrowable(TAG_MAIN, e);
            return null;
        }
    }

    protected Enumeration findResources(String name) throws IOException {
        URL url = findResource(name);
        return Collections.enumeration(url == null ? Collections.emptyList() : Collections.singletonList(url));
    }

    /** A stream over the entry's slice of the content (no copy), or null. */
    private InputStream entryStream(String name) {
        HashMap index = entryIndex;
        byte[] content = contentBytes;
        if (index == null || content == null || name == null) {
            return null;
        }
        int[] range = (int[]) index.get(name);
        return range == null ? null : new ByteArrayInputStream(content, range[0], range[1]);
    }

    /** URL of a package entry, "mirl-app:/N/name" with the name percent-encoded; null when missing. */
    private URL entryUrl(String name) throws Exception {
        HashMap index = entryIndex;
        if (name == null || index == null || contentBytes == null || !index.containsKey(name)) {
            return null;
        }
        URLStreamHandler handler;
        String prefix;
        synchronized (handlerLock) {
            if (entryHandler == null) {
                entryHandler = (URLStreamHandler) handlerConstructor().newInstance(new Object[] {this});
                entryUrlPrefix = "/" + (++handlerSerial) + "/";
            }
            handler = entryHandler;
            prefix = entryUrlPrefix;
        }
        String path = prefix + URLEncoder.encode(name, "UTF-8").replace("+", "%20").replace("%2F", "/");
        return new URL(URL_PROTOCOL, null, -1, path, handler);
    }

    // ------------------------------------------------------------------ resource URL classes, built at run time
    //
    // A URL that reads from memory needs a URLStreamHandler and a
    // URLConnection subclass, and this class can subclass neither. So two tiny
    // classes are assembled here as class-file bytes and defined by a loader
    // whose parent is this class's own loader; they only forward to
    // openEntry. They are not nested classes: nothing of them is in this
    // class file.

    private static final String HANDLER_CLASS = "com/mirl/runbed/MainEntryHandler";
    private static final String CONNECTION_CLASS = "com/mirl/runbed/MainEntryConnection";
    private static final String URL_PROTOCOL = "mirl-app";
    /** Class-file major version of the two classes: Java 7's, like this class's own. */
    private static final int CLASS_FILE_VERSION = 51;
    private static final Object handlerLock = new Object();
    private static Constructor handlerConstructor;
    private static int handlerSerial;

    /** Defines the two resource URL classes once; call with handlerLock held. */
    private static Constructor handlerConstructor() throws Exception {
        if (handlerConstructor == null) {
            Main definer = new Main(Main.class.getClassLoader());
            byte[] connection = connectionClassBytes();
            byte[] handler = handlerClassBytes();
            definer.defineClass(CONNECTION_CLASS.replace('/', '.'), connection, 0, connection.length);
            Class handlerClass = definer.defineClass(HANDLER_CLASS.replace('/', '.'), handler, 0, handler.length);
            handlerConstructor = handlerClass.getConstructor(new Class[] {Object.class});
        }
        return handlerConstructor;
    }

    /*
     * The connection class, in Java terms:
     *   public final class MainEntryConnection extends URLConnection {
     *     private final Object owner;
     *     public MainEntryConnection(URL url, Object owner) { super(url); this.owner = owner; }
     *     public void connect() { connected = true; }
     *     public InputStream getInputStream() throws IOException { return Main.openEntry(owner, getURL()); }
     *   }
     */
    private static byte[] connectionClassBytes() throws IOException {
        LinkedHashMap pool = new LinkedHashMap();
        ByteArrayOutputStream body = new ByteArrayOutputStream();
        DataOutputStream out = new DataOutputStream(body);
        int owner = beginOwnerClass(out, pool, CONNECTION_CLASS, "java/net/URLConnection");
        out.writeShort(3); // methods

        ByteArrayOutputStream code = new ByteArrayOutputStream();
        code.write(0x2a); // aload_0
        code.write(0x2b); // aload_1
        writeOp(code, 0xb7, memberConstant(pool, 10, "java/net/URLConnection", "<init>", "(Ljava/net/URL;)V"));
        code.write(0x2a); // aload_0
        code.write(0x2c); // aload_2
        writeOp(code, 0xb5, owner); // putfield owner
        code.write(0xb1); // return
        writeMethod(out, pool, 0x0001, "<init>", "(Ljava/net/URL;Ljava/lang/Object;)V", 2, 3, code.toByteArray());

        code.reset();
        code.write(0x2a); // aload_0
        code.write(0x04); // iconst_1
        writeOp(code, 0xb5, memberConstant(pool, 9, "java/net/URLConnection", "connected", "Z"));
        code.write(0xb1); // return
        writeMethod(out, pool, 0x0001, "connect", "()V", 2, 1, code.toByteArray());

        code.reset();
        code.write(0x2a); // aload_0
        writeOp(code, 0xb4, owner); // getfield owner
        code.write(0x2a); // aload_0
        writeOp(code, 0xb6, memberConstant(pool, 10, "java/net/URLConnection", "getURL", "()Ljava/net/URL;"));
        writeOp(code, 0xb8, memberConstant(pool, 10, "com/mirl/runbed/Main", "openEntry",
                "(Ljava/lang/Object;Ljava/net/URL;)Ljava/io/InputStream;"));
        code.write(0xb0); // areturn
        writeMethod(out, pool, 0x0001, "getInputStream", "()Ljava/io/InputStream;", 2, 1, code.toByteArray());

        out.writeShort(0); // class attributes
        return classFile(pool, body.toByteArray());
    }

    /*
     * The handler class, in Java terms:
     *   public final class MainEntryHandler extends URLStreamHandler {
     *     private final Object owner;
     *     public MainEntryHandler(Object owner) { this.owner = owner; }
     *     protected URLConnection openConnection(URL url) { return new MainEntryConnection(url, owner); }
     *   }
     */
    private static byte[] handlerClassBytes() throws IOException {
        LinkedHashMap pool = new LinkedHashMap();
        ByteArrayOutputStream body = new ByteArrayOutputStream();
        DataOutputStream out = new DataOutputStream(body);
        int owner = beginOwnerClass(out, pool, HANDLER_CLASS, "java/net/URLStreamHandler");
        out.writeShort(2); // methods

        ByteArrayOutputStream code = new ByteArrayOutputStream();
        code.write(0x2a); // aload_0
        writeOp(code, 0xb7, memberConstant(pool, 10, "java/net/URLStreamHandler", "<init>", "()V"));
        code.write(0x2a); // aload_0
        code.write(0x2b); // aload_1
        writeOp(code, 0xb5, owner); // putfield owner
        code.write(0xb1); // return
        writeMethod(out, pool, 0x0001, "<init>", "(Ljava/lang/Object;)V", 2, 2, code.toByteArray());

        code.reset();
        writeOp(code, 0xbb, classConstant(pool, CONNECTION_CLASS)); // new
        code.write(0x59); // dup
        code.write(0x2b); // aload_1
        code.write(0x2a); // aload_0
        writeOp(code, 0xb4, owner); // getfield owner
        writeOp(code, 0xb7, memberConstant(pool, 10, CONNECTION_CLASS, "<init>",
                "(Ljava/net/URL;Ljava/lang/Object;)V"));
        code.write(0xb0); // areturn
        writeMethod(out, pool, 0x0004, "openConnection", "(Ljava/net/URL;)Ljava/net/URLConnection;", 4, 2,
                code.toByteArray());

        out.writeShort(0); // class attributes
        return classFile(pool, body.toByteArray());
    }

    /**
     * Writes the start of a class body: public final, extending base, no
     * interfaces, one field "private final Object owner". Returns the field's
     * constant for getfield and putfield.
     */
    private static int beginOwnerClass(DataOutputStream out, LinkedHashMap pool, String self, String base)
            throws IOException {
        out.writeShort(0x0031); // public final super
        out.writeShort(classConstant(pool, self));
        out.writeShort(classConstant(pool, base));
        out.writeShort(0); // interfaces
        out.writeShort(1); // fields
        out.writeShort(0x0012); // private final
        out.writeShort(utf8Constant(pool, "owner"));
        out.writeShort(utf8Constant(pool, "Ljava/lang/Object;"));
        out.writeShort(0); // field attributes
        return memberConstant(pool, 9, self, "owner", "Ljava/lang/Object;");
    }

    // Constant pool entries are keyed "tag|operands" in insertion order, so equal
    // constants share one slot and the pool can be written out afterwards.

    private static int constant(LinkedHashMap pool, String key) {
        Integer slot = (Integer) pool.get(key);
        if (slot == null) {
            slot = Integer.valueOf(pool.size() + 1);
            pool.put(key, slot);
        }
        return slot.intValue();
    }

    private static int utf8Constant(LinkedHashMap pool, String text) {
        return constant(pool, "1|" + text);
    }

    private static int classConstant(LinkedHashMap pool, String internalName) {
        return constant(pool, "7|" + utf8Constant(pool, internalName));
    }

    private static int memberConstant(LinkedHashMap pool, int tag, String owner, String name, String descriptor) {
        int cls = classConstant(pool, owner);
        int nameAndType = constant(pool, "12|" + utf8Constant(pool, name) + "|" + utf8Constant(pool, descriptor));
        return constant(pool, tag + "|" + cls + "|" + nameAndType);
    }

    private static void writeOp(ByteArrayOutputStream code, int opcode, int operand) {
        code.write(opcode);
        code.write(operand >> 8);
        code.write(operand);
    }

    private static void writeMethod(DataOutputStream out, LinkedHashMap pool, int access, String name,
            String descriptor, int maxStack, int maxLocals, byte[] code) throws IOException {
        out.writeShort(access);
        out.writeShort(utf8Constant(pool, name));
        out.writeShort(utf8Constant(pool, descriptor));
        out.writeShort(1);
        out.writeShort(utf8Constant(pool, "Code"));
        out.writeInt(12 + code.length);
        out.writeShort(maxStack);
        out.writeShort(maxLocals);
        out.writeInt(code.length);
        out.write(code);
        out.writeShort(0); // exception table
        out.writeShort(0); // code attributes
    }

    private static byte[] classFile(LinkedHashMap pool, byte[] body) throws IOException {
        ByteArrayOutputStream bytes = new ByteArrayOutputStream();
        DataOutputStream out = new DataOutputStream(bytes);
        out.writeInt(0xCAFEBABE);
        out.writeShort(0); // minor version
        out.writeShort(CLASS_FILE_VERSION);
        out.writeShort(pool.size() + 1);
        for (Iterator it = pool.entrySet().iterator(); it.hasNext();) {
            String key = (String) ((Map.Entry) it.next()).getKey();
            int bar = key.indexOf('|');
            int tag = Integer.parseInt(key.substring(0, bar));
            String rest = key.substring(bar + 1);
            out.writeByte(tag);
            if (tag == 1) {
                out.writeUTF(rest);
            } else if (tag == 7) {
                out.writeShort(Integer.parseInt(rest));
            } else {
                int second = rest.indexOf('|');
                out.writeShort(Integer.parseInt(rest.substring(0, second)));
                out.writeShort(Integer.parseInt(rest.substring(second + 1)));
            }
        }
        out.write(body);
        return bytes.toByteArray();
    }

    // ------------------------------------------------------------------ log

    private static void log(String tag, String text) {
        System.out.println(System.currentTimeMillis() + " " + tag + " " + text);
    }

    private static String stackTraceText(Throwable t) {
        if (t == null) {
            return "";
        }
        StringWriter text = new StringWriter();
        PrintWriter writer = new PrintWriter(text);
        t.printStackTrace(writer);
        writer.flush();
        return text.toString();
    }

    private static void logThrowable(String tag, Throwable t) {
        log(tag, stackTraceText(t));
    }

    private static void reportError(String text) {
        log(TAG_ERROR, text);
        statusSink.compare(ERROR_CODE, text);
    }

    private static void closeQuietly(Closeable c) {
        if (c == null) {
            return;
        }
        try {
            c.close();
        } catch (Exception e) {
            logThrowable(TAG_MAIN, e);
        }
    }
}
