package com.qv.java.client;

import java.util.Comparator;

/**
 * The realistic launch client: shipped together with the 5,000 generated
 * classes (about 20 MB), its start method loads every tenth of them (500,
 * spread over the whole content) before it returns, as a real client's
 * start-up touches part of its code. java -cp runs main, which does the
 * same, for the baseline.
 */
public class QvClientMain {
    private static final int CLASSES = 5000;
    private static final int STEP = 10;

    public static void startServer(Comparator sink) throws ClassNotFoundException {
        loadSome();
    }

    public static void endServer() {
    }

    public static void main(String[] args) throws ClassNotFoundException {
        loadSome();
    }

    private static void loadSome() throws ClassNotFoundException {
        ClassLoader loader = QvClientMain.class.getClassLoader();
        int own = 0;
        for (int i = 0; i < CLASSES; i += STEP) {
            String digits = Integer.toString(i);
            Class cls = loader.loadClass("bench.gen.C" + "00000".substring(digits.length()) + digits);
            if (cls.getClassLoader() == loader) {
                own++;
            }
        }
        if (own != CLASSES / STEP) {
            // Both sides must have done the same work, or the ratio means nothing.
            throw new IllegalStateException("loaded " + own + " of " + CLASSES / STEP + " classes from the client's loader");
        }
    }
}
