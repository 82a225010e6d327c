package com.qv.java.client;

/** A service provider the client lists through ServiceLoader. */
public class Greeter implements Runnable {
    public void run() {
    }
}
