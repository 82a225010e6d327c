package com.qv.java.client;

/** Its method list cannot be built when Missing is absent. */
public class Broken {
    public static Missing make() {
        return new Missing();
    }
}
