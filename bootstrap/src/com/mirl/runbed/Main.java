package com.mirl.runbed;

import java.io.ByteArrayInputStream;
import java.io.BufferedOutputStream;
import java.io.ByteArrayOutputStream;
import java.io.Closeable;
import java.io.DataInputStream;
import java.io.DataOutputStream;
import java.io.EOFException;
import java.io.File;
import java.io.FileInputStream;
import java.io.FileNotFoundException;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.io.PrintStream;
import java.io.PrintWriter;
import java.io.RandomAccessFile;
import java.io.StringWriter;
import java.lang.invoke.MethodHandles;
import java.lang.ref.WeakReference;
import java.lang.reflect.Field;
import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.math.BigInteger;
import java.net.URL;
import java.net.URLConnection;
import java.net.URLStreamHandler;
import java.nio.charset.Charset;
import java.nio.file.DirectoryIteratorException;
import java.nio.file.DirectoryStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.security.CodeSource;
import java.security.ProtectionDomain;
import java.security.cert.Certificate;
import java.text.SimpleDateFormat;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collections;
import java.util.Comparator;
import java.util.Date;
import java.util.Enumeration;
import java.util.HashMap;
import java.util.Iterator;
import java.util.Locale;
import java.util.Map;
import java.util.TimeZone;
import java.util.jar.Attributes;
import java.util.jar.Manifest;
import java.util.zip.CRC32;
import java.util.zip.DataFormatException;
import java.util.zip.GZIPInputStream;
import java.util.zip.Inflater;
import java.util.zip.ZipEntry;
import java.util.zip.ZipFile;
import java.util.zip.ZipOutputStream;

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
 * nothing outside the Java 7 runtime library. It therefore plays three roles:
 *
 * <pre>
 * role                          played by                    sections
 * boot runner, default sink     bootInstance (one), statics  entry point, the clients' contract, load cycle
 *                               main and the clients call;
 *                               it holds the launch strings
 * package loader                one instance per package     package format, package signatures,
 *                                                            class and resource service
 * resource URL handler definer  statics, and one instance    resource URLs
 *                               that defines the two classes
 * </pre>
 *
 * Members without an access modifier are so for the tests and benchmarks,
 * which reach them through com.mirl.runbed.MainAccess (test code, never
 * shipped), so that the compiler checks every such use, and for apppack,
 * which reads packages through this class's own reading code
 * (com.mirl.runbed.PackageCheck, in apppack.jar, which has this class on its
 * class path).
 */
@SuppressWarnings({"rawtypes", "unchecked"})
public class Main extends ClassLoader implements Comparator, Runnable {

    static final Main bootInstance = new Main();

    /** Of bootInstance: the six launch strings main was called with (package loaders keep them empty). */
    String packageLocation = "";
    String packageSuffix = "";
    String packageKey = "";
    String mainClassName = "";
    String startMethodName = "";
    String stopMethodName = "";

    private static Class appClass = null;

    /** Of bootInstance: the loader of the package currently in use. */
    private Main packageLoader;

    static Comparator statusSink;

    /**
     * How the last load cycle ended (a CYCLE_ value). The launcher reads it
     * over JNI once main has returned, to tell a client that ran from one that
     * never started; appClass cannot tell, the client may set it itself.
     */
    private static volatile int cycleOutcome;

    /** Of bootInstance during a load cycle: the trusted keys read for it (readTrust). */
    private Object[] cycleTrust;

    /** Numbers the load cycles, for the names of their start threads. */
    private static int cycleCount;

    /** Of bootInstance while a start thread runs: the start method it calls, and what that threw. */
    private Method startMethod;
    private Throwable startFailure;

    /** Of a package loader: entry name to {offset, length} within the content. */
    HashMap entryIndex;

    /**
     * Of a package loader: the decompressed content block, when the content
     * lists no restart points (or a list that does not agree with it),
     * inflated whole and checked against its gzip trailer before anything
     * of it is served; its first contentFilled bytes came from the block (a
     * block may end before its raw length).
     */
    byte[] contentBytes;
    private int contentFilled;

    /**
     * Of a package loader whose content lists restart points: the stored
     * content block, from which each entry's chunk is inflated whole and
     * checked when the entry is asked for (entryBytes). Null otherwise.
     */
    private volatile byte[] contentStored;

    /** Of such a loader: chunk i's first raw byte and first stored byte; element n is the end of each. */
    private int[] chunkRaw;
    private int[] chunkStored;

    /** Of such a loader: the CRC-32 of each chunk's raw bytes, as listed. */
    private int[] chunkCrc;

    /** Of such a loader, under contentLock: the chunks found not to inflate as listed; none of their bytes is served. */
    private boolean[] chunkBroken;

    /**
     * Of such a loader: the first chunk found not to inflate as listed, or
     * null. Found before the client's main class is loaded, it fails the
     * package (loadFromStream).
     */
    private volatile String contentFailure;

    /**
     * Of such a loader, under contentLock: the chunk inflated last (whole
     * and checked) in openBytes, which the next chunk's inflate reuses
     * unless it was handed out (openShared: a large entry served from it),
     * and the inflater it reuses. openChunk -1: none.
     */
    private int openChunk = -1;
    private byte[] openBytes;
    private boolean openShared;
    private Inflater openInflater;

    /**
     * Of such a loader, under contentLock: chunks inflated whole by its
     * inflater thread ahead of a reader that takes them in order (a client
     * that loads its classes as they lie), in slots by chunk number modulo
     * CHUNKS_AHEAD; chunk -1: none. How many of the last switches between
     * chunks went to the next one; the chunk the thread takes next, and the
     * one it is inflating (-1: none); whether it runs.
     */
    private byte[][] aheadBytes;
    private int[] aheadChunk;
    private int sequentialSwitches;
    private int aheadNext;
    private int aheadInflating = -1;
    private boolean aheadRunning;

    /** Of a package loader: released; its inflater thread stops at its next step. */
    private volatile boolean contentReleased;

    /**
     * Monitor of the chunk state and the inflater thread's hand-over. Not the
     * loader itself: class loading holds that while it defines a class, and
     * the inflater thread must not wait for it.
     */
    private final Object contentLock = new Object();

    /**
     * Of a package loader: the keys its package must be signed by (each
     * {DER bytes, modulus, exponent}; none: no package is trusted), or null
     * where no trust file asks for signed packages.
     */
    Object[] trustedKeys;

    /**
     * Of a package loader while its package is read with its signature in
     * view (trustedKeys or readRecord set): the stream's bytes before the
     * content block, as read, in order.
     */
    private ArrayList headParts;

    /**
     * Of a package loader whose signature held and whose listed chunks are
     * its restart points: each chunk's signed SHA-256, checked before the
     * chunk is first inflated; chunkState, under contentLock: whether each
     * chunk's stored bytes are unchecked, being hashed, or did or did not
     * match (CHUNK_ values).
     */
    private byte[][] chunkHash;
    private volatile byte[] chunkState;

    private static final byte CHUNK_UNCHECKED = 0;
    private static final byte CHUNK_HASHING = 1;
    private static final byte CHUNK_VOUCHED = 2;
    private static final byte CHUNK_FAILED = 3;

    /**
     * Of a package loader whose signature is checked on a thread of its own:
     * that thread (until awaitSignature joins it), the block it checks
     * ({manifest, signature}) and the content, and its verdict (what is
     * wrong, or null).
     */
    private volatile Thread signatureThread;
    private byte[][] signatureBlock;
    private byte[] signatureContent;
    private String signatureVerdict;

    /** Of a package loader whose signature held: {chunk start, stored lengths, hashes} as the manifest lists them. */
    private Object[] signedChunks;

    /** Of a package loader: its package file, as messages name it. */
    String packageName = "(a package stream)";

    /**
     * Of a package loader that apppack reads a package through (null for the
     * launcher's): what the read found, field by field, for its report.
     */
    HashMap readRecord;

    /**
     * Of a package loader: the further copies of names that several inputs
     * held, name to an ArrayList of {offset, length} in input order; null
     * when no name has more than one.
     */
    private HashMap entryCopies;

    /** Of a package loader: its classes' protection domain, whose code source is the package file. */
    private ProtectionDomain packageDomain;

    /**
     * Of a package loader: the range and record number of the package tool's
     * own entry (ENTRIES), null in packages made without it; and once read
     * (entryInfo), what it says: inputNames, each record's input and time,
     * the folders by name ({input, time}); inputManifests caches each
     * input's parsed manifest (a Manifest, or the loader itself for none).
     */
    private int[] entriesRecord;
    private boolean entryInfoRead;
    private String[] inputNames;
    private int[] recordInput;
    private long[] recordTime;
    private HashMap folders;
    private Object[] inputManifests;

    /**
     * Of a package loader, under infoLock: the packages its classes were
     * defined in, each with its seal base (the sealing input's place), or
     * Boolean.FALSE when not sealed.
     */
    private final HashMap packageSeals = new HashMap();

    /** Of a package loader: the plain jar copy of its package that folder URLs name, once made. */
    private File folderCopy;
    private boolean folderCopyTried;

    // Values of cycleOutcome. The build generates them for the launcher
    // (tavelin/cycle_outcome.h) and com.mirl.apppack.CycleOutcome; this one
    // class keeps its own copy, which PackageReadingTest compares with that.

    /** No client class could be loaded (also before the first cycle). */
    static final int CYCLE_NO_CLIENT = 0;
    /** The client class loaded, but its start method is missing, could not be called or threw. */
    static final int CYCLE_START_FAILED = 1;
    /** The client's start method was called and returned. */
    static final int CYCLE_START_RETURNED = 2;

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
    static final String NOTICE_LOADING = "加载中";
    /** "Updating, restarting": the client's start method returned with a restart request. */
    static final String NOTICE_RESTARTING = "更新重启中";
    /** "Not running": the client's start method returned without one. */
    static final String NOTICE_NOT_RUNNING = "未运行";

    /** "Start class not found": no package yielded the client's main class. */
    static final String ERROR_NO_START_CLASS = "找不到启动类";
    /** "Start method not found": the main class has no public static method of that name taking the sink. */
    static final String ERROR_NO_START_METHOD = "找不到启动方法";
    /** "Package not found": the package directory holds no acceptable package. */
    static final String ERROR_NO_PACKAGE = "找不到程序包";
    /** "Error reading App data": an executable too short to hold the package pointer. */
    static final String ERROR_EXECUTABLE_TOO_SHORT = "读取App数据错误！";
    /** A package that cannot be read: the message of the exception the full read throws, logged. */
    static final String ERROR_INVALID_PACKAGE = "invalid app";

    /** Log tag of this class's own lines. */
    static final String TAG_MAIN = "Main";
    /** Log tag of the lines that also went to the sink as error notices. */
    static final String TAG_ERROR = "err";

    /** Logged when main begins its load cycles. */
    static final String LOG_START = "start runServer";
    /** Logged with the path of the package the client class came from. */
    static final String LOG_PACKAGE_FOUND = "find app ";
    /** Logged with the hash code of the package loader that a new one replaces. */
    static final String LOG_LOADER_CLOSED = "close classLoader ";
    /** Logged with the byte count missing when a block decompresses short. */
    static final String LOG_BLOCK_SHORT = "readFully size=";

    /**
     * The parent of package loaders is the system loader's parent (the
     * extension loader on Java 7, the platform loader later): the system loader
     * serves the working directory, whose loose files must never shadow the
     * package's classes and resources, so it is asked after the package
     * (findClass, getResource).
     */
    public Main() {
        super(ClassLoader.getSystemClassLoader().getParent());
    }

    /** Only for the loader that defines the resource URL classes. */
    private Main(ClassLoader parent) {
        super(parent);
    }

    // ------------------------------------------------------------------ entry points

    /*
     * The position of each launch string, as the launcher hands them over
     * (the build generates both the launcher's strings and
     * com.mirl.apppack.LaunchStrings; this one class keeps its own copy of
     * the positions, which PackageReadingTest compares with that).
     */
    static final int LAUNCH_PACKAGE_LOCATION = 0;
    static final int LAUNCH_PACKAGE_SUFFIX = 1;
    static final int LAUNCH_PACKAGE_KEY = 2;
    static final int LAUNCH_MAIN_CLASS = 3;
    static final int LAUNCH_START_METHOD = 4;
    static final int LAUNCH_STOP_METHOD = 5;
    static final int LAUNCH_STRING_COUNT = 6;

