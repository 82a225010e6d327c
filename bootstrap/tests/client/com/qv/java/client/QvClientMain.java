package com.qv.java.client;

import com.mirl.runbed.Main;
import java.io.ByteArrayOutputStream;
import java.io.InputStream;
import java.net.URL;
import java.util.Comparator;
import java.util.ServiceLoader;

/**
 * The loader tests' client. What a start does is chosen by the system property
 * testclient.mode; it reports through the status sink it is given.
 */
public class QvClientMain {

    public static void startServer(Comparator<Object> sink) throws Exception {
        int starts = Integer.getInteger("testclient.starts", 0) + 1;
        System.setProperty("testclient.starts", String.valueOf(starts));
        sink.compare("client-start", QvClientMain.class.getClassLoader());
        sink.compare("client-context", Thread.currentThread().getContextClassLoader());
        String mode = System.getProperty("testclient.mode", "once");
        if (mode.equals("throw")) {
            throw new IllegalStateException("client refused to start");
        }
        if (mode.equals("restart-once") && starts == 1) {
            Main.restart = true;
        }
        if (mode.equals("services") || mode.equals("print")) {
            StringBuilder found = new StringBuilder();
            for (Runnable service : ServiceLoader.load(Runnable.class)) {
                found.append(service.getClass().getName());
            }
            sink.compare("client-services", found.toString());
            if (mode.equals("print")) {
                ClassLoader loader = QvClientMain.class.getClassLoader();
                URL url = loader.getResource("res/data.txt");
                System.out.println("client started by " + loader.getClass().getName() + "; services " + found
                        + "; data " + read(url.openStream()));
                try {
                    // Rebuilt from its text, as libraries do.
                    System.out.println("data by the URL's text: " + read(new URL(url.toString()).openStream()));
                } catch (java.io.IOException e) {
                    System.out.println("data by the URL's text: " + e);
                }
                InputStream settings = loader.getResourceAsStream("client-settings.txt");
                if (settings != null && loader.getResource("client-settings.txt") != null) {
                    System.out.println("settings beside the launcher: " + read(settings));
                }
            }
        }
        if (mode.equals("probe")) {
            // A probe of the tests, compiled against libraries the client is compiled without.
            Class.forName(System.getProperty("testclient.probe")).getMethod("main", String[].class)
                    .invoke(null, (Object) new String[0]);
        }
        if (mode.equals("log4j")) {
            // Through reflection: the client is compiled without the library.
            Object logger = Class.forName("org.apache.logging.log4j.LogManager").getMethod("getLogger", String.class)
                    .invoke(null, "client");
            logger.getClass().getMethod("info", String.class).invoke(logger, "hello from the package");
            InputStream locator = QvClientMain.class.getClassLoader().getResourceAsStream(
                    "org/apache/logging/log4j/util/StackLocator.class");
            byte[] head = new byte[8];
            new java.io.DataInputStream(locator).readFully(head);
            System.out.println("StackLocator class-file version " + head[7]);
        }
    }

    public static void endServer() {
        System.setProperty("testclient.stopped", "yes");
    }

    public static void twoShapes(int ignored) {
    }

    public static void twoShapes() {
    }

    public static void fails() {
        throw new IllegalStateException("fails on purpose");
    }

    private static String read(InputStream in) throws Exception {
        ByteArrayOutputStream out = new ByteArrayOutputStream();
        for (int b = in.read(); b >= 0; b = in.read()) {
            out.write(b);
        }
        in.close();
        return out.toString("UTF-8");
    }
}
