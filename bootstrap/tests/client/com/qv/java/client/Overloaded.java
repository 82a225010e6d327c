package com.qv.java.client;

import java.util.Comparator;

/** A start method with an overload of another shape declared before it. */
public class Overloaded {
    public static void startServer(Comparator<Object> sink, String unused) {
        throw new IllegalStateException("the overload with two parameters was called");
    }

    public static void startServer(Comparator<Object> sink) {
        sink.compare("client-start", Overloaded.class.getClassLoader());
    }
}