    /**
     * Runs load cycles with the launch strings: location, suffix, key, main
     * class, start method, stop method. Returns when the client has ended
     * without asking for a restart, or could not be started.
     */
    public static void main(String[] args) {
        if (statusSink == null) {
            statusSink = bootInstance;
        }
        if (args != null && args.length >= LAUNCH_STRING_COUNT) {
            bootInstance.packageLocation = args[LAUNCH_PACKAGE_LOCATION];
            bootInstance.packageSuffix = args[LAUNCH_PACKAGE_SUFFIX];
            bootInstance.packageKey = args[LAUNCH_PACKAGE_KEY];
            bootInstance.mainClassName = args[LAUNCH_MAIN_CLASS];
            bootInstance.startMethodName = args[LAUNCH_START_METHOD];
            bootInstance.stopMethodName = args[LAUNCH_STOP_METHOD];
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

    // ------------------------------------------------------------------ the clients' contract

    // What clients read, set and call by name (Main.restart, Main.atoi(...)),
    // compiled into their classes: these stay public and static, with these
    // names and signatures. The status sink (compare, below) is passed to the
    // start method. Nothing else here is for clients.

    /** Set by the client (from any thread) to be loaded and started again once its start method returns. */
    public static volatile boolean restart = true;

    /** When this class was initialised, in milliseconds since 1970. */
    public static final long time = System.currentTimeMillis();

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
        return runMethod(bootInstance.stopMethodName);
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
            if (!method.getName().equals(bootInstance.startMethodName) || !Modifier.isStatic(method.getModifiers())) {
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
        Thread thread = new Thread(this, "client " + bootInstance.startMethodName + " (load cycle " + (++cycleCount) + ")");
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

    /**
     * The start thread's body (of bootInstance): the start method called with
     * the status sink. A package loader's: the inflate of its content.
     */
    public void run() {
        if (this != bootInstance) {
            Thread current = Thread.currentThread();
            if (current == signatureThread) {
                signatureVerdict = verifySignatureQuietly();
            } else {
                inflateAhead();
            }
            return;
        }
        Method method = startMethod;
        if (method == null) {
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
        File location = new File(bootInstance.packageLocation);
        try {
            // Read at every cycle: a restart sees keys added or removed since.
            cycleTrust = readTrust(new File(location.getAbsoluteFile().getParentFile(), TRUST_FILE));
            if (cycleTrust != null && cycleTrust.length == 0) {
                return null; // fail closed: logged where the file was read
            }
            if (!location.isDirectory() && location.getName().endsWith(".exe")) {
                return loadFromExecutable(location);
            }
            ArrayList candidates = scanPackages(location);
            if (candidates.isEmpty()) {
                reportError(ERROR_NO_PACKAGE);
                return null;
            }
            for (int i = candidates.size() - 1; i >= 0; i--) {
                Class cls = loadPackageFile((Object[]) candidates.get(i));
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
            requireFreeHeap(size, "the package in " + file);
            byte[] data = new byte[size];
            in.seek(offset);
            in.readFully(data);
            return loadFromStream(new ByteArrayInputStream(data), file);
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

    /**
     * Candidates {absolute path, version} of the directory, in ascending
     * version order. The names are kept as the OS gave them. The listing as
     * File names comes first: it costs the start nothing. Where one of its
     * names no longer names a file (a name the file-name encoding cannot spell,
     * as a non-ASCII name without a UTF-8 locale on Linux), the directory is
     * listed again as Paths, which keep the OS's bytes; opening the runtime's
     * file-system classes for every start would cost it several milliseconds.
     * A candidate's path is a File, or a Path from the second listing.
     */
    ArrayList scanPackages(File directory) {
        ArrayList candidates = new ArrayList(8);
        File[] files = directory.isDirectory() ? directory.listFiles() : null;
        if (files == null) {
            return candidates;
        }
        for (int i = 0; i < files.length; i++) {
            if (!files[i].exists()) {
                return scanPackagesByPath(directory);
            }
        }
        for (int i = 0; i < files.length; i++) {
            File file = files[i].getAbsoluteFile();
            if (file.getName().endsWith(bootInstance.packageSuffix)) {
                checkCandidate(candidates, file);
            }
        }
        return candidates;
    }

    /** The scan with the names as Paths, for names the File listing cannot spell. */
    private ArrayList scanPackagesByPath(File directory) {
        ArrayList candidates = new ArrayList(8);
        DirectoryStream files = null;
        try {
            files = Files.newDirectoryStream(directory.toPath());
            for (Iterator i = files.iterator(); i.hasNext();) {
                Path file = ((Path) i.next()).toAbsolutePath();
                if (file.getFileName().toString().endsWith(bootInstance.packageSuffix)) {
                    checkCandidate(candidates, file);
                }
            }
        } catch (IOException e) {
            logThrowable(TAG_MAIN, e);
        } catch (DirectoryIteratorException e) {
            logThrowable(TAG_MAIN, e);
        } finally {
            closeQuietly(files);
        }
        return candidates;
    }

    /** Adds the package file (a File or a Path) as a candidate when its header checks. */
    private void checkCandidate(ArrayList candidates, Object file) {
        try {
            String version = checkHeader(file);
            if (version != null) {
                insertCandidate(candidates, new Object[] {file, version});
            }
        } catch (Throwable e) {
            // Errors too: one damaged file must not keep the others from being tried.
            logThrowable(TAG_MAIN, e);
        }
    }

    /** A stream over a candidate's package file, a File or a Path. */
    private static InputStream openCandidate(Object file) throws IOException {
        return file instanceof File ? new FileInputStream((File) file) : Files.newInputStream((Path) file);
    }

    /** A candidate's package file as a File (for its code source and messages). */
    private static File candidateFile(Object file) {
        return file instanceof File ? (File) file : ((Path) file).toFile();
    }

    /** Inserts before the first entry whose version is not lower, so equal versions keep listing order when tried from the end. */
    private static void insertCandidate(ArrayList candidates, Object[] candidate) {
        for (int i = 0; i < candidates.size(); i++) {
            Object[] entry = (Object[]) candidates.get(i);
            if (compareVersions((String) candidate[1], (String) entry[1]) <= 0) {
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
    static int compareVersions(String x, String y) {
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

    private Class loadPackageFile(Object[] candidate) {
        try {
            Class cls = loadFromStream(openCandidate(candidate[0]), candidateFile(candidate[0]));
            if (cls != null) {
                log(TAG_MAIN, LOG_PACKAGE_FOUND + candidate[0]);
            }
            return cls;
        } catch (Throwable e) {
            logThrowable(TAG_MAIN, e);
            return null;
        }
    }

    /**
     * Replaces the package loader by a new one reading the stream of the
     * package file source; the client main class from it, or null.
     */
    private Class loadFromStream(InputStream in, File source) {
        try {
            Main old = packageLoader;
            if (old != null) {
                log(TAG_MAIN, LOG_LOADER_CLOSED + old.hashCode());
                old.releasePackage();
            }
            packageLoader = new Main();
            packageLoader.packageDomain = new ProtectionDomain(new CodeSource(source.getAbsoluteFile().toURI().toURL(),
                    (Certificate[]) null), null, packageLoader, null);
            packageLoader.packageName = source.getPath();
            packageLoader.packageTime = source.lastModified();
            packageLoader.trustedKeys = cycleTrust;
            packageLoader.readPackage(new DataInputStream(in));
            Class cls = packageLoader.loadClass(bootInstance.mainClassName);
            if (packageLoader.contentFailure != null) {
                // Found before the client ran anything: the package is
                // damaged, and the next candidate gets its turn.
                throw new IllegalArgumentException(ERROR_INVALID_PACKAGE + ": " + packageLoader.contentFailure);
            }
            return cls;
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
    //
    // The byte layout: docs/package-format.md.

    // The package layout. The package tool defines the same values for the
    // writer's side (apppack's PackageFormat, and ExecutableContainer for the
    // container: MIN_CONTAINER_LENGTH is its MIN_LENGTH, MIN_EMBEDDED_SIZE its
    // MIN_PACKAGE_SIZE, the others have the same names). This class must stay
    // one class and cannot use theirs; PackageReadingTest checks both agree.

    /** The seven int32 that open the sealed header, in bytes; the sealed texts follow them. */
    static final int HEADER_NUMBERS = 28;

    /* Positions of the seven numbers in the array the header's are read into (docs/package-format.md). */
    static final int HEADER_INDEX_RAW = 0;
    static final int HEADER_INDEX_STORED = 1;
    static final int HEADER_INDEX_CRC = 2;
    static final int HEADER_CONTENT_RAW = 3;
    static final int HEADER_CONTENT_STORED = 4;
    static final int HEADER_CONTENT_CRC = 5;
    static final int HEADER_ENTRY_COUNT = 6;

    /** Deflate expands at most about 1032:1, so a larger raw length is a damaged header. */
    static final long MAX_INFLATE_RATIO = 1032L;

    /** Smallest index record: an empty name (2 bytes) and three int32. */
    static final int MIN_INDEX_RECORD = 14;

    /**
     * The package tool's own entry: the inputs by name, each index record's
     * input and time, and every folder an input had (apppack's
     * InputCollector describes the layout). Not served as a resource.
     */
    private static final String ENTRIES = "META-INF/runbed/entries";

    /** Where a multi-release jar keeps the classes and resources for a Java release N: this, N, "/", the name. */
    private static final String VERSIONS_FOLDER = "META-INF/versions/";
    private static final String MANIFEST = "META-INF/MANIFEST.MF";

    /** Offset of the embedded-package pointer (offset, size: two int32) in an executable container. */
    static final int POINTER_OFFSET = 80;

    /** The shortest executable container: the pointer and some bytes beyond it. */
    static final int MIN_CONTAINER_LENGTH = 97;

    /** The smallest package an embedded-package pointer may announce. */
    static final int MIN_EMBEDDED_SIZE = 10;

    private static final int READ_CHUNK = 65536;

    /** Chunks the inflater thread of content read by chunks inflates ahead of the reader. */
    private static final int CHUNKS_AHEAD = 8;

    /** How long that thread waits for the reader to move on before it ends. */
    private static final long INFLATER_IDLE_MILLIS = 1000;

    /** The largest chunk buffer a package loader keeps for chunks smaller than it. */
    private static final int CHUNK_BUFFER_KEPT = 262144;

    /** A gzip member's fixed header, its flags and its CRC and size trailer (RFC 1952). */
    private static final int GZIP_HEADER = 10;
    private static final int GZIP_FHCRC = 2;
    private static final int GZIP_FEXTRA = 4;
    private static final int GZIP_FNAME = 8;
    private static final int GZIP_FCOMMENT = 16;
    private static final int GZIP_TRAILER = 8;

    /**
     * Header check of a package file: the sealed version when the sealed texts
     * match the clear ones, else null. Reads nothing beyond the sealed header.
     */
    private String checkHeader(Object file) throws IOException {
        DataInputStream in = null;
        try {
            if (file instanceof File) {
                refuseSpecialFile((File) file);
            } else if (Files.exists((Path) file) && !Files.isRegularFile((Path) file) && !Files.isDirectory((Path) file)) {
                throw new IOException(file + " is not a regular file"); // as refuseSpecialFile
            }
            in = new DataInputStream(openCandidate(file));
            return checkSealedHeader(in, candidateFile(file));
        } finally {
            closeQuietly(in);
        }
    }

    /**
     * The header check: reads the clear texts and the sealed header that open a
     * package stream and opens the header, skipping its seven numbers. Returns
     * the sealed version when both sealed texts equal the clear ones; null then,
     * and for a header too short for the numbers. file names the stream in the
     * decryption failure.
     */
    private String checkSealedHeader(DataInputStream in, File file) throws IOException {
        String[] clearTexts = new String[2];
        DataInputStream header = openSealedHeader(in, clearTexts, file);
        if (header.skipBytes(HEADER_NUMBERS) < HEADER_NUMBERS) {
            return null;
        }
        return matchingSealedVersion(header, clearTexts);
    }

    /**
     * The full read: as the header check, but the header's seven numbers are
     * read into numbers, and a header too short for them throws.
     */
    private String readSealedHeader(DataInputStream in, int[] numbers) throws IOException {
        String[] clearTexts = new String[2];
        DataInputStream header = openSealedHeader(in, clearTexts, null);
        for (int i = 0; i < numbers.length; i++) {
            numbers[i] = header.readInt();
        }
        record("numbers", numbers);
        return matchingSealedVersion(header, clearTexts);
    }

    /** Reads the clear version and check text into clearTexts and opens the sealed header after them. */
    private DataInputStream openSealedHeader(DataInputStream in, String[] clearTexts, File file)
            throws IOException {
        record("clearTexts", clearTexts);
        clearTexts[0] = readText(in, file == null);
        clearTexts[1] = readText(in, file == null);
        int length = in.readInt();
        record("sealedLength", Integer.valueOf(length));
        byte[] sealed = readBlock(in, sealedLength(length));
        if (file == null && headParts != null) {
            headParts.add(new byte[] {(byte) (length >>> 24), (byte) (length >>> 16), (byte) (length >>> 8),
                (byte) length});
            headParts.add(sealed);
        }
        byte[] plain = decryptBlock(bootInstance.packageKey.getBytes(), sealed);
        if (plain == null) {
            throw new IllegalArgumentException("sealed header" + (file == null ? "" : " of " + file)
                    + " does not decrypt");
        }
        record("plainLength", Integer.valueOf(plain.length));
        return new DataInputStream(new ByteArrayInputStream(plain));
    }

    /**
     * A clear text, as readUTF reads it; of the full read, its bytes also go
     * to headParts (the signature covers them as they are, not as decoded).
     */
    private String readText(DataInputStream in, boolean fullRead) throws IOException {
        if (!fullRead || headParts == null) {
            return in.readUTF();
        }
        int length = in.readUnsignedShort();
        byte[] bytes = new byte[2 + length];
        bytes[0] = (byte) (length >>> 8);
        bytes[1] = (byte) length;
        in.readFully(bytes, 2, length);
        headParts.add(bytes);
        return new DataInputStream(new ByteArrayInputStream(bytes)).readUTF();
    }

    /** The sealed version when the sealed texts that follow the numbers equal the clear ones, else null. */
    private String matchingSealedVersion(DataInputStream header, String[] clearTexts) throws IOException {
        String sealedVersion = header.readUTF();
        String sealedCheck = header.readUTF();
        record("sealedTexts", new String[] {sealedVersion, sealedCheck});
        if (sealedVersion.equals(clearTexts[0]) && sealedCheck.equals(clearTexts[1])) {
            return sealedVersion;
        }
        return null;
    }

    /**
     * Reads a whole package stream into this loader's index and content.
     * Throws IllegalArgumentException ERROR_INVALID_PACKAGE on any failure;
     * always closes the stream.
     */
    void readPackage(DataInputStream in) {
        try {
            if (readStoredPackage(in)) {
                serveVersionedEntries();
            }
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
     * The full read of the stream into this loader's index and content, the
     * entries as they are stored (no multi-release view); false when the
     * sealed texts differ from the clear ones, which is no error: the loader
     * stays empty and the main class is not found in it. Throws what fails.
     * apppack's verify and inspect read packages through this, so that what
     * they accept is what the loader serves.
     */
    boolean readStoredPackage(DataInputStream in) throws IOException {
        int[] numbers = new int[HEADER_NUMBERS / 4];
        boolean trusting = trustedKeys != null;
        headParts = trusting || readRecord != null ? new ArrayList(6) : null;
        if (readSealedHeader(in, numbers) == null) {
            return false;
        }
        headerNumbers = numbers;
        int indexRawLength = numbers[HEADER_INDEX_RAW];
        int indexStoredLength = numbers[HEADER_INDEX_STORED];
        int indexCrc = numbers[HEADER_INDEX_CRC];
        int contentRawLength = numbers[HEADER_CONTENT_RAW];
        int contentStoredLength = numbers[HEADER_CONTENT_STORED];
        int contentCrc = numbers[HEADER_CONTENT_CRC];
        int entryCount = numbers[HEADER_ENTRY_COUNT];
        // Nothing is allocated from a length before it is known to be possible.
        checkRawLength("index", indexRawLength, indexStoredLength);
        checkRawLength("content", contentRawLength, contentStoredLength);
        byte[] indexStored = readBlock(in, indexStoredLength);
        if (headParts != null) {
            headParts.add(indexStored);
        }
        byte[] contentStored = null;
        if (trusting) {
            // Nothing of the content is used before its signature held (it
            // is checked beside the index's inflate, see checkSignature).
            contentStored = readBlock(in, contentStoredLength);
            checkSignature(in, contentStored, true);
        }
        readIndex(indexStored, indexCrc, indexRawLength, entryCount, contentRawLength);
        if (contentStored == null) {
            contentStored = readBlock(in, contentStoredLength);
        }
        startContent(contentStored, contentCrc, contentRawLength);
        if (readRecord != null) {
            if (!trusting) {
                checkSignature(in, contentStored, false); // for apppack's report only
                checkSignedChunks(contentStored, false);
            }
            record("contentStoredBytes", contentStored); // what a manifest for it hashes
        } else {
            headParts = null;
        }
        return true;
    }

    private void record(String field, Object value) {
        if (readRecord != null) {
            readRecord.put(field, value);
        }
    }

    /**
     * Reads the index block into this loader's entryIndex, which it stores at
     * once. Every entry must lie within the content of contentRawLength bytes.
     */
    private void readIndex(byte[] stored, int crc, int rawLength, int entryCount, int contentRawLength)
            throws IOException {
        if (entryCount < 0 || entryCount > rawLength / MIN_INDEX_RECORD) {
            throw new IllegalArgumentException("entry count " + entryCount + " does not fit an index of "
                    + rawLength + " bytes");
        }
        HashMap index = new HashMap(2 * entryCount + 8);
        entryIndex = index;
        int[] filled = new int[1];
        byte[] raw = inflateStoredBlock("index", stored, crc, rawLength, filled);
        record("indexFilled", Integer.valueOf(filled[0]));
        ArrayList records = readRecord == null ? null : new ArrayList(entryCount);
        record("records", records);
        // Records are read from what the block gave: one that reaches into
        // a missing tail fails the package.
        int end = filled[0];
        int at = 0;
        for (int i = 0; i < entryCount; i++) {
            int nameLength = at + 2 > end ? -1 : (raw[at] & 0xff) << 8 | (raw[at + 1] & 0xff);
            if (nameLength < 0 || at + 2 + nameLength + 12 > end) {
                throw new EOFException("index record " + i + " of " + entryCount + " is cut off");
            }
            String name = indexName(raw, at, nameLength);
            at += 2 + nameLength;
            int offset = bigEndian32(raw, at);
            int length = bigEndian32(raw, at + 4);
            if (records != null) {
                records.add(new Object[] {name, Integer.valueOf(offset), Integer.valueOf(length),
                    Integer.valueOf(bigEndian32(raw, at + 8))});
            }
            at += 12;
            if (offset < 0 || length < 0 || (long) offset + length > contentRawLength) {
                throw new IllegalArgumentException("entry " + name + " at " + offset + " length " + length
                        + " lies outside the content of " + contentRawLength + " bytes");
            }
            if (name.equals(ENTRIES)) {
                entriesRecord = new int[] {offset, length, i};
                continue; // the package's own: not served
            }
            int[] earlier = (int[]) index.put(name, new int[] {offset, length, i});
            if (earlier != null) {
                // A later record of a name wins. The package tool stores the
                // copies of a name that several inputs held with the first
                // input's last, after the others in input order: those are
                // the further copies, for getResources.
                if (entryCopies == null) {
                    entryCopies = new HashMap();
                }
                ArrayList copies = (ArrayList) entryCopies.get(name);
                if (copies == null) {
                    copies = new ArrayList(2);
                    entryCopies.put(name, copies);
                }
                copies.add(earlier);
            }
        }
    }

    /**
     * The entry name of an index record whose modified UTF-8 text starts at
     * at (its length first). An ASCII name, one character a byte, is
     * decoded by the runtime's own fast path; any other is read as modified
     * UTF-8 the slow way, which refuses what that encoding cannot hold.
     */
    private static String indexName(byte[] raw, int at, int length) throws IOException {
        String name = new String(raw, at + 2, length, UTF_8);
        if (name.length() == length && name.indexOf('\ufffd') < 0) {
            return name;
        }
        return new DataInputStream(new ByteArrayInputStream(raw, at, 2 + length)).readUTF();
    }

    private static final Charset UTF_8 = Charset.forName("UTF-8");

    /**
     * Reads the content block and tests its CRC over the stored bytes. A
     * content whose restart points agree with its gzip member is kept as it
     * is stored, each entry's chunk inflated when the entry is asked for;
     * any other is inflated whole, here, to the member's end. Nothing of it
     * is served before the check that vouches for its bytes held: the CRC
     * over the stored bytes says only that they are what the writer stored,
     * not that they inflate to what it meant (the gzip trailer and each
     * chunk's listed CRC say that).
     */
    private void startContent(byte[] stored, int crc, int rawLength) throws IOException {
        int storedLength = stored.length;
        boolean crcHolds = crc32Of(stored) == crc;
        record("contentCrcOk", Boolean.valueOf(crcHolds));
        if (!crcHolds) {
            throw new IllegalArgumentException();
        }
        requireFreeHeap(rawLength, "the content block's raw length");
        if (readRestartPoints(stored, storedLength, rawLength)) {
            record("chunks", Integer.valueOf(chunkCrc.length));
            chunkBroken = new boolean[chunkCrc.length];
            contentStored = stored;
            checkSignedChunks(stored, true);
            return;
        }
        checkSignedChunks(stored, false);
        int[] filled = new int[1];
        byte[] content = gunzipBlock("content", stored, storedLength, rawLength, filled);
        contentFilled = filled[0];
        record("contentFilled", Integer.valueOf(filled[0]));
        contentBytes = content;
    }

    /**
     * Reads the restart points the content's gzip header lists in its extra
     * field (subfield "RB": an int32 chunk count, then each chunk's raw
     * length, stored length and CRC-32 of its raw bytes, int32 each,
     * big-endian) into chunkRaw, chunkStored and chunkCrc. The list is used
     * only when it agrees with the member as a whole: the chunks' stored
     * lengths tile the deflate data exactly, their raw lengths add up to
     * the raw length and to the trailer's length, and their CRCs combine to
     * the trailer's CRC. False, and the content is inflated whole as any
     * gzip stream, when it lists none (logged when the list does not agree).
     */
    private boolean readRestartPoints(byte[] stored, int storedLength, int rawLength) {
        if (storedLength < GZIP_HEADER + 2 || (stored[0] & 0xff) != 0x1f || (stored[1] & 0xff) != 0x8b
                || stored[2] != 8 || (stored[3] & GZIP_FEXTRA) == 0) {
            return false;
        }
        int flags = stored[3];
        int extraEnd = GZIP_HEADER + 2 + littleEndian16(stored, GZIP_HEADER);
        if (extraEnd > storedLength) {
            return false;
        }
        int[] raw = null;
        int[] at = null;
        int[] crcs = null;
        String disagreement = null;
        for (int field = GZIP_HEADER + 2; field + 4 <= extraEnd && disagreement == null;) {
            int data = field + 4;
            int length = littleEndian16(stored, field + 2);
            if (data + length > extraEnd) {
                return false;
            }
            if (stored[field] == 'R' && stored[field + 1] == 'B' && raw == null) {
                int count = length < 4 ? -1 : bigEndian32(stored, data);
                if (count < 1 || length != 4 + 12L * count) {
                    disagreement = "a list of " + length + " bytes for " + count + " chunks";
                    break;
                }
                raw = new int[count + 1];
                at = new int[count + 1];
                crcs = new int[count];
                for (int i = 0; i < count && disagreement == null; i++) {
                    int chunk = data + 4 + 12 * i;
                    long rawEnd = (long) raw[i] + bigEndian32(stored, chunk);
                    long storedEnd = (long) at[i] + bigEndian32(stored, chunk + 4);
                    crcs[i] = bigEndian32(stored, chunk + 8);
                    if (rawEnd <= raw[i] || storedEnd <= at[i] || rawEnd > rawLength || storedEnd > storedLength) {
                        disagreement = "chunk " + i + " lies outside the content";
                    } else {
                        raw[i + 1] = (int) rawEnd;
                        at[i + 1] = (int) storedEnd;
                    }
                }
            }
            field = data + length;
        }
        if (raw == null && disagreement == null) {
            return false; // no list: a plain gzip member
        }
        // The deflate data begins after the header's optional name, comment and CRC.
        int start = extraEnd;
        for (int flag = GZIP_FNAME; flag <= GZIP_FCOMMENT; flag <<= 1) {
            if ((flags & flag) != 0) {
                while (start < storedLength && stored[start] != 0) {
                    start++;
                }
                start++;
            }
        }
        if ((flags & GZIP_FHCRC) != 0) {
            start += 2;
        }
        int trailer = storedLength - GZIP_TRAILER;
        if (disagreement == null && raw[raw.length - 1] != rawLength) {
            disagreement = "the chunks hold " + raw[raw.length - 1] + " of the content's " + rawLength + " bytes";
        }
        if (disagreement == null && (long) start + at[at.length - 1] != trailer) {
            disagreement = "the chunks' stored bytes do not end where the member's trailer begins";
        }
        if (disagreement == null && littleEndian32(stored, trailer + 4) != rawLength) {
            disagreement = "the member's trailer gives another length";
        }
        if (disagreement == null) {
            int combined = 0;
            for (int i = 0; i < crcs.length; i++) {
                combined = crc32Combine(combined, crcs[i], raw[i + 1] - raw[i]);
            }
            if (combined != littleEndian32(stored, trailer)) {
                disagreement = "the chunks' CRCs do not combine to the member's";
            }
        }
        if (disagreement != null) {
            log(TAG_MAIN, "the content's restart points do not hold (" + disagreement
                    + "): the content is inflated whole");
            return false;
        }
        for (int i = 0; i < at.length; i++) {
            at[i] += start;
        }
        chunkRaw = raw;
        chunkStored = at;
        chunkCrc = crcs;
        return true;
    }

    private static int littleEndian16(byte[] b, int at) {
        return (b[at] & 0xff) | (b[at + 1] & 0xff) << 8;
    }

    private static int littleEndian32(byte[] b, int at) {
        return littleEndian16(b, at) | littleEndian16(b, at + 2) << 16;
    }

    private static int bigEndian32(byte[] b, int at) {
        return (b[at] & 0xff) << 24 | (b[at + 1] & 0xff) << 16 | (b[at + 2] & 0xff) << 8 | (b[at + 3] & 0xff);
    }

    /** The reflected CRC-32 polynomial of gzip and zlib. */
    private static final int CRC32_POLYNOMIAL = 0xedb88320;

    /**
     * x^(8 * 2^k) modulo the CRC-32 polynomial for k = 0 to 30, in the
     * reflected bit order: what moving a CRC on by 2^k zero bytes
     * multiplies it by. Made once, on first use.
     */
    private static int[] crc32ZeroBytePowers;

    /**
     * The CRC-32 of two byte sequences one after the other, from the CRC of
     * each and the second one's length: the first CRC is moved on by length
     * zero bytes (multiplied by x^(8 length) modulo the polynomial, one
     * product for each bit set in length), then the second added.
     */
    static int crc32Combine(int first, int second, int length) {
        int[] powers = crc32ZeroBytePowers;
        if (powers == null) {
            powers = new int[31];
            int power = 1 << 30; // x^1
            for (int i = 0; i < 3; i++) {
                power = crc32Multiply(power, power); // x^2, x^4, x^8
            }
            for (int k = 0; k < powers.length; k++) {
                powers[k] = power;
                power = crc32Multiply(power, power);
            }
            crc32ZeroBytePowers = powers;
        }
        int shifted = first;
        for (int k = 0; length != 0; k++, length >>>= 1) {
            if ((length & 1) != 0) {
                shifted = crc32Multiply(powers[k], shifted);
            }
        }
        return shifted ^ second;
    }

    /** a times b modulo the CRC-32 polynomial, both in the reflected bit order. */
    private static int crc32Multiply(int a, int b) {
        int product = 0;
        for (int bit = 1 << 31; bit != 0; bit >>>= 1) {
            if ((a & bit) != 0) {
                product ^= b;
            }
            b = (b & 1) != 0 ? (b >>> 1) ^ CRC32_POLYNOMIAL : b >>> 1;
        }
        return product;
    }

    /**
     * The bytes of an entry's range: the array that holds them, their start
     * in offset[0]. IOException, naming the package, when they cannot be
     * served: a chunk that holds them did not inflate as listed.
     */
    byte[] entryBytes(String name, int[] range, int[] offset) throws IOException {
        return entryBytes(name, range, offset, false);
    }

    /**
     * As entryBytes(name, range, offset); with borrow, an entry that lies in
     * one chunk comes in that chunk's buffer, valid only while the caller
     * holds contentLock.
     */
    private byte[] entryBytes(String name, int[] range, int[] offset, boolean borrow) throws IOException {
        byte[] stored = contentStored;
        if (stored == null) {
            offset[0] = range[0];
            return contentBytes;
        }
        int start = range[0];
        int end = start + range[1];
        int[] raw = chunkRaw;
        int chunk = 0;
        int hi = raw.length - 2;
        while (chunk < hi) { // the last chunk that starts at or before start
            int mid = (chunk + hi + 1) >>> 1;
            if (raw[mid] <= start) {
                chunk = mid;
            } else {
                hi = mid - 1;
            }
        }
        synchronized (contentLock) {
            if (contentStored != stored) {
                throw new IOException("package " + packageName + " was released");
            }
            byte[] bytes = chunkBytes(stored, chunk);
            if (bytes != null && end <= raw[chunk + 1] && (borrow || bytes.length > CHUNK_BUFFER_KEPT)) {
                // A large entry is served from its chunk's buffer as it is,
                // which is then never reused: a copy would need twice its size.
                openShared |= !borrow;
                offset[0] = start - raw[chunk];
                return bytes;
            }
            byte[] copy = bytes == null ? null : new byte[range[1]];
            for (int at = 0; bytes != null; bytes = chunkBytes(stored, ++chunk)) {
                int n = Math.min(end, raw[chunk + 1]) - start;
                System.arraycopy(bytes, start - raw[chunk], copy, at, n);
                start += n;
                at += n;
                if (start == end) {
                    offset[0] = 0;
                    return copy;
                }
            }
        }
        byte[] state = chunkState;
        throw new IOException("entry " + name + " of package " + packageName + " is not served: chunk "
                + chunk + " of its content " + (state != null && state[chunk] == CHUNK_FAILED
                ? "does not have its signed hash" : "does not inflate as listed"));
    }

    /**
     * Chunk i of the stored content, inflated whole and checked (see
     * inflateChunk), in the buffer of the chunk asked for last, which the
     * next chunk reuses; null when it does not inflate as listed (logged the
     * first time). Under contentLock.
     */
    private byte[] chunkBytes(byte[] stored, int i) {
        if (chunkBroken[i]) {
            return null;
        }
        if (openChunk == i) {
            return openBytes;
        }
        // Before the chunk state changes: this may wait for the hash thread.
        if (!chunkHashHolds(stored, i)) {
            chunkBroken[i] = true;
            contentFailure = "chunk " + i + " of the content does not have its signed hash";
            log(TAG_MAIN, "package " + packageName + ": " + contentFailure + ": its entries are not served");
            return null;
        }
        if (openChunk == i || contentStored != stored) {
            return contentStored == stored ? openBytes : null;
        }
        int chunkLength = chunkRaw[i + 1] - chunkRaw[i];
        if (takeChunkAhead(i) && contentStored == stored) {
            openBytes = aheadBytes[i % CHUNKS_AHEAD];
            aheadBytes[i % CHUNKS_AHEAD] = null;
            aheadChunk[i % CHUNKS_AHEAD] = -1;
            openShared = false;
            openChunk = i;
            return openBytes;
        }
        if (openInflater == null) {
            openInflater = new Inflater(true);
        }
        byte[] bytes = openBytes;
        if (bytes == null || openShared || bytes.length < chunkLength
                || bytes.length > Math.max(chunkLength, CHUNK_BUFFER_KEPT)) {
            bytes = new byte[chunkLength]; // a large entry's buffer is not kept for small chunks
        }
        openChunk = -1; // the buffer is refilled now
        String failure = inflateChunk(openInflater, stored, i, bytes);
        if (failure != null) {
            chunkBroken[i] = true;
            contentFailure = "chunk " + i + " of the content " + failure;
            log(TAG_MAIN, "package " + packageName + ": " + contentFailure + ": its entries are not served");
            return null;
        }
        openBytes = bytes;
        openShared = false;
        openChunk = i;
        return bytes;
    }

    /** A final deflate block with no data (fixed codes, end of block at once), byte-aligned. */
    private static final byte[] EMPTY_FINAL_BLOCK = {3, 0};

    /**
     * Inflates chunk i of the stored content whole into bytes and checks it
     * as the restart-point list promises: its stored bytes inflate on their
     * own to exactly the listed raw length with the listed CRC, are all
     * used, and end between two deflate blocks where the next chunk starts
     * (an empty final block fed after them ends the stream with no output),
     * or, for the last chunk, end the deflate data. Any gzip reader that
     * inflates the member whole then gets the same bytes. What is wrong, or
     * null when it holds.
     */
    private String inflateChunk(Inflater inflater, byte[] stored, int i, byte[] bytes) {
        int length = chunkRaw[i + 1] - chunkRaw[i];
        if (!chunkHashHolds(stored, i)) {
            return "does not have its signed hash";
        }
        inflater.reset();
        inflater.setInput(stored, chunkStored[i], chunkStored[i + 1] - chunkStored[i]);
        try {
            int filled = inflateUntil(inflater, bytes, 0, length);
            if (filled < length) {
                return "inflates to " + filled + " of its listed " + length + " bytes";
            }
            byte[] probe = new byte[1];
            if (inflater.inflate(probe) != 0) {
                return "inflates to more than its listed " + length + " bytes";
            }
            if (inflater.getRemaining() != 0) {
                return "leaves " + inflater.getRemaining() + " of its stored bytes unused";
            }
            boolean last = i == chunkCrc.length - 1;
            if (inflater.finished() != last) {
                return last ? "does not end the deflate data" : "ends the deflate data before the last chunk";
            }
            if (!last) {
                inflater.setInput(EMPTY_FINAL_BLOCK);
                if (inflater.inflate(probe) != 0 || !inflater.finished() || inflater.getRemaining() != 0) {
                    return "does not end between two deflate blocks";
                }
            }
        } catch (DataFormatException e) {
            return "does not inflate on its own (" + e.getMessage() + ")";
        }
        return crc32Of(bytes, length) == chunkCrc[i] ? null : "does not have its listed CRC";
    }

    /**
     * Counts a switch to chunk i and whether it follows the open one; starts
     * the inflater thread after the third such switch in a row (given a
     * second processor). True when that thread has chunk i ready, after
     * waiting for it if it is inflating it. Under contentLock.
     */
    private boolean takeChunkAhead(int i) {
        sequentialSwitches = i == openChunk + 1 ? sequentialSwitches + 1 : 0;
        if (sequentialSwitches >= 3 && !aheadRunning && chunkRaw.length > 2
                && Runtime.getRuntime().availableProcessors() > 1) {
            if (aheadBytes == null) {
                aheadBytes = new byte[CHUNKS_AHEAD][];
                aheadChunk = new int[CHUNKS_AHEAD];
                Arrays.fill(aheadChunk, -1);
            }
            aheadRunning = true;
            aheadNext = i + 1;
            startInflater();
        }
        contentLock.notifyAll(); // room ahead for that thread
        boolean interrupted = false;
        while (aheadInflating == i) {
            interrupted |= waitForContent();
        }
        if (interrupted) {
            Thread.currentThread().interrupt();
        }
        return aheadChunk != null && aheadChunk[i % CHUNKS_AHEAD] == i;
    }

    /**
     * One wait on contentLock, which the caller holds; true when it was
     * interrupted. What is waited for is done soon, so callers wait on and
     * pass the interrupt on once their wait is over.
     */
    private boolean waitForContent() {
        try {
            contentLock.wait();
            return false;
        } catch (InterruptedException e) {
            return true;
        }
    }

    /** Starts this package loader's inflater thread (run() tells what it does). */
    private void startInflater() {
        Thread inflater = new Thread(this, "package content inflater (loader " + hashCode() + ")");
        // It never keeps the VM alive: what the client never asks for need not be inflated.
        inflater.setDaemon(true);
        inflater.start();
    }

    /**
     * The inflater thread of content read by chunks: while the reader takes
     * chunks in order, inflates up to CHUNKS_AHEAD beyond the open one, each
     * whole and checked as the reader would (inflateChunk). Ends at the last
     * chunk, at one that does not hold (the reader finds out for itself), at
     * the package's release, or after a second without the reader moving on
     * (the thread holds the loader while it waits).
     */
    private void inflateAhead() {
        Inflater inflater = new Inflater(true);
        try {
            while (true) {
                byte[] stored;
                int i;
                synchronized (contentLock) {
                    while (true) {
                        stored = contentStored;
                        i = Math.max(aheadNext, openChunk + 1);
                        if (stored == null || i >= chunkRaw.length - 1) {
                            return;
                        }
                        if (sequentialSwitches > 0 && i <= openChunk + CHUNKS_AHEAD) {
                            break;
                        }
                        int open = openChunk;
                        long waited = System.currentTimeMillis();
                        try {
                            contentLock.wait(INFLATER_IDLE_MILLIS);
                        } catch (InterruptedException e) {
                            return;
                        }
                        if (openChunk == open && System.currentTimeMillis() - waited >= INFLATER_IDLE_MILLIS) {
                            return;
                        }
                    }
                    aheadInflating = i;
                    aheadNext = i + 1;
                }
                byte[] bytes = new byte[chunkRaw[i + 1] - chunkRaw[i]];
                boolean holds = inflateChunk(inflater, stored, i, bytes) == null;
                synchronized (contentLock) {
                    aheadInflating = -1;
                    if (holds && i > openChunk && contentStored == stored) {
                        aheadBytes[i % CHUNKS_AHEAD] = bytes;
                        aheadChunk[i % CHUNKS_AHEAD] = i;
                    }
                    contentLock.notifyAll();
                }
                if (!holds) {
                    return;
                }
            }
        } finally {
            inflater.end();
            synchronized (contentLock) {
                aheadRunning = false;
                aheadInflating = -1;
                contentLock.notifyAll();
            }
        }
    }

    /**
     * Inflates into bytes from filled until end; how far it got, short of
     * end when the data ends first. DataFormatException when it breaks off.
     */
    private static int inflateUntil(Inflater inflater, byte[] bytes, int filled, int end)
            throws DataFormatException {
        while (filled < end) {
            int n = inflater.inflate(bytes, filled, end - filled);
            if (n == 0 && (inflater.finished() || inflater.needsInput() || inflater.needsDictionary())) {
                break;
            }
            filled += n;
        }
        return filled;
    }

    /** Drops the chunk inflated last and ends its inflater (under contentLock). */
    private void closeOpenChunk() {
        openChunk = -1;
        openBytes = null;
        if (openInflater != null) {
            openInflater.end();
            openInflater = null;
        }
    }

    /**
     * On Java 9 and later, a package packed from a multi-release jar serves
     * each class and resource from the highest META-INF/versions/N/ not
     * above the runtime's feature version, as the runtime's jar loader does;
     * on Java 7 and 8 the base entries only.
     */
    private void serveVersionedEntries() {
        int runtime = runtimeFeatureVersion();
        HashMap index = entryIndex;
        if (runtime < 9 || index == null || !multiRelease()) {
            return;
        }
        HashMap chosen = new HashMap();
        ArrayList names = new ArrayList(index.keySet());
        for (int i = 0; i < names.size(); i++) {
            String name = (String) names.get(i);
            int slash = name.startsWith(VERSIONS_FOLDER) ? name.indexOf('/', VERSIONS_FOLDER.length()) : -1;
            if (slash < 0) {
                continue;
            }
            int version = atoiQuiet(name.substring(VERSIONS_FOLDER.length(), slash));
            String base = name.substring(slash + 1);
            if (version < 9 || version > runtime || base.length() == 0 || base.startsWith("META-INF/")) {
                continue;
            }
            Integer best = (Integer) chosen.get(base);
            if (best == null || best.intValue() < version) {
                chosen.put(base, Integer.valueOf(version));
                index.put(base, index.get(name));
            }
        }
    }

    /**
     * The running Java's feature version, from its class-file version (51.0
     * on Java 7, 61.0 on Java 17: the feature version plus 44); -1 when
     * unknown.
     */
    private static int runtimeFeatureVersion() {
        String classVersion = System.getProperty("java.class.version", "");
        int dot = classVersion.indexOf('.');
        int major = atoiQuiet(dot < 0 ? classVersion : classVersion.substring(0, dot));
        return major < 45 ? -1 : major - 44;
    }

    /** Whether a manifest the package holds (any input's copy) says "Multi-Release: true" in its main section. */
    private boolean multiRelease() {
        for (int copy = 0;; copy++) {
            int[] range = entryRange(MANIFEST, copy);
            if (range == null) {
                return false;
            }
            int[] offset = new int[1];
            String text;
            try {
                byte[] bytes = entryBytes(MANIFEST, range, offset);
                text = new String(bytes, offset[0], range[1], "UTF-8");
            } catch (IOException e) {
                continue; // not served: the package fails before its main class is loaded
            }
            int start = 0;
            while (start < text.length()) {
                int end = start;
                while (end < text.length() && text.charAt(end) != '\n' && text.charAt(end) != '\r') {
                    end++;
                }
                String line = text.substring(start, end);
                if (line.length() == 0) {
                    break; // the main section ends at the first empty line
                }
                int colon = line.indexOf(':');
                if (colon > 0 && line.substring(0, colon).trim().equalsIgnoreCase("Multi-Release")
                        && line.substring(colon + 1).trim().equalsIgnoreCase("true")) {
                    return true;
                }
                start = end < text.length() && text.charAt(end) == '\r' && end + 1 < text.length()
                        && text.charAt(end + 1) == '\n' ? end + 2 : end + 1;
            }
        }
    }

    /**
     * Tests one stored block's CRC and inflates it whole (gunzipBlock) into
     * rawLength bytes, of which filled[0] tells how many the block gave.
     */
    private byte[] inflateStoredBlock(String block, byte[] stored, int crc, int rawLength, int[] filled)
            throws IOException {
        int storedLength = stored.length;
        boolean crcHolds = crc32Of(stored) == crc;
        record(block + "CrcOk", Boolean.valueOf(crcHolds));
        if (!crcHolds) {
            throw new IllegalArgumentException();
        }
        // A raw length beyond the heap fails this package before anything is
        // allocated, rather than running out of memory (and leaving the
        // launcher's heap dump of this process in the install folder).
        requireFreeHeap(rawLength, "the " + block + " block's raw length");
        return gunzipBlock(block, stored, storedLength, rawLength, filled);
    }

    /** Refuses a raw length that is negative or that no gzip stream of the stored length can produce. */
    private static void checkRawLength(String block, int rawLength, int storedLength) {
        if (rawLength < 0 || storedLength < 0 || rawLength > MAX_INFLATE_RATIO * storedLength) {
            throw new IllegalArgumentException(block + " raw length " + rawLength + " impossible for "
                    + storedLength + " stored bytes");
        }
    }

    /** Throws when bytes are more than the heap can still give, after a collection. */
    private static void requireFreeHeap(long bytes, String what) throws IOException {
        long free = freeHeap();
        if (bytes > free) {
            System.gc(); // garbage counts as used until collected
            free = freeHeap();
        }
        if (bytes > free) {
            throw new IOException(what + " of " + bytes + " bytes exceeds the free heap of " + free + " bytes");
        }
    }

    /**
     * A sealed header may be as long as the stream holds (readBlock stops at
     * its end) and the heap can give: the bytes after its two texts are
     * never read, so nothing else bounds it.
     */
    private static int sealedLength(int length) throws IOException {
        requireFreeHeap(length, "the sealed header's length");
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
            // In slices: a file stream copies a larger read through a native buffer of its size.
            int n = in.read(buffer, filled, Math.min(READ_CHUNK, buffer.length - filled));
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
        return crc32Of(data, data.length);
    }

    private static int crc32Of(byte[] data, int length) {
        CRC32 crc = new CRC32();
        crc.update(data, 0, length);
        return (int) crc.getValue();
    }

    /**
     * Inflates a gzip block whole into an array of rawLength bytes; filled[0]
     * is how many it gave, fewer when it ends first (logged; the rest stays
     * zero and is never served). The stream is read to its end, past
     * rawLength if it holds more, so that its trailer's CRC-32 and length
     * are tested before a byte of it is used. IOException, naming the block,
     * when it is no gzip stream, breaks off or fails its trailer.
     */
    private byte[] gunzipBlock(String block, byte[] data, int storedLength, int rawLength, int[] filled)
            throws IOException {
        GZIPInputStream in = null;
        try {
            byte[] out = new byte[rawLength];
            in = new GZIPInputStream(new ByteArrayInputStream(data, 0, storedLength), READ_CHUNK);
            filled[0] = fillBuffer(in, out, 0, rawLength);
            if (filled[0] == rawLength && in.read() >= 0) {
                byte[] surplus = new byte[READ_CHUNK];
                while (in.read(surplus) >= 0) {
                    // not kept: only the trailer after it counts
                }
            }
            return out;
        } catch (IOException e) {
            throw new IOException(block + " block does not decompress: " + e.getMessage(), e);
        } finally {
            closeQuietly(in);
        }
    }

    /**
     * Reads up to count bytes into the buffer from start; returns how many
     * arrived, fewer when the stream ends first (the count still missing is
     * logged). Callers never serve bytes beyond what arrived.
     */
    private static int fillBuffer(InputStream in, byte[] buffer, int start, int count) throws IOException {
        int read = 0;
        while (count > 0) {
            int n = in.read(buffer, start, count);
            if (n < 0) {
                log(TAG_MAIN, LOG_BLOCK_SHORT + count);
                return read;
            }
            start += n;
            count -= n;
            read += n;
        }
        return read;
    }

    // ------------------------------------------------------------------ package signatures
    //
    // A trust file beside the launcher (TRUST_FILE: PEM public keys) makes
    // only packages signed by one of its keys candidates. A signature is an
    // RSA PKCS#1 v1.5 signature with SHA-256 over a small manifest: the
    // signer's key, a SHA-256 over every byte before the signature block
    // that no listed chunk holds (headers, index, the content's gzip header
    // and trailer), and a SHA-256 per stored chunk, so that a start checks
    // only the chunks it inflates (docs/package-format.md). The runtime's
    // MessageDigest and Signature would start its crypto framework (about
    // 45 ms on JDK 17 for the first MessageDigest alone, more on the Java 7
    // runtime): SHA-256 is the launcher's (nativeSha256, which it binds),
    // else this class's own, and RSA verification is one modular
    // exponentiation with a public exponent.

    /** The trust file's name, in the folder that holds the package folder (the launcher's). */
    static final String TRUST_FILE = "trusted-keys.pem";

    /** Opens the signature block after the content block, and its manifest. */
    static final int SIGNATURE_MAGIC = 0x52425347; // "RBSG"
    static final int MANIFEST_MAGIC = 0x5242534d; // "RBSM"

    /** The only manifest layout: RSA with SHA-256. */
    static final int MANIFEST_LAYOUT = 1;

    /** The manifest's bytes besides the signer key and the chunks (36 bytes each). */
    static final int MANIFEST_FIXED = 56;
    static final int MANIFEST_CHUNK = 36;

    /** Limits of what a trust file and a signature block may hold. */
    static final int MAX_KEY_DER = 4096;
    static final int MAX_SIGNATURE = 2048;
    static final int MIN_RSA_BITS = 2048;
    static final int MAX_RSA_BITS = 16384;
    private static final int MAX_TRUST_FILE = 1 << 20;

    /** rsaEncryption, 1.2.840.113549.1.1.1, as DER content bytes. */
    private static final byte[] RSA_OID = {0x2a, (byte) 0x86, 0x48, (byte) 0x86, (byte) 0xf7, 0x0d, 1, 1, 1};

    /** The DER DigestInfo prefix of a SHA-256 hash (RFC 8017, section 9.2). */
    private static final byte[] SHA256_DIGEST_INFO = {0x30, 0x31, 0x30, 0x0d, 0x06, 0x09, 0x60, (byte) 0x86, 0x48,
        0x01, 0x65, 0x03, 0x04, 0x02, 0x01, 0x05, 0x00, 0x04, 0x20};

    /**
     * The keys of the trust file: null when there is no such file (every
     * package is a candidate, as without signatures), no keys when it cannot
     * be read or holds no key that can be used (logged; no package is).
     */
    private static Object[] readTrust(File file) {
        if (!file.exists()) {
            return null;
        }
        InputStream in = null;
        try {
            if (!file.isFile()) {
                throw new IOException("not a regular file");
            }
            in = new FileInputStream(file);
            // One byte more than it says it holds: a file that grows meanwhile is read on to the limit.
            byte[] bytes = new byte[(int) Math.min(MAX_TRUST_FILE, file.length()) + 1];
            int length = Math.max(0, fillQuietly(in, bytes, 0));
            if (length == bytes.length && length <= MAX_TRUST_FILE) {
                bytes = Arrays.copyOf(bytes, MAX_TRUST_FILE + 1);
                length += Math.max(0, fillQuietly(in, bytes, length));
            }
            if (length > MAX_TRUST_FILE) {
                throw new IOException("longer than " + MAX_TRUST_FILE + " bytes");
            }
            Object[] keys = trustedKeysOf(Arrays.copyOf(bytes, length), file.getPath());
            if (keys.length == 0) {
                log(TAG_MAIN, "trusted keys " + file + ": holds no usable public key: no package is trusted");
            }
            return keys;
        } catch (IOException e) {
            log(TAG_MAIN, "trusted keys " + file + " cannot be read (" + e.getMessage() + "): no package is trusted");
            return new Object[0];
        } finally {
            closeQuietly(in);
        }
    }

    /** Reads into bytes from start until the stream or the buffer ends; the count read. */
    private static int fillQuietly(InputStream in, byte[] bytes, int start) throws IOException {
        int filled = start;
        while (filled < bytes.length) {
            int n = in.read(bytes, filled, bytes.length - filled);
            if (n < 0) {
                break;
            }
            filled += n;
        }
        return filled - start;
    }

    /**
     * The RSA keys of the PEM "PUBLIC KEY" blocks of a text, each {DER bytes,
     * modulus, exponent}; every other block, and a key that cannot be used,
     * is logged with source and passed over.
     */
    static Object[] trustedKeysOf(byte[] pem, String source) {
        String text = new String(pem, ISO_8859_1);
        ArrayList keys = new ArrayList(2);
        int at = 0;
        for (int block = 1;; block++) {
            int begin = text.indexOf("-----BEGIN ", at);
            int labelEnd = begin < 0 ? -1 : text.indexOf("-----", begin + 11);
            if (labelEnd < 0) {
                break;
            }
            String label = text.substring(begin + 11, labelEnd);
            String endLine = "-----END " + label + "-----";
            int end = text.indexOf(endLine, labelEnd + 5);
            if (end < 0) {
                log(TAG_MAIN, source + ": block " + block + " (" + label + ") has no end line: passed over");
                break;
            }
            at = end + endLine.length();
            if (!label.equals("PUBLIC KEY")) {
                log(TAG_MAIN, source + ": block " + block + " (" + label + ") is no public key: passed over");
                continue;
            }
            try {
                keys.add(rsaPublicKey(base64Decode(text.substring(labelEnd + 5, end))));
            } catch (IllegalArgumentException e) {
                log(TAG_MAIN, source + ": key " + block + " " + e.getMessage() + ": passed over");
            }
        }
        return keys.toArray();
    }

    private static final Charset ISO_8859_1 = Charset.forName("ISO-8859-1");

    /** Base64 (RFC 4648, with padding) with white space anywhere; IllegalArgumentException for anything else. */
    static byte[] base64Decode(String text) {
        byte[] out = new byte[text.length() * 3 / 4 + 3];
        int length = 0;
        int bits = 0;
        int count = 0;
        int padding = 0;
        for (int i = 0; i < text.length(); i++) {
            char c = text.charAt(i);
            int v = c >= 'A' && c <= 'Z' ? c - 'A' : c >= 'a' && c <= 'z' ? c - 'a' + 26
                    : c >= '0' && c <= '9' ? c - '0' + 52 : c == '+' ? 62 : c == '/' ? 63 : -1;
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
                continue;
            }
            if (c == '=') {
                padding++;
                continue;
            }
            if (v < 0 || padding > 0) {
                throw new IllegalArgumentException("is not base64 text");
            }
            bits = bits << 6 | v;
            if (++count % 4 == 0) {
                out[length++] = (byte) (bits >> 16);
                out[length++] = (byte) (bits >> 8);
                out[length++] = (byte) bits;
            }
        }
        int rest = count % 4;
        if (rest == 1 || (rest == 0 ? padding != 0 : padding != 4 - rest)) {
            throw new IllegalArgumentException("is not base64 text");
        }
        if (rest == 2) {
            out[length++] = (byte) (bits >> 4);
        } else if (rest == 3) {
            out[length++] = (byte) (bits >> 10);
            out[length++] = (byte) (bits >> 2);
        }
        return Arrays.copyOf(out, length);
    }

    /**
     * {der, modulus, exponent} of an RSA public key given as DER
     * SubjectPublicKeyInfo; IllegalArgumentException, saying why, for
     * anything else or a key too weak to trust.
     */
    static Object[] rsaPublicKey(byte[] der) {
        if (der.length > MAX_KEY_DER) {
            throw new IllegalArgumentException("is longer than " + MAX_KEY_DER + " bytes");
        }
        int[] info = derItem(der, 0, der.length, 0x30);
        int[] algorithm = derItem(der, info[0], info[1], 0x30);
        int[] oid = derItem(der, algorithm[0], algorithm[1], 0x06);
        if (!Arrays.equals(Arrays.copyOfRange(der, oid[0], oid[1]), RSA_OID)) {
            throw new IllegalArgumentException("is no RSA key");
        }
        int[] bits = derItem(der, algorithm[1], info[1], 0x03);
        if (info[1] != der.length || bits[1] != info[1] || bits[0] == bits[1] || der[bits[0]] != 0) {
            throw new IllegalArgumentException("is no DER public key");
        }
        int[] key = derItem(der, bits[0] + 1, bits[1], 0x30);
        int[] n = derItem(der, key[0], key[1], 0x02);
        int[] e = derItem(der, n[1], key[1], 0x02);
        BigInteger modulus = new BigInteger(Arrays.copyOfRange(der, n[0], n[1]));
        BigInteger exponent = new BigInteger(Arrays.copyOfRange(der, e[0], e[1]));
        if (modulus.signum() <= 0 || modulus.bitLength() < MIN_RSA_BITS || modulus.bitLength() > MAX_RSA_BITS) {
            throw new IllegalArgumentException("has " + modulus.bitLength() + " bits (" + MIN_RSA_BITS + " to "
                    + MAX_RSA_BITS + " are trusted)");
        }
        if (!exponent.testBit(0) || exponent.compareTo(BigInteger.ONE) <= 0 || exponent.compareTo(modulus) >= 0) {
            throw new IllegalArgumentException("has an impossible public exponent");
        }
        return new Object[] {der, modulus, exponent};
    }

    /** {content start, content end} of the DER item of that tag at at, which must end by limit. */
    private static int[] derItem(byte[] der, int at, int limit, int tag) {
        if (at + 2 > limit || (der[at] & 0xff) != tag) {
            throw new IllegalArgumentException("is no DER public key");
        }
        int length = der[at + 1] & 0xff;
        int start = at + 2;
        if (length >= 0x80) {
            int count = length & 0x7f;
            if (count == 0 || count > 2 || start + count > limit) {
                throw new IllegalArgumentException("is no DER public key");
            }
            length = 0;
            while (count-- > 0) {
                length = length << 8 | der[start++] & 0xff;
            }
        }
        if (length > limit - start) {
            throw new IllegalArgumentException("is no DER public key");
        }
        return new int[] {start, start + length};
    }

    /** Whether signature is key's RSASSA-PKCS1-v1_5 signature of a message whose SHA-256 is digest. */
    static boolean rsaVerify(Object[] key, byte[] signature, byte[] digest) {
        BigInteger modulus = (BigInteger) key[1];
        int k = (modulus.bitLength() + 7) / 8;
        if (signature.length != k) {
            return false;
        }
        BigInteger s = new BigInteger(1, signature);
        if (s.compareTo(modulus) >= 0) {
            return false;
        }
        byte[] m = s.modPow((BigInteger) key[2], modulus).toByteArray();
        byte[] encoded = new byte[k];
        int copied = Math.min(m.length, k);
        System.arraycopy(m, m.length - copied, encoded, k - copied, copied);
        byte[] expected = new byte[k];
        int info = k - SHA256_DIGEST_INFO.length - 32;
        expected[1] = 1;
        Arrays.fill(expected, 2, info - 1, (byte) 0xff);
        System.arraycopy(SHA256_DIGEST_INFO, 0, expected, info, SHA256_DIGEST_INFO.length);
        System.arraycopy(digest, 0, expected, k - 32, 32);
        return Arrays.equals(encoded, expected);
    }

    /** A key's fingerprint: the SHA-256 of its DER bytes in lowercase hex. */
    static String fingerprint(byte[] der) {
        byte[] hash = sha256(der, 0, der.length);
        StringBuilder text = new StringBuilder(64);
        for (int i = 0; i < hash.length; i++) {
            text.append(Character.forDigit(hash[i] >> 4 & 15, 16)).append(Character.forDigit(hash[i] & 15, 16));
        }
        return text.toString();
    }

    /** The package stream's bytes before the content block (headParts), as one array. */
    private int headLength() {
        int length = 0;
        for (int i = 0; i < headParts.size(); i++) {
            length += ((byte[]) headParts.get(i)).length;
        }
        return length;
    }

    /**
     * The SHA-256 of the stream's bytes from 0 to start and from end on:
     * its bytes before the content block (headParts), then content.
     */
    private byte[] headHash(byte[] content, int start, int end) {
        int length = headLength() + content.length;
        byte[] head = new byte[start + length - end];
        int at = copyStream(content, 0, start, head, 0);
        copyStream(content, end, length, head, at);
        return sha256(head, 0, head.length);
    }

    /** Copies the stream's bytes from to to (headParts, then content) into dest at at; where they end there. */
    private int copyStream(byte[] content, int from, int to, byte[] dest, int at) {
        int offset = 0;
        for (int i = 0; i <= headParts.size(); i++) {
            byte[] part = i < headParts.size() ? (byte[]) headParts.get(i) : content;
            int first = Math.max(from, offset);
            int last = Math.min(to, offset + part.length);
            if (first < last) {
                System.arraycopy(part, first - offset, dest, at, last - first);
                at += last - first;
            }
            offset += part.length;
        }
        return at;
    }

    /**
     * The manifest that signs this package as read (with its signature in
     * view) for the key of those DER bytes: its restart points are the
     * listed chunks when they are used, else it lists none.
     */
    byte[] manifestFor(byte[] keyDer, byte[] content) {
        int before = headLength();
        int signedLength = before + content.length;
        int count = contentStored == null ? 0 : chunkStored.length - 1;
        int start = count == 0 ? signedLength : before + chunkStored[0];
        int end = count == 0 ? signedLength : before + chunkStored[count];
        ByteArrayOutputStream bytes = new ByteArrayOutputStream(MANIFEST_FIXED + keyDer.length + count * 36);
        DataOutputStream out = new DataOutputStream(bytes);
        try {
            out.writeInt(MANIFEST_MAGIC);
            out.writeInt(MANIFEST_LAYOUT);
            out.writeInt(keyDer.length);
            out.write(keyDer);
            out.writeInt(signedLength);
            out.writeInt(start);
            out.writeInt(count);
            out.write(headHash(content, start, end));
            for (int i = 0; i < count; i++) {
                out.writeInt(chunkStored[i + 1] - chunkStored[i]);
                out.write(sha256(content, chunkStored[i], chunkStored[i + 1] - chunkStored[i]));
            }
        } catch (IOException e) {
            throw new AssertionError(e); // in memory
        }
        return bytes.toByteArray();
    }

    /** The signature block that carries a manifest and its signature. */
    static byte[] signatureBlock(byte[] manifest, byte[] signature) {
        ByteArrayOutputStream bytes = new ByteArrayOutputStream(12 + manifest.length + signature.length);
        DataOutputStream out = new DataOutputStream(bytes);
        try {
            out.writeInt(SIGNATURE_MAGIC);
            out.writeInt(manifest.length);
            out.write(manifest);
            out.writeInt(signature.length);
            out.write(signature);
        } catch (IOException e) {
            throw new AssertionError(e); // in memory
        }
        return bytes.toByteArray();
    }

    /**
     * Reads the signature block that follows the content and checks all but
     * the chunks' hashes (checkSignedChunks takes them). Enforcing (a trust
     * file asks for signed packages), a package not signed by a trusted key,
     * or whose signature or head hash does not hold, throws; else (apppack's
     * report, against the key the block names) what is wrong is recorded.
     */
    private void checkSignature(DataInputStream in, byte[] content, boolean enforce) throws IOException {
        record("signedLength", Integer.valueOf(headLength() + content.length));
        String problem;
        try {
            problem = readSignatureBlock(in, content.length);
        } catch (EOFException e) {
            problem = "has its signature block cut off";
        }
        if (problem == null && enforce && readRecord == null && Runtime.getRuntime().availableProcessors() > 1) {
            // A launch checks it beside the index's inflate; awaitSignature
            // joins it before anything of the content is used.
            signatureContent = content;
            Thread thread = new Thread(this, "package signature check (loader " + hashCode() + ")");
            thread.setDaemon(true);
            signatureThread = thread;
            thread.start();
            return;
        }
        if (problem == null) {
            problem = verifySignature(content, enforce);
        }
        settleSignature(problem, enforce);
    }

    private void settleSignature(String problem, boolean enforce) {
        record("signatureProblem", problem);
        if (problem != null && enforce) {
            throw new IllegalArgumentException("package " + packageName + " " + problem);
        }
    }

    /** Waits for the signature thread's verdict (if one runs) and fails the package as checkSignature would. */
    private void awaitSignature() {
        Thread thread = signatureThread;
        if (thread == null) {
            return;
        }
        boolean interrupted = false;
        while (thread.isAlive()) {
            try {
                thread.join();
            } catch (InterruptedException e) {
                interrupted = true; // it ends soon: wait on, pass the interrupt on after
            }
        }
        if (interrupted) {
            Thread.currentThread().interrupt();
        }
        signatureThread = null;
        settleSignature(signatureVerdict, true);
    }

    /** The signature thread's check: what is wrong, or null. */
    private String verifySignatureQuietly() {
        try {
            return verifySignature(signatureContent, true);
        } catch (Throwable e) {
            return "could not be checked (" + e + ")";
        }
    }

    /** Reads the signature block after content into signatureBlock; what is wrong, or null. */
    private String readSignatureBlock(DataInputStream in, int contentLength) throws IOException {
        byte[] magic = new byte[4];
        if (fillQuietly(in, magic, 0) < 4 || bigEndian32(magic, 0) != SIGNATURE_MAGIC) {
            return "is not signed";
        }
        int manifestLength = in.readInt();
        if (manifestLength < MANIFEST_FIXED + 1
                || manifestLength > MANIFEST_FIXED + MAX_KEY_DER + (long) MANIFEST_CHUNK * contentLength) {
            return "has a damaged signature block (a manifest of " + manifestLength + " bytes)";
        }
        byte[] manifest = readBlock(in, manifestLength);
        int signatureLength = in.readInt();
        if (signatureLength < 1 || signatureLength > MAX_SIGNATURE) {
            return "has a damaged signature block (a signature of " + signatureLength + " bytes)";
        }
        signatureBlock = new byte[][] {manifest, readBlock(in, signatureLength)};
        return null;
    }

    /** What is wrong with the signature block read (signatureBlock), or null: signedChunks then set. */
    private String verifySignature(byte[] content, boolean enforce) {
        byte[] manifest = signatureBlock[0];
        byte[] signature = signatureBlock[1];
        int manifestLength = manifest.length;
        int keyLength = bigEndian32(manifest, 8);
        if (bigEndian32(manifest, 0) != MANIFEST_MAGIC || bigEndian32(manifest, 4) != MANIFEST_LAYOUT
                || keyLength < 1 || keyLength > MAX_KEY_DER || keyLength > manifestLength - MANIFEST_FIXED) {
            return "has a damaged signature block (its manifest does not read)";
        }
        byte[] keyDer = Arrays.copyOfRange(manifest, 12, 12 + keyLength);
        String signer = readRecord != null || !enforce ? fingerprint(keyDer) : null;
        record("signer", signer);
        Object[] key = null;
        Object[] keys = enforce ? trustedKeys : null;
        for (int i = 0; keys != null && i < keys.length; i++) {
            if (Arrays.equals((byte[]) ((Object[]) keys[i])[0], keyDer)) {
                key = (Object[]) keys[i];
            }
        }
        if (enforce && key == null) {
            return "is signed by key " + fingerprint(keyDer) + ", which " + TRUST_FILE + " does not list";
        }
        if (key == null) {
            try {
                key = rsaPublicKey(keyDer);
            } catch (IllegalArgumentException e) {
                return "is signed by key " + signer + ", which " + e.getMessage();
            }
        }
        if (!rsaVerify(key, signature, sha256(manifest, 0, manifest.length))) {
            return "has a signature that does not hold for key " + fingerprint(keyDer);
        }
        // From here on the manifest is the signer's: its numbers are only
        // checked against the package they claim to describe.
        int at = 12 + keyLength;
        int signedLength = bigEndian32(manifest, at);
        int start = bigEndian32(manifest, at + 4);
        int count = bigEndian32(manifest, at + 8);
        int before = headLength();
        if (signedLength != before + content.length) {
            return "has a signature over " + signedLength + " bytes, not the " + (before + content.length)
                    + " before it";
        }
        if (count < 0 || manifestLength != MANIFEST_FIXED + keyLength + (long) MANIFEST_CHUNK * count) {
            return "has a damaged signature block (its manifest's length does not fit its chunks)";
        }
        byte[] head = Arrays.copyOfRange(manifest, at + 12, at + 44);
        int[] lengths = new int[count];
        byte[][] hashes = new byte[count][];
        long end = start;
        for (int i = 0; i < count; i++) {
            int p = at + 44 + i * MANIFEST_CHUNK;
            lengths[i] = bigEndian32(manifest, p);
            hashes[i] = Arrays.copyOfRange(manifest, p + 4, p + MANIFEST_CHUNK);
            end += lengths[i];
            if (lengths[i] < 0) {
                end = -1;
                break;
            }
        }
        if (start < (count == 0 ? 0 : before) || start > signedLength || end < start || end > signedLength) {
            return "lists chunks outside its content";
        }
        if (!Arrays.equals(headHash(content, start, (int) end), head)) {
            return "was changed after signing (its headers, index or gzip framing)";
        }
        signedChunks = new Object[] {Integer.valueOf(start - before), lengths, hashes};
        return null;
    }

    /**
     * Takes the chunk hashes of a signature that held: where the content is
     * read by its restart points and the manifest lists exactly those chunks
     * (lazily), each chunk is checked when first inflated (inflateChunk);
     * otherwise every listed chunk is checked here, before anything of the
     * content is served. Fails the package when one differs and a trust file
     * asks for signed packages; apppack's report only records it.
     */
    private void checkSignedChunks(byte[] stored, boolean lazily) {
        awaitSignature();
        signatureBlock = null;
        signatureContent = null;
        Object[] signed = signedChunks;
        if (signed == null) {
            return;
        }
        int start = ((Integer) signed[0]).intValue();
        int[] lengths = (int[]) signed[1];
        byte[][] hashes = (byte[][]) signed[2];
        boolean same = lazily && trustedKeys != null && lengths.length == chunkStored.length - 1
                && start == chunkStored[0];
        for (int i = 0; same && i < lengths.length; i++) {
            same = lengths[i] == chunkStored[i + 1] - chunkStored[i];
        }
        if (same) {
            chunkHash = hashes;
            // Checked by the thread that inflates each: a thread hashing
            // them ahead cost more than it saved on two processors (it
            // hashes chunks the client never asks for, beside the VM's
            // compiler threads).
            chunkState = new byte[lengths.length];
            return;
        }
        for (int i = 0, at = start; i < lengths.length; at += lengths[i++]) {
            if (!Arrays.equals(sha256(stored, at, lengths[i]), hashes[i])) {
                String problem = "was changed after signing (chunk " + i + " of its signature)";
                record("signatureProblem", problem);
                if (trustedKeys != null) {
                    throw new IllegalArgumentException("package " + packageName + " " + problem);
                }
                return;
            }
        }
    }

    /**
     * Whether chunk i's stored bytes have their signed hash (true where no
     * hash is listed), hashed once: by this thread, or by another that
     * inflates the same chunk (the inflater thread, another class-loading
     * thread), whose verdict it waits for. Waits on contentLock: callers
     * that hold it must not have changed the chunk state yet.
     */
    private boolean chunkHashHolds(byte[] stored, int i) {
        byte[] state = chunkState;
        if (state == null) {
            return true;
        }
        synchronized (contentLock) {
            boolean interrupted = false;
            while (state[i] == CHUNK_HASHING) {
                interrupted |= waitForContent();
            }
            if (interrupted) {
                Thread.currentThread().interrupt();
            }
            if (state[i] != CHUNK_UNCHECKED) {
                return state[i] == CHUNK_VOUCHED;
            }
            state[i] = CHUNK_HASHING;
        }
        return settleChunkHash(stored, i, state);
    }

    /** Hashes chunk i (claimed: CHUNK_HASHING) and settles its state; whether it matched. */
    private boolean settleChunkHash(byte[] stored, int i, byte[] state) {
        boolean holds = false;
        try {
            holds = Arrays.equals(sha256(stored, chunkStored[i], chunkStored[i + 1] - chunkStored[i]), chunkHash[i]);
        } finally {
            synchronized (contentLock) {
                state[i] = holds ? CHUNK_VOUCHED : CHUNK_FAILED;
                contentLock.notifyAll();
            }
        }
        return holds;
    }

    /** SHA-256 (FIPS 180-4) round constants. */
    private static final int[] SHA256_K = {
        0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
        0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
        0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
        0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
        0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
        0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
        0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
        0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

    /**
     * The launcher's SHA-256 (it binds this once it has defined the class):
     * false, writing nothing, for arguments out of range. Where no launcher
     * bound it (apppack, the tests), calling it fails and this class hashes
     * on its own.
     */
    private static native boolean nativeSha256(byte[] data, int offset, int length, byte[] hash);

    /** Set once nativeSha256 was found not bound. */
    private static volatile boolean hashesInJava;

    /** SHA-256 of length bytes of data from offset. */
    static byte[] sha256(byte[] data, int offset, int length) {
        if (!hashesInJava) {
            byte[] hash = new byte[32];
            try {
                if (nativeSha256(data, offset, length, hash)) {
                    return hash;
                }
            } catch (UnsatisfiedLinkError e) {
                hashesInJava = true;
            }
        }
        return javaSha256(data, offset, length);
    }

    /** SHA-256 in Java, where the launcher's is not bound; what the tests hold against MessageDigest. */
    static byte[] javaSha256(byte[] data, int offset, int length) {
        int[] state = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab,
            0x5be0cd19};
        int[] w = new int[64];
        int end = offset + length;
        int at = offset;
        for (; end - at >= 64; at += 64) {
            sha256Block(state, w, data, at);
        }
        byte[] tail = new byte[128];
        int rest = end - at;
        System.arraycopy(data, at, tail, 0, rest);
        tail[rest] = (byte) 0x80;
        int tailLength = rest < 56 ? 64 : 128;
        long bits = (long) length << 3;
        for (int i = 0; i < 8; i++) {
            tail[tailLength - 1 - i] = (byte) (bits >>> 8 * i);
        }
        sha256Block(state, w, tail, 0);
        if (tailLength == 128) {
            sha256Block(state, w, tail, 64);
        }
        byte[] hash = new byte[32];
        for (int i = 0; i < 32; i++) {
            hash[i] = (byte) (state[i >> 2] >>> 24 - 8 * (i & 3));
        }
        return hash;
    }

    /**
     * One 64-byte block of m at at into the state s (w: the message
     * schedule's room). Shifts, not Integer.rotateRight: until this is
     * compiled, each of those is a call in the interpreter.
     */
    private static void sha256Block(int[] s, int[] w, byte[] m, int at) {
        for (int t = 0; t < 16; t++, at += 4) {
            w[t] = m[at] << 24 | (m[at + 1] & 0xff) << 16 | (m[at + 2] & 0xff) << 8 | (m[at + 3] & 0xff);
        }
        for (int t = 16; t < 64; t++) {
            int x = w[t - 15];
            int y = w[t - 2];
            w[t] = w[t - 16] + w[t - 7] + ((x >>> 7 | x << 25) ^ (x >>> 18 | x << 14) ^ x >>> 3)
                    + ((y >>> 17 | y << 15) ^ (y >>> 19 | y << 13) ^ y >>> 10);
        }
        int a = s[0], b = s[1], c = s[2], d = s[3], e = s[4], f = s[5], g = s[6], h = s[7];
        for (int t = 0; t < 64; t++) {
            int t1 = h + ((e >>> 6 | e << 26) ^ (e >>> 11 | e << 21) ^ (e >>> 25 | e << 7)) + (e & f ^ ~e & g)
                    + SHA256_K[t] + w[t];
            int t2 = ((a >>> 2 | a << 30) ^ (a >>> 13 | a << 19) ^ (a >>> 22 | a << 10)) + (a & b ^ a & c ^ b & c);
            h = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        s[0] += a; s[1] += b; s[2] += c; s[3] += d; s[4] += e; s[5] += f; s[6] += g; s[7] += h;
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
    static byte[] aesEcbDecrypt(byte[] key, byte[] data) {
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
    //
    // A package stands in for the class path its inputs came from: the
    // package first, then the usual delegation, the system class path (the
    // working directory, where settings files lie beside the launcher)
    // included for what the package lacks. The parents come first for
    // classes only, as the runtime's own classes cannot be redefined anyway.

    protected Class findClass(String name) throws ClassNotFoundException {
        if (name.equals(Main.class.getName())) {
            // The client calls this class's static members; its parent loaders may not know it.
            return Main.class;
        }
        HashMap index = entryIndex;
        if (index != null) {
            String entry = name.replace('.', '/') + ".class";
            int[] range = entryRange(entry, 0);
            if (range != null) {
                definePackageOf(name, range[2]);
                int[] offset = new int[1];
                synchronized (contentLock) {
                    // Defined straight from the chunk's buffer, which no other
                    // thread refills meanwhile: the VM copies the bytes first.
                    byte[] bytes;
                    try {
                        bytes = entryBytes(entry, range, offset, true);
                    } catch (IOException e) {
                        // Not the system class path's class of that name instead.
                        throw new ClassNotFoundException(name, e);
                    }
                    return defineClass(name, bytes, offset[0], range[1], packageDomain);
                }
            }
        }
        ClassLoader system = systemLoaderBelow();
        if (system != null) {
            return system.loadClass(name);
        }
        return super.findClass(name);
    }

    /**
     * The system class loader when it is not among this loader's own
     * parents (the package loader's parent is the one above it), else null.
     */
    private ClassLoader systemLoaderBelow() {
        ClassLoader system = ClassLoader.getSystemClassLoader();
        for (ClassLoader p = getParent(); p != null; p = p.getParent()) {
            if (p == system) {
                return null;
            }
        }
        return system == this ? null : system;
    }

    /** Package entries first (exact name, no leading "/" removed), then the usual delegation. */
    public InputStream getResourceAsStream(String name) {
        try {
            InputStream in;
            try {
                in = entryStream(name, 0);
            } catch (IOException e) {
                // An entry the package holds but cannot serve: null, as the
                // runtime's loaders give for a resource they fail to open,
                // never another copy from the parents instead.
                return null;
            }
            if (in != null) {
                return in;
            }
            return super.getResourceAsStream(name);
        } catch (Exception e) {
            logThrowable(TAG_MAIN, e);
            return null;
        }
    }

    /** The package's copy first (the first input's), then the usual delegation. */
    public URL getResource(String name) {
        URL url = packageResource(name);
        return url != null ? url : super.getResource(name);
    }

    /**
     * Every copy the package holds, in input order, then what the usual
     * delegation finds (the runtime's and the system class path's), as
     * getResources of a class path lists every jar's copy in its order.
     */
    public Enumeration getResources(String name) throws IOException {
        ArrayList urls = Collections.list(findResources(name));
        ClassLoader system = systemLoaderBelow();
        Enumeration others = system != null ? system.getResources(name)
                : getParent() != null ? getParent().getResources(name) : ClassLoader.getSystemResources(name);
        while (others.hasMoreElements()) {
            urls.add(others.nextElement());
        }
        return Collections.enumeration(urls);
    }

    /** The package's copy, else what the system class path holds. */
    protected URL findResource(String name) {
        URL url = packageResource(name);
        if (url == null) {
            ClassLoader system = systemLoaderBelow();
            url = system != null ? system.getResource(name) : null;
        }
        return url;
    }

    /** The package's copies only, in input order. */
    protected Enumeration findResources(String name) throws IOException {
        ArrayList urls = new ArrayList();
        try {
            URL first = entryUrl(name, 0);
            if (first == null) {
                first = folderUrl(name);
                if (first != null) {
                    urls.add(first);
                }
            } else {
                urls.add(first);
                ArrayList copies = entryCopies == null ? null : (ArrayList) entryCopies.get(name);
                for (int i = 1; copies != null && i <= copies.size(); i++) {
                    URL copy = entryUrl(name, i);
                    if (copy != null) {
                        urls.add(copy);
                    }
                }
            }
        } catch (Exception e) {
            logThrowable(TAG_MAIN, e);
        }
        return Collections.enumeration(urls);
    }

    /** The URL of the package's entry of that name, else of its folder of that name, else null. */
    private URL packageResource(String name) {
        try {
            URL url = entryUrl(name, 0);
            return url != null ? url : folderUrl(name);
        } catch (Exception e) {
            logThrowable(TAG_MAIN, e);
            return null;
        }
    }

    /**
     * A stream over an entry's bytes, or null when the package has no such
     * entry: copy 0 is the entry the index serves, copy i the i-th further
     * copy of its name. IOException when it has one it cannot serve.
     */
    InputStream entryStream(String name, int copy) throws IOException {
        int[] range = entryRange(name, copy);
        int[] offset = new int[1];
        byte[] bytes = range == null ? null : entryBytes(name, range, offset);
        return bytes == null ? null : new ByteArrayInputStream(bytes, offset[0], range[1]);
    }

    private int[] entryRange(String name, int copy) {
        HashMap index = entryIndex;
        if (index == null || (contentBytes == null && contentStored == null) || name == null) {
            return null;
        }
        int[] range;
        if (copy == 0) {
            range = (int[]) index.get(name);
        } else {
            HashMap all = entryCopies;
            ArrayList copies = all == null ? null : (ArrayList) all.get(name);
            range = copies == null || copy > copies.size() ? null : (int[]) copies.get(copy - 1);
        }
        if (range != null && contentStored == null && (long) range[0] + range[1] > contentFilled) {
            log(TAG_MAIN, "entry " + name + " reaches into the missing tail of the content, not served");
            return null;
        }
        return range;
    }

    /** Releases the package: it serves no further classes, resources or URLs. */
    private void releasePackage() {
        contentReleased = true;
        contentBytes = null;
        contentFilled = 0;
        synchronized (contentLock) {
            contentStored = null;
            closeOpenChunk();
        }
        HashMap index = entryIndex;
        if (index != null) {
            index.clear();
            entryIndex = null;
        }
        entryCopies = null;
        synchronized (urlLock) {
            if (urlSerial != 0) {
                urlOwners.remove(Integer.valueOf(urlSerial));
            }
        }
    }

    // ------------------------------------------------------------------ what a class path tells besides the bytes
    //
    // A class path gives more than its entries' bytes: a jar's manifest
    // defines the Package of the classes it holds, folders are resources
    // that scanning libraries list, and a resource's connection tells its
    // length, time and type. apppack records what that needs in ENTRIES;
    // packages made without it serve the bytes only, as before.

    /** Monitor of ENTRIES' reading, the manifests' cache and the folder copy. */
    private final Object infoLock = new Object();

    /** Of a package loader: its header's seven numbers, which name its folder copy. */
    private int[] headerNumbers;

    /** Of a package loader: when its package file was last changed, the time of entries without one of their own. */
    private long packageTime;

    /** Whether the package says what ENTRIES says, read on first use; logged once where it does not read. */
    private boolean entryInfo() {
        synchronized (infoLock) {
            if (!entryInfoRead && entriesRecord != null) {
                entryInfoRead = true;
                try {
                    readEntryInfo();
                } catch (IOException e) {
                    inputNames = null;
                    log(TAG_MAIN, "package " + packageName + ": its list of inputs, times and folders does not read ("
                            + e.getMessage() + "): served without it");
                }
            }
            return inputNames != null;
        }
    }

    private void readEntryInfo() throws IOException {
        int[] offset = new int[1];
        byte[] bytes = entryBytes(ENTRIES, entriesRecord, offset);
        int length = entriesRecord[1];
        DataInputStream in = new DataInputStream(new ByteArrayInputStream(bytes, offset[0], length));
        if (in.readInt() != 1) {
            throw new IOException("a layout of another kind");
        }
        String[] names = new String[count(in, length)];
        for (int i = 0; i < names.length; i++) {
            names[i] = in.readUTF();
        }
        int records = count(in, length);
        if (records != entriesRecord[2]) {
            throw new IOException("it lists " + records + " records, the index " + entriesRecord[2]);
        }
        // 12 bytes a record, read from the array: thousands of them, while the VM still interprets.
        int at = offset[0] + length - in.available();
        if (12L * records > in.available()) {
            throw new EOFException("its records are cut off");
        }
        int[] inputs = new int[records];
        long[] times = new long[records];
        for (int i = 0; i < records; i++, at += 12) {
            inputs[i] = bigEndian32(bytes, at);
            times[i] = (long) bigEndian32(bytes, at + 4) << 32 | (bigEndian32(bytes, at + 8) & 0xffffffffL);
            if (inputs[i] < -1 || inputs[i] >= names.length) {
                throw new IOException("record " + i + " names input " + inputs[i]);
            }
        }
        in.skipBytes(12 * records);
        int count = count(in, length);
        HashMap found = new HashMap(2 * count + 8);
        for (int i = 0; i < count; i++) {
            String name = in.readUTF();
            found.put(name, new long[] {in.readInt(), in.readLong()});
        }
        inputManifests = new Object[names.length];
        recordInput = inputs;
        recordTime = times;
        folders = found;
        inputNames = names;
    }

    /** A count of ENTRIES, which cannot exceed its bytes. */
    private static int count(DataInputStream in, int length) throws IOException {
        int count = in.readInt();
        if (count < 0 || count > length) {
            throw new IOException("a count of " + count + " in " + length + " bytes");
        }
        return count;
    }

    /** The input index record k came from, or -1 when the package does not say. */
    private int recordInputOf(int k) {
        return entryInfo() && k >= 0 && k < recordInput.length ? recordInput[k] : -1;
    }

    /**
     * For apppack's check (PackageCheck): the name of the input that copy
     * copy of an entry came from, or null where the package does not say.
     */
    String inputOf(String name, int copy) {
        int[] range = entryRange(name, copy);
        int input = range == null ? -1 : recordInputOf(range[2]);
        return input < 0 ? null : inputNames[input];
    }

    /** For apppack's check: the inputs by name, or null where the package does not say. */
    String[] packedInputNames() {
        return entryInfo() ? inputNames.clone() : null;
    }

    /** The time of index record k: its own, else the package file's. */
    private long recordTimeOf(int k) {
        long time = entryInfo() && k >= 0 && k < recordTime.length ? recordTime[k] : -1;
        return time > 0 ? time : packageTime;
    }

    /**
     * Defines the package of a class from index record k as a class path's
     * jar does: with its own input's manifest (the entry section of the
     * package's folder first, then the main section), sealed where the
     * manifest says so; a class of a package already defined from another
     * input, or already defined unsealed, is a sealing violation. Nothing
     * where the package does not say where the class came from, or its
     * input has no manifest: the runtime then defines the package without
     * attributes, as before.
     */
    private void definePackageOf(String className, int k) {
        int dot = className.lastIndexOf('.');
        HashMap index = entryIndex;
        if (dot <= 0 || index == null || !index.containsKey(MANIFEST)) {
            return; // no input had a manifest: nothing to define a package with, nothing sealed
        }
        int input = recordInputOf(k);
        if (input < 0) {
            return;
        }
        String name = className.substring(0, dot);
        Object seal;
        synchronized (infoLock) {
            seal = packageSeals.get(name);
        }
        if (seal == null) {
            // The first class of its package: defined with its input's manifest, if it has one.
            Manifest manifest = inputManifest(input);
            URL sealBase = null;
            if (manifest != null) {
                String path = name.replace('.', '/') + "/";
                Attributes.Name[] names = PACKAGE_ATTRIBUTES;
                String[] v = new String[names.length];
                for (int i = 0; i < v.length; i++) {
                    v[i] = manifestValue(manifest, path, names[i]);
                }
                sealBase = "true".equalsIgnoreCase(v[6]) ? inputUrl(input) : null;
                try {
                    definePackage(name, v[0], v[1], v[2], v[3], v[4], v[5], sealBase);
                } catch (IllegalArgumentException definedMeanwhile) {
                    // by another thread's class of the same package, or the runtime's
                }
            }
            synchronized (infoLock) {
                packageSeals.put(name, sealBase != null ? (Object) sealBase : Boolean.FALSE);
            }
        } else if (seal instanceof URL) {
            if (!seal.equals(inputUrl(input))) {
                throw new SecurityException("sealing violation: package " + name + " is sealed");
            }
        } else {
            Manifest manifest = inputManifest(input);
            if (manifest != null && "true".equalsIgnoreCase(manifestValue(manifest, name.replace('.', '/') + "/",
                    Attributes.Name.SEALED))) {
                throw new SecurityException("sealing violation: can't seal package " + name + ": already loaded");
            }
        }
    }

    /**
     * The manifest attributes definePackage takes, in its order: the title,
     * version and vendor of the package's two groups (the contract it keeps,
     * then its implementation), and Sealed.
     */
    private static final Attributes.Name[] PACKAGE_ATTRIBUTES = packageAttributes();

    private static Attributes.Name[] packageAttributes() {
        String[] groups = {"Spec" + "ification-", "Implementation-"};
        String[] fields = {"Title", "Version", "Vendor"};
        Attributes.Name[] names = new Attributes.Name[7];
        for (int i = 0; i < 6; i++) {
            names[i] = new Attributes.Name(groups[i / 3] + fields[i % 3]);
        }
        names[6] = Attributes.Name.SEALED;
        return names;
    }

    private static String manifestValue(Manifest manifest, String path, Attributes.Name name) {
        Attributes section = manifest.getAttributes(path);
        String value = section == null ? null : section.getValue(name);
        return value != null ? value : manifest.getMainAttributes().getValue(name);
    }

    /** The parsed manifest of an input (its copy of META-INF/MANIFEST.MF), or null when it had none. */
    private Manifest inputManifest(int input) {
        synchronized (infoLock) {
            Object manifest = inputManifests[input];
            if (manifest == null) {
                manifest = this; // none
                for (int copy = 0;; copy++) {
                    int[] range = entryRange(MANIFEST, copy);
                    if (range == null) {
                        break;
                    }
                    if (recordInputOf(range[2]) == input) {
                        try {
                            int[] offset = new int[1];
                            byte[] bytes = entryBytes(MANIFEST, range, offset);
                            manifest = new Manifest(new ByteArrayInputStream(bytes, offset[0], range[1]));
                        } catch (IOException unreadable) {
                            // as a jar whose manifest does not parse: no attributes
                        }
                        break;
                    }
                }
                inputManifests[input] = manifest;
            }
            return manifest instanceof Manifest ? (Manifest) manifest : null;
        }
    }

    /** An input's place, as sealed packages name it: the package file's URL, the input's name as its fragment. */
    private URL inputUrl(int input) {
        CodeSource source = packageDomain == null ? null : packageDomain.getCodeSource();
        URL location = source == null ? null : source.getLocation();
        try {
            return location == null ? null : new URL(location, "#" + percentEncode(inputNames[input]));
        } catch (IOException e) {
            return location;
        }
    }

    /** The folder an input had under name (with or without its "/"), as the package holds it; null when none. */
    private String folderName(String name) {
        if (name == null || name.length() == 0 || name.startsWith("/") || !entryInfo()) {
            return null;
        }
        String folder = name.endsWith("/") ? name : name + "/";
        return folders.containsKey(folder) ? folder : null;
    }

    /**
     * A jar: URL of name in the plain jar copy of the package (folderCopy),
     * when name is a folder an input had: scanning libraries list folders
     * through file: and jar: URLs only. Null when it is none, or no copy
     * can be made.
     */
    private URL folderUrl(String name) throws IOException {
        if (folderName(name) == null) {
            return null;
        }
        File copy = folderCopy();
        return copy == null ? null : new URL("jar:" + copy.toURI().toURL() + "!/" + percentEncode(name));
    }

    private static final String COPY_PREFIX = "runbed-";
    private static final long COPY_KEPT_MILLIS = 24L * 60 * 60 * 1000;

    /**
     * The package as a plain jar in the VM's temporary folder (the launcher
     * makes that a folder of its own that only administrators can write),
     * made the first time a folder is asked for and kept for later starts
     * while the package is the same: its name and comment carry the header's
     * CRCs and lengths. Null (logged once) where it cannot be made.
     */
    private File folderCopy() {
        synchronized (infoLock) {
            if (!folderCopyTried) {
                folderCopyTried = true;
                try {
                    folderCopy = makeFolderCopy();
                } catch (IOException e) {
                    log(TAG_MAIN, "package " + packageName + ": no plain copy of it for its folders (" + e
                            + "): they are not served");
                }
            }
            return folderCopy;
        }
    }

    private File makeFolderCopy() throws IOException {
        File folder = new File(System.getProperty("java.io.tmpdir", "."));
        int[] n = headerNumbers;
        String id = Integer.toHexString(n[HEADER_INDEX_CRC]) + "-" + Integer.toHexString(n[HEADER_CONTENT_CRC]) + "-"
                + n[HEADER_CONTENT_RAW] + "-" + n[HEADER_ENTRY_COUNT];
        String stamp = "copy of a package " + id + " for its folders";
        File copy = new File(folder, COPY_PREFIX + id + ".jar");
        long now = System.currentTimeMillis();
        if (stamp.equals(zipComment(copy))) {
            copy.setLastModified(now); // in use: not pruned
            return copy;
        }
        File part = File.createTempFile(COPY_PREFIX, ".part", folder);
        try {
            writeFolderCopy(part, stamp);
            if (!part.renameTo(copy) && !stamp.equals(zipComment(copy))) {
                // Not another process's copy made meanwhile: a stale file of that name.
                if (!copy.delete() || !part.renameTo(copy)) {
                    throw new IOException("cannot rename " + part + " to " + copy);
                }
            }
        } finally {
            part.delete();
        }
        // Copies of other packages (earlier versions) not used for a day go.
        File[] others = folder.listFiles();
        for (int i = 0; others != null && i < others.length; i++) {
            String name = others[i].getName();
            if (name.startsWith(COPY_PREFIX) && (name.endsWith(".jar") || name.endsWith(".part"))
                    && !others[i].equals(copy) && now - others[i].lastModified() > COPY_KEPT_MILLIS) {
                others[i].delete();
            }
        }
        return copy;
    }

    /** The comment of a zip file, null when it is none (or missing). */
    private static String zipComment(File file) {
        if (!file.isFile()) {
            return null;
        }
        ZipFile zip = null;
        try {
            zip = new ZipFile(file);
            return zip.getComment();
        } catch (IOException e) {
            return null;
        } finally {
            closeQuietly(zip);
        }
    }

    /** Writes the folders and every served entry (copy 0 of each name), stored, with their times. */
    private void writeFolderCopy(File part, String stamp) throws IOException {
        ArrayList names = new ArrayList(folders.keySet());
        Collections.sort(names);
        ArrayList files = new ArrayList(entryIndex.keySet());
        Collections.sort(files);
        names.addAll(files);
        ZipOutputStream out = new ZipOutputStream(new BufferedOutputStream(new FileOutputStream(part), READ_CHUNK));
        try {
            CRC32 crc = new CRC32();
            for (int i = 0; i < names.size(); i++) {
                String name = (String) names.get(i);
                ZipEntry entry = new ZipEntry(name);
                entry.setMethod(ZipEntry.STORED);
                byte[] bytes = null;
                int[] offset = new int[1];
                int[] range = folders.containsKey(name) ? null : entryRange(name, 0);
                long[] source = (long[]) folders.get(name);
                if (range != null) {
                    bytes = entryBytes(name, range, offset);
                    crc.reset();
                    crc.update(bytes, offset[0], range[1]);
                    entry.setCrc(crc.getValue());
                    entry.setSize(range[1]);
                    entry.setTime(recordTimeOf(range[2]));
                } else if (source != null) {
                    entry.setCrc(0);
                    entry.setSize(0);
                    entry.setTime(source[1] > 0 ? source[1] : packageTime);
                } else {
                    continue; // an entry not served (the missing tail of a short block)
                }
                out.putNextEntry(entry);
                if (bytes != null) {
                    out.write(bytes, offset[0], range[1]);
                }
                out.closeEntry();
            }
            out.setComment(stamp);
        } finally {
            out.close();
        }
    }

    /**
     * The time of the entry a resource URL names, to the millisecond as a
     * file: connection gives a file's (the header has whole seconds): its
     * own, else the package file's; 0 when the URL names no entry.
     */
    public static long entryTime(URL url) {
        Object[] named = urlEntry(url);
        int[] range = named == null ? null : ((Main) named[0]).entryRange((String) named[1],
                ((Integer) named[2]).intValue());
        return range == null ? 0 : ((Main) named[0]).recordTimeOf(range[2]);
    }

    /**
     * A header of a resource URL's connection, as a file: or jar: connection
     * gives it (the handler's connection class calls this; the runtime's
     * getContentLengthLong, getLastModified and getContentType read these):
     * "content-length", "last-modified" (the entry's time, else the package
     * file's), "content-type" (guessed from the name, else from the bytes, as
     * the runtime does). Null for any other, or a URL that names no entry.
     */
    public static String entryHeader(URL url, String field) {
        Object[] named = urlEntry(url);
        if (named == null || field == null) {
            return null;
        }
        Main loader = (Main) named[0];
        String name = (String) named[1];
        int copy = ((Integer) named[2]).intValue();
        int[] range = loader.entryRange(name, copy);
        if (range == null) {
            return null;
        }
        if (field.equalsIgnoreCase("content-length")) {
            return String.valueOf(range[1]);
        }
        if (field.equalsIgnoreCase("last-modified")) {
            SimpleDateFormat format = new SimpleDateFormat("EEE, dd MMM yyyy HH:mm:ss 'GMT'", Locale.US);
            format.setTimeZone(TimeZone.getTimeZone("GMT"));
            return format.format(new Date(entryTime(url)));
        }
        if (field.equalsIgnoreCase("content-type")) {
            String type = URLConnection.guessContentTypeFromName(name);
            if (type == null) {
                try {
                    InputStream in = loader.entryStream(name, copy);
                    type = in == null ? null : URLConnection.guessContentTypeFromStream(in);
                } catch (IOException notServed) {
                    // no type to tell
                }
            }
            return type != null ? type : "content/unknown";
        }
        return null;
    }

    // ------------------------------------------------------------------ resource URLs
    //
    // A package resource's URL is "runbed:/N/name[?copy=i]": N numbers the
    // package loader, the name is percent-encoded. Libraries rebuild URLs
    // from their text (configuration sources, XML system ids, toURI().toURL()),
    // and the runtime then looks the protocol up anew. The VM's one
    // URLStreamHandlerFactory belongs to the client (servlet containers set
    // it), so the handler is found the other way the runtime offers, on Java 7
    // as on later ones: the system property java.protocol.handler.pkgs lists
    // package prefixes, and for a protocol P the runtime loads the class
    // <prefix>.P.Handler by name, through the bootstrap loader and then the
    // system class loader. With the prefix "com.mirl" and the protocol
    // "runbed" that class is com.mirl.runbed.Handler, in this class's own
    // package. It cannot be a nested class (the launcher defines this class
    // alone), so it and its connection class are sources of their own beside
    // this one, whose class files the build writes into this class's
    // constants; they are defined in this class's own loader and package,
    // where those look-ups find them: through MethodHandles.Lookup.defineClass
    // on Java 9 and later, through sun.misc.Unsafe.defineClass on Java 7 and
    // 8. Every URL made here also carries the handler object, so a URL object
    // works even where the name look-up cannot reach the class.

    private static final String URL_PROTOCOL = "runbed";
    /** The prefix added to java.protocol.handler.pkgs: its protocol package is this class's. */
    private static final String HANDLER_PREFIX = "com.mirl";
    private static final String HANDLER_PACKAGES = "java.protocol.handler.pkgs";
    private static final String HANDLER_CLASS = "com/mirl/runbed/Handler";
    private static final String CONNECTION_CLASS = "com/mirl/runbed/HandlerConnection";
    private static final String COPY_QUERY = "copy=";
    private static final Object urlLock = new Object();
    private static URLStreamHandler urlHandler;
    private static int urlSerials;
    /** Package loaders by the N of their URLs; weak, so that a URL kept by a client holds no loader. */
    private static final HashMap urlOwners = new HashMap();

    /** Of a package loader: the N of its resource URLs, 0 before the first. */
    private int urlSerial;

    /** URL of copy 0 (the index's entry) or copy i of a package entry; null when missing. */
    private URL entryUrl(String name, int copy) throws Exception {
        if (entryRange(name, copy) == null) {
            return null;
        }
        URLStreamHandler handler;
        int serial;
        synchronized (urlLock) {
            handler = resourceUrlHandler();
            if (urlSerial == 0) {
                urlSerial = ++urlSerials;
                urlOwners.put(Integer.valueOf(urlSerial), new WeakReference(this));
            }
            serial = urlSerial;
        }
        String file = "/" + serial + "/" + percentEncode(name) + (copy == 0 ? "" : "?" + COPY_QUERY + copy);
        return new URL(URL_PROTOCOL, null, -1, file, handler);
    }

    /**
     * Streams the package entry a resource URL names. The handler's
     * connection class calls this; it is public because that class may live
     * in another loader.
     */
    public static InputStream openEntry(URL url) throws IOException {
        Object[] named = urlEntry(url);
        InputStream in = named == null ? null
                : ((Main) named[0]).entryStream((String) named[1], ((Integer) named[2]).intValue());
        if (in == null) {
            throw new FileNotFoundException(String.valueOf(url));
        }
        return in;
    }

    /** What a resource URL names: {its package loader, the entry name, the copy}; null when nothing (any more). */
    private static Object[] urlEntry(URL url) {
        String path = url == null ? null : url.getPath();
        int slash = path == null || !path.startsWith("/") ? -1 : path.indexOf('/', 1);
        if (slash <= 1 || !URL_PROTOCOL.equalsIgnoreCase(url.getProtocol())) {
            return null;
        }
        Main loader;
        synchronized (urlLock) {
            WeakReference owner = (WeakReference) urlOwners.get(Integer.valueOf(atoiQuiet(path.substring(1, slash))));
            loader = owner == null ? null : (Main) owner.get();
        }
        String name;
        try {
            name = percentDecode(path.substring(slash + 1));
        } catch (IOException e) {
            return null;
        }
        int copy = 0;
        String query = url.getQuery();
        if (query != null) {
            copy = query.startsWith(COPY_QUERY) ? atoiQuiet(query.substring(COPY_QUERY.length())) : -1;
        }
        return loader == null || name == null || copy < 0 ? null : new Object[] {loader, name, Integer.valueOf(copy)};
    }

    /** A decimal number of digits only, else -1. */
    private static int atoiQuiet(String digits) {
        if (digits.length() == 0 || digits.length() > 9) {
            return -1;
        }
        for (int i = 0; i < digits.length(); i++) {
            if (digits.charAt(i) < '0' || digits.charAt(i) > '9') {
                return -1;
            }
        }
        return Integer.parseInt(digits);
    }

    /** Characters a URI path keeps as they are; everything else goes as %XX of its UTF-8 bytes. */
    private static final String PATH_SAFE = "-._~!$&'()*+,;=:@/";

    private static String percentEncode(String name) throws IOException {
        byte[] bytes = name.getBytes("UTF-8");
        StringBuilder text = new StringBuilder(bytes.length + 16);
        for (int i = 0; i < bytes.length; i++) {
            int b = bytes[i] & 0xff;
            if ((b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9')
                    || (b < 0x80 && PATH_SAFE.indexOf(b) >= 0)) {
                text.append((char) b);
            } else {
                text.append('%').append(Character.toUpperCase(Character.forDigit(b >> 4, 16)))
                        .append(Character.toUpperCase(Character.forDigit(b & 15, 16)));
            }
        }
        return text.toString();
    }

    /**
     * Percent-decoding only ("+" stays "+", as in every URI path); null for
     * a malformed escape.
     */
    private static String percentDecode(String text) throws IOException {
        ByteArrayOutputStream bytes = new ByteArrayOutputStream(text.length());
        for (int i = 0; i < text.length(); i++) {
            char c = text.charAt(i);
            if (c == '%') {
                int high = i + 2 < text.length() ? Character.digit(text.charAt(i + 1), 16) : -1;
                int low = high < 0 ? -1 : Character.digit(text.charAt(i + 2), 16);
                if (low < 0) {
                    return null;
                }
                bytes.write(high << 4 | low);
                i += 2;
            } else {
                byte[] utf8 = String.valueOf(c).getBytes("UTF-8");
                if (Character.isHighSurrogate(c) && i + 1 < text.length()) {
                    utf8 = text.substring(i, i + 2).getBytes("UTF-8");
                    i++;
                }
                bytes.write(utf8, 0, utf8.length);
            }
        }
        return bytes.toString("UTF-8");
    }

    /**
     * The one handler of resource URLs; defines its classes and makes its
     * protocol known by name on first use. Call with urlLock held.
     */
    private static URLStreamHandler resourceUrlHandler() throws Exception {
        if (urlHandler != null) {
            return urlHandler;
        }
        byte[] connection = classBytes(CONNECTION_CLASS_HEX);
        byte[] handler = classBytes(HANDLER_CLASS_HEX);
        Class handlerClass = null;
        if (defineBeside(CONNECTION_CLASS, connection) != null) {
            handlerClass = defineBeside(HANDLER_CLASS, handler);
        }
        if (handlerClass != null) {
            String packages = System.getProperty(HANDLER_PACKAGES);
            if (packages == null || packages.trim().length() == 0) {
                System.setProperty(HANDLER_PACKAGES, HANDLER_PREFIX);
            } else if (!Arrays.asList(packages.split("\\s*\\|\\s*")).contains(HANDLER_PREFIX)) {
                // A client's own prefixes stay, and keep their precedence.
                System.setProperty(HANDLER_PACKAGES, packages + "|" + HANDLER_PREFIX);
            }
        } else {
            // Neither way to define a class in this loader worked: URLs work
            // as objects, their text does not.
            Main definer = new Main(Main.class.getClassLoader());
            definer.defineClass(CONNECTION_CLASS.replace('/', '.'), connection, 0, connection.length);
            handlerClass = definer.defineClass(HANDLER_CLASS.replace('/', '.'), handler, 0, handler.length);
        }
        urlHandler = (URLStreamHandler) handlerClass.newInstance();
        return urlHandler;
    }

    /** Defines a class in this class's own loader and package; null when the runtime offers no way. */
    private static Class defineBeside(String internalName, byte[] bytes) {
        try {
            Method define = MethodHandles.Lookup.class.getMethod("defineClass", new Class[] {byte[].class});
            return (Class) define.invoke(MethodHandles.lookup(), new Object[] {bytes});
        } catch (NoSuchMethodException beforeJava9) {
            // Java 7 and 8: below.
        } catch (Exception | LinkageError e) {
            logThrowable(TAG_MAIN, e);
            return null;
        }
        try {
            Class unsafeClass = Class.forName("sun.misc.Unsafe");
            Field instance = unsafeClass.getDeclaredField("theUnsafe");
            instance.setAccessible(true);
            Method define = unsafeClass.getMethod("defineClass", new Class[] {String.class, byte[].class, int.class,
                int.class, ClassLoader.class, ProtectionDomain.class});
            ClassLoader loader = Main.class.getClassLoader();
            return (Class) define.invoke(instance.get(null), new Object[] {internalName.replace('/', '.'), bytes,
                Integer.valueOf(0), Integer.valueOf(bytes.length), loader,
                loader == null ? null : Main.class.getProtectionDomain()});
        } catch (Exception | LinkageError e) {
            logThrowable(TAG_MAIN, e);
            return null;
        }
    }

    /*
     * The class files of Handler and HandlerConnection (their sources are
     * beside this one), as hex text. Empty here: the build compiles the
     * three together and writes the two class files into these constants of
     * the Main.java it then compiles on its own.
     */
    private static final String HANDLER_CLASS_HEX = "";
    private static final String CONNECTION_CLASS_HEX = "";

    private static byte[] classBytes(String hex) throws IOException {
        if (hex.length() == 0 || hex.length() % 2 != 0) {
            throw new IOException("the resource URL classes were not built into this class");
        }
        byte[] bytes = new byte[hex.length() / 2];
        for (int i = 0; i < bytes.length; i++) {
            bytes[i] = (byte) Integer.parseInt(hex.substring(2 * i, 2 * i + 2), 16);
        }
        return bytes;
    }

    // ------------------------------------------------------------------ log

    /** Where the log goes: standard output, or what apppack reads a package through collects. */
    static PrintStream logOut;

    private static void log(String tag, String text) {
        PrintStream out = logOut;
        (out != null ? out : System.out).println(System.currentTimeMillis() + " " + tag + " " + text);
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
