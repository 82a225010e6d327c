package com.qv.java.client;

import com.sun.management.HotSpotDiagnosticMXBean;
import com.sun.net.httpserver.HttpExchange;
import com.sun.net.httpserver.HttpHandler;
import com.sun.net.httpserver.HttpsConfigurator;
import com.sun.net.httpserver.HttpsParameters;
import com.sun.net.httpserver.HttpsServer;
import java.io.ByteArrayOutputStream;
import java.io.FileInputStream;
import java.io.FileOutputStream;
import java.io.InputStream;
import java.io.OutputStream;
import java.lang.management.ManagementFactory;
import java.lang.reflect.Field;
import java.net.InetAddress;
import java.net.InetSocketAddress;
import java.net.URL;
import java.security.KeyStore;
import java.util.Comparator;
import javax.net.ssl.HttpsURLConnection;
import javax.net.ssl.KeyManagerFactory;
import javax.net.ssl.SSLContext;
import javax.net.ssl.TrustManagerFactory;

/**
 * A client for the launcher's tests: it prints the options the VM was
 * created with, one line, separated by "|", the VM's maximum heap, library
 * path, temporary folder and crash report file, and ends.
 *
 * <p>The environment variable TAVELIN_PROBE makes it do more:
 * <ul>
 * <li>"sink-error": it replaces the bootstrap class's status sink by one
 * that throws an Error, which the bootstrap class's main does not catch:
 * main returns with that exception pending;
 * <li>"shutdown-hook": it adds a shutdown hook that writes "hook ran" to the
 * file TAVELIN_PROBE_FILE names, and leaves a thread (not a daemon) that
 * would write TAVELIN_PROBE_FILE ".thread" only a minute later;
 * <li>"throw": its start method throws;
 * <li>"exit-3": it ends the VM with System.exit(3);
 * <li>"app-null": it clears the bootstrap class's client class
 * (setAppInstance(null)) and returns;
 * <li>"https": it serves a page over HTTPS on 127.0.0.1, TLS 1.2 and up
 * only, with the key and certificate of the PKCS12 file TAVELIN_PROBE_FILE
 * names (password "probepass"), fetches it with HttpsURLConnection trusting
 * that certificate, and prints "probe-https: " and the page, or
 * "probe-https-failed: " and the exception.
 * </ul>
 */
public final class QvClientMain {
    private static final char[] KEYSTORE_PASSWORD = "probepass".toCharArray();

    private QvClientMain() {
    }

    public static void startServer(Comparator sink) throws Exception {
        StringBuilder line = new StringBuilder("probe-vm-options:");
        for (String option : ManagementFactory.getRuntimeMXBean().getInputArguments()) {
            line.append('|').append(option);
        }
        System.out.println(line);
        System.out.println("probe-max-heap-mb:" + Runtime.getRuntime().maxMemory() / (1024 * 1024));
        System.out.println("probe-library-path:" + System.getProperty("java.library.path"));
        System.out.println("probe-tmpdir:" + System.getProperty("java.io.tmpdir"));
        System.out.println("probe-error-file:" + ManagementFactory.getPlatformMXBean(HotSpotDiagnosticMXBean.class)
                .getVMOption("ErrorFile").getValue());
        if ("flood".equals(System.getenv("TAVELIN_PROBE"))) {
            // 3 MB of output in one run, for the output log's bound.
            StringBuilder text = new StringBuilder("probe-flood ");
            while (text.length() < 99) {
                text.append('x');
            }
            for (int i = 0; i < 30000; i++) {
                System.out.println(text);
            }
            System.out.println("probe-flood-end");
        }
        String probe = System.getenv("TAVELIN_PROBE");
        if ("sink-error".equals(probe)) {
            Field field = sink.getClass().getDeclaredField("statusSink");
            field.setAccessible(true);
            field.set(null, new Comparator() {
                @Override
                public int compare(Object code, Object text) {
                    throw new Error("probe: the status sink fails");
                }
            });
        } else if ("shutdown-hook".equals(probe)) {
            leaveShutdownWork(System.getenv("TAVELIN_PROBE_FILE"));
        } else if ("throw".equals(probe)) {
            throw new IllegalStateException("probe: the client refuses to start");
        } else if ("exit-3".equals(probe)) {
            System.exit(3);
        } else if ("app-null".equals(probe)) {
            sink.getClass().getMethod("setAppInstance", Class.class).invoke(null, (Object) null);
        } else if ("https".equals(probe)) {
            try {
                System.out.println("probe-https: " + fetchOverHttps(System.getenv("TAVELIN_PROBE_FILE")));
            } catch (Exception e) {
                System.out.println("probe-https-failed: " + e);
            }
        }
    }

