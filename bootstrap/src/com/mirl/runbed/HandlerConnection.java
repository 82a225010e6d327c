package com.mirl.runbed;

import java.io.IOException;
import java.io.InputStream;
import java.net.URL;
import java.net.URLConnection;

/**
 * A connection to a package entry: its bytes, and the headers a file: or
 * jar: connection gives (the runtime's getContentLengthLong and
 * getContentType read them), all from Main. Defined by Main beside itself,
 * as Handler is; it may live in another loader than Main, so it reaches it
 * through public static members only.
 */
public final class HandlerConnection extends URLConnection {

    public HandlerConnection(URL url) {
        super(url);
    }

    public void connect() {
        connected = true;
    }

    public InputStream getInputStream() throws IOException {
        return Main.openEntry(getURL());
    }

    public String getHeaderField(String name) {
        return Main.entryHeader(getURL(), name);
    }

    /** To the millisecond, as a file: connection gives it (the header has whole seconds). */
    public long getLastModified() {
        return Main.entryTime(getURL());
    }
}
