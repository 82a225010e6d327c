package com.qv.java.client;

import java.util.Comparator;
import org.apache.logging.log4j.LogManager;
import org.apache.logging.log4j.Logger;

/**
 * The real-library client: packed together with Debian's Log4j 2 jars
 * (log4j-api, log4j-core) and a log4j2.xml, its start method starts Log4j
 * from that configuration and logs one line, as a real client's start-up
 * does. java -cp runs main, which does the same, for the baseline.
 */
public class QvClientMain {

    public static void startServer(Comparator sink) {
        start();
    }

    public static void endServer() {
    }

    public static void main(String[] args) {
        start();
    }

    private static void start() {
        Logger logger = LogManager.getLogger(QvClientMain.class);
        logger.info("client started");
        // Both sides must have done the same work, or the ratio means nothing.
        String configuration = ((org.apache.logging.log4j.core.Logger) logger).getContext().getConfiguration()
                .getName();
        if (!"bench".equals(configuration)) {
            throw new IllegalStateException("Log4j runs with the configuration " + configuration
                    + ", not the client's log4j2.xml");
        }
    }
}
