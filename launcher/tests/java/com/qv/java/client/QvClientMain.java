package com.qv.java.client;

import java.lang.management.ManagementFactory;
import java.lang.reflect.Field;
import java.util.Comparator;

/**
 * A client for the launcher's tests: it prints the options the VM was
 * created with, one line, separated by "|", and ends.
 *
 * <p>With the environment variable TAVELIN_PROBE set to "sink-error" it
 * then replaces the bootstrap class's status sink by one that throws an
 * Error, which the bootstrap class's main does not catch: main returns
 * with that exception pending.
 */
public final class QvClientMain {
    private QvClientMain() {
    }

    public static void startServer(Comparator sink) throws ReflectiveOperationException {
        StringBuilder line = new StringBuilder("probe-vm-options:");
        for (String option : ManagementFactory.getRuntimeMXBean().getInputArguments()) {
            line.append('|').append(option);
        }
        System.out.println(line);
        System.out.println("probe-max-heap-mb:" + Runtime.getRuntime().maxMemory() / (1024 * 1024));
        System.out.println("probe-library-path:" + System.getProperty("java.library.path"));
        System.out.println("probe-tmpdir:" + System.getProperty("java.io.tmpdir"));
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
        if ("sink-error".equals(System.getenv("TAVELIN_PROBE"))) {
            Field field = sink.getClass().getDeclaredField("statusSink");
            field.setAccessible(true);
            field.set(null, new Comparator() {
                @Override
                public int compare(Object code, Object text) {
                    throw new Error("probe: the status sink fails");
                }
            });
        }
    }

    public static void endServer() {
    }
}
