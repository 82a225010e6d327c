package com.qv.java.client;

import java.util.Comparator;

/** Its static initialiser fails, so its start method can never be called. */
public class FailingInit {
    private static final String SETTING = setting();

    private static String setting() {
        throw new IllegalStateException("no setting");
    }

    public static void startServer(Comparator<Object> sink) {
        sink.compare("client-start", SETTING);
    }
}
