package com.qv.java.client;

/** Left out of a package on purpose by the tests. */
public class Missing {
}
