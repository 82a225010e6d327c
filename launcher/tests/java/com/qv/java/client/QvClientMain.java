package com.qv.java.client;

import java.lang.management.ManagementFactory;
import java.util.Comparator;

/**
 * A client for the launcher's tests: it prints the options the VM was
 * created with, one line, separated by "|", and ends.
 */
public final class QvClientMain {
    private QvClientMain() {
    }

    public static void startServer(Comparator sink) {
        StringBuilder line = new StringBuilder("probe-vm-options:");
        for (String option : ManagementFactory.getRuntimeMXBean().getInputArguments()) {
            line.append('|').append(option);
        }
        System.out.println(line);
        System.out.println("probe-max-heap-mb:" + Runtime.getRuntime().maxMemory() / (1024 * 1024));
    }

    public static void endServer() {
    }
}
