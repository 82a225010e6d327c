package com.qv.java.client;

import java.util.logging.Handler;
import java.util.logging.LogRecord;

/** The client's logging handler: each record a line of the probe's. */
public class ProbeLogHandler extends Handler {

    @Override
    public void publish(LogRecord record) {
        System.out.println("probe log handler: " + record.getMessage());
    }

    @Override
    public void flush() {
    }

    @Override
    public void close() {
    }
}
