package com.mirl.runbed;

import java.net.URL;
import java.net.URLConnection;
import java.net.URLStreamHandler;

/**
 * The handler of the loader's resource URLs ("runbed:/N/name"). The
 * runtime looks it up by name as com.mirl.runbed.Handler (the prefix
 * com.mirl in java.protocol.handler.pkgs, the protocol runbed), through the
 * bootstrap loader and then the system class loader; Main defines it beside
 * itself at run time, from bytes the build puts into Main (the launcher
 * defines Main alone).
 */
public final class Handler extends URLStreamHandler {

    public Handler() {
    }

    protected URLConnection openConnection(URL url) {
        return new HandlerConnection(url);
    }
}
