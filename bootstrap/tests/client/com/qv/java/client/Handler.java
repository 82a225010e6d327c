package com.qv.java.client;

import java.io.ByteArrayInputStream;
import java.io.IOException;
import java.io.InputStream;
import java.net.URL;
import java.net.URLConnection;
import java.net.URLStreamHandler;

/**
 * The client's handler of the protocol "client", named as the JDK looks
 * handlers up by name under the prefix com.qv.java
 * (java.protocol.handler.pkgs).
 */
public class Handler extends URLStreamHandler {

    @Override
    protected URLConnection openConnection(final URL url) {
        return new URLConnection(url) {
            @Override
            public void connect() {
            }

            @Override
            public InputStream getInputStream() throws IOException {
                return new ByteArrayInputStream(("served " + url).getBytes("UTF-8"));
            }
        };
    }
}
