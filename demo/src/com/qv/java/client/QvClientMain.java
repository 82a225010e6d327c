package com.qv.java.client;

import com.vostrel.erp.hid.device.helper.HIDListHelper;

import java.io.IOException;
import java.lang.reflect.Field;
import java.lang.reflect.Method;
import java.util.Comparator;
import java.util.List;
import java.util.concurrent.CountDownLatch;

/**
 * The sample client that Tavelin hosts. The bootstrap class calls
 * {@link #startServer} on a thread of its own with its status sink; the
 * client works until {@link #endServer} is called, then returns. On its
 * first run it asks for one in-place restart, so a demo shows the whole
 * cycle: the bootstrap reloads the package with a fresh class loader and
 * starts the client again in the same VM.
 *
 * <p>Run directly ({@code java -cp classes com.qv.java.client.QvClientMain})
 * it plays the same two runs with a sink of its own, for comparison.
 */
public final class QvClientMain {
    /** Progress code of the status sink (the text goes with it). */
    private static final String PROGRESS = "1";
    /**
     * Run counter. A restart defines this class anew in a fresh loader, so
     * static fields start over; a system property lives as long as the VM.
     */
    private static final String RUN_PROPERTY = "qvclient.run";

    private static final CountDownLatch stopped = new CountDownLatch(1);

    private QvClientMain() {
    }

    public static void startServer(Comparator sink) {
        int run = Integer.getInteger(RUN_PROPERTY, 0) + 1;
        System.setProperty(RUN_PROPERTY, Integer.toString(run));
        ClassLoader loader = QvClientMain.class.getClassLoader();
        say("run " + run + ": started by " + sink.getClass().getName() + ", loaded by "
                + (loader == null ? "the boot loader" : loader.getClass().getName() + "@" + loader.hashCode()));
        report(sink, "客户端运行中");
        say("run " + run + ": working (Java " + System.getProperty("java.version") + ", max heap "
                + Runtime.getRuntime().maxMemory() / (1024 * 1024) + " MB)");
        listHidDevices(run);

        // Stop the way a host does: through the sink's static endServer,
        // from another thread, while this thread waits in startServer.
        final Class<?> host = sink.getClass();
        Thread stopper = new Thread("qvclient-stop") {
            @Override
            public void run() {
                say("asking " + host.getSimpleName() + ".endServer() to stop the client");
                Object result = callStatic(host, "endServer");
                say("endServer returned " + result);
            }
        };
        stopper.start();
        try {
            stopped.await();
            stopper.join();
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
        }

        if (run == 1) {
            say("run 1: asking for one in-place restart");
            setRestart(host);
        } else {
            say("run " + run + ": done, no restart");
        }
        report(sink, "客户端已停止");
        say("run " + run + ": startServer returns");
    }

    public static void endServer() {
        say("endServer: stopping");
        stopped.countDown();
    }

    /** The same runs without the launcher, for comparison. */
    public static void main(String[] args) {
        StandaloneSink sink = new StandaloneSink();
        StandaloneSink.hostClass = QvClientMain.class;
        StandaloneSink.restart = true;
        while (StandaloneSink.restart) {
            StandaloneSink.restart = false;
            startServer(sink);
        }
    }

    /**
     * Lists the HID devices through Quenvil. Each run sees this client's
     * classes anew, HIDListHelper included, so a restarted client has to
     * load the library again (see HIDListHelper).
     */
    private static void listHidDevices(int run) {
        String prefix = "run " + run + ": ";
        try {
            if (!HIDListHelper.isAvailable()) {
                say(prefix + "HID listing unavailable: " + HIDListHelper.binding());
                return;
            }
            say(prefix + "HID library " + HIDListHelper.binding());
            List<String> paths = HIDListHelper.listDevicePaths();
            if (paths.isEmpty()) {
                say(prefix + "no HID devices found");
                return;
            }
            say(prefix + paths.size() + " HID device(s):");
            for (String path : paths) {
                say(prefix + "  " + path);
            }
        } catch (IOException | LinkageError e) {
            say(prefix + "HID listing failed: " + e);
        }
    }

    private static void say(String text) {
        System.out.println("[client] " + text);
    }

    private static void report(Comparator sink, String text) {
        sink.compare(PROGRESS, text);
    }

    private static Object callStatic(Class<?> type, String name) {
        try {
            Method method = type.getMethod(name);
            return method.invoke(null);
        } catch (Exception e) {
            say(name + " failed: " + e);
            return null;
        }
    }

    private static void setRestart(Class<?> host) {
        try {
            Field restart = host.getField("restart");
            restart.setBoolean(null, true);
        } catch (Exception e) {
            say("no restart flag: " + e);
        }
    }

    /** Stands in for the bootstrap class when the client runs by itself. */
    public static final class StandaloneSink implements Comparator {
        public static volatile boolean restart;
        static volatile Class<?> hostClass;

        @Override
        public int compare(Object code, Object text) {
            return 0;
        }

        public static int endServer() {
            callStatic(hostClass, "endServer");
            return 0;
        }
    }
}
