package com.qv.java.client;

import com.mirl.runbed.Main;
import java.util.Comparator;

/**
 * A client with 8 MB of statics that keeps one of its objects in a
 * thread-local of the thread that started it, as frameworks do, and asks for
 * a restart until it has run hoarder.starts times.
 */
public class Hoarder {
    private static final byte[] STATICS = new byte[8 << 20];
    private static final ThreadLocal<Object> CURRENT = new ThreadLocal<Object>();

    public static void startServer(Comparator<Object> sink) {
        CURRENT.set(new Hoarder());
        int starts = Integer.getInteger("hoarder.starts", 0) + 1;
        System.setProperty("hoarder.starts", String.valueOf(starts));
        sink.compare("hoarder-start", STATICS.length);
        Main.restart = starts < Integer.getInteger("hoarder.runs", 1);
    }
}