    public static void endServer() {
    }

    private static void leaveShutdownWork(final String file) {
        Runtime.getRuntime().addShutdownHook(new Thread() {
            @Override
            public void run() {
                write(file, "hook ran");
            }
        });
        Thread busy = new Thread() {
            @Override
            public void run() {
                try {
                    Thread.sleep(60000);
                } catch (InterruptedException e) {
                    return;
                }
                write(file + ".thread", "the thread ran to its end");
            }
        };
        busy.setDaemon(false);
        busy.start();
    }

    private static void write(String file, String text) {
        try {
            OutputStream out = new FileOutputStream(file);
            try {
                out.write(text.getBytes("UTF-8"));
            } finally {
                out.close();
            }
        } catch (Exception e) {
            e.printStackTrace();
        }
    }

    private static String fetchOverHttps(String keystoreFile) throws Exception {
        KeyStore keys = KeyStore.getInstance("PKCS12");
        InputStream in = new FileInputStream(keystoreFile);
        try {
            keys.load(in, KEYSTORE_PASSWORD);
        } finally {
            in.close();
        }
        KeyManagerFactory keyManagers = KeyManagerFactory.getInstance(KeyManagerFactory.getDefaultAlgorithm());
        keyManagers.init(keys, KEYSTORE_PASSWORD);
        SSLContext serverContext = SSLContext.getInstance("TLS");
        serverContext.init(keyManagers.getKeyManagers(), null, null);
        TrustManagerFactory trustManagers = TrustManagerFactory.getInstance(TrustManagerFactory.getDefaultAlgorithm());
        trustManagers.init(keys);
        SSLContext clientContext = SSLContext.getInstance("TLS");
        clientContext.init(null, trustManagers.getTrustManagers(), null);

        HttpsServer server = HttpsServer.create(new InetSocketAddress(InetAddress.getByName("127.0.0.1"), 0), 0);
        // A current server: TLS 1.0 and 1.1 turned off.
        server.setHttpsConfigurator(new HttpsConfigurator(serverContext) {
            @Override
            public void configure(HttpsParameters parameters) {
                javax.net.ssl.SSLParameters ssl = getSSLContext().getDefaultSSLParameters();
                ssl.setProtocols(new String[] {"TLSv1.3", "TLSv1.2"});
                parameters.setSSLParameters(ssl);
            }
        });
        server.createContext("/", new HttpHandler() {
            @Override
            public void handle(HttpExchange exchange) throws java.io.IOException {
                byte[] page = "the page".getBytes("UTF-8");
                exchange.sendResponseHeaders(200, page.length);
                OutputStream body = exchange.getResponseBody();
                body.write(page);
                body.close();
            }
        });
        server.start();
        try {
            URL url = new URL("https://127.0.0.1:" + server.getAddress().getPort() + "/");
            HttpsURLConnection connection = (HttpsURLConnection) url.openConnection();
            connection.setSSLSocketFactory(clientContext.getSocketFactory());
            InputStream page = connection.getInputStream();
            try {
                ByteArrayOutputStream bytes = new ByteArrayOutputStream();
                byte[] buffer = new byte[4096];
                for (int n; (n = page.read(buffer)) > 0;) {
                    bytes.write(buffer, 0, n);
                }
                return bytes.toString("UTF-8");
            } finally {
                page.close();
            }
        } finally {
            server.stop(0);
        }
    }
}
