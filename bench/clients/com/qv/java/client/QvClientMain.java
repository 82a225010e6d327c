package com.qv.java.client;

import java.util.Comparator;

/**
 * The launch benchmark's client: its start method returns at once, and so
 * does its main, which java -cp runs for the baseline.
 */
public class QvClientMain {
    public static void startServer(Comparator sink) {
    }

    public static void endServer() {
    }

    public static void main(String[] args) {
    }
}
