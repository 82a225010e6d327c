package com.qv.java.client;

import java.io.InputStream;
import java.io.StringReader;
import java.io.StringWriter;
import java.net.MalformedURLException;
import java.net.URL;
import java.net.URLConnection;
import java.net.URLStreamHandler;
import java.net.URLStreamHandlerFactory;
import java.util.Comparator;
import java.util.logging.LogManager;
import java.util.logging.Logger;
import javax.xml.parsers.DocumentBuilderFactory;
import javax.xml.transform.Transformer;
import javax.xml.transform.TransformerFactory;
import javax.xml.transform.stream.StreamResult;
import javax.xml.transform.stream.StreamSource;

/**
 * What a client reaches through JDK facilities that find classes by name,
 * started the same way by the loader (startServer) and by java -cp (main).
 * Each line it prints starts with "probe "; the system property probe
 * chooses what it tries. Also the logging configuration class it names
 * (its constructor).
 */
public class ClassPathProbe {

    private static final String STYLESHEET = "<xsl:stylesheet version=\"1.0\" "
            + "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\"><xsl:output method=\"text\"/>"
            + "<xsl:template match=\"/\">got <xsl:value-of select=\"a\"/> from "
            + "<xsl:value-of select=\"system-property('xsl:vendor')\"/></xsl:template></xsl:stylesheet>";

    public ClassPathProbe() {
        System.out.println("probe config class ran");
    }

    public static void main(String[] args) throws Exception {
        startServer(null);
    }

    public static void startServer(Comparator<Object> sink) throws Exception {
        String probe = System.getProperty("probe", "");
        if (probe.equals("xslt")) {
            // Whichever parser and processor the JAXP lookup finds, and whether the processor has what it needs.
            System.out.println("probe parser " + DocumentBuilderFactory.newInstance().getClass().getName());
            TransformerFactory factory = TransformerFactory.newInstance();
            System.out.println("probe xslt " + factory.getClass().getName());
            try {
                Transformer transformer = factory.newTransformer(new StreamSource(new StringReader(STYLESHEET)));
                StringWriter out = new StringWriter();
                transformer.transform(new StreamSource(new StringReader("<a>hi</a>")), new StreamResult(out));
                System.out.println("probe transformed: " + out);
            } catch (Throwable e) {
                System.out.println("probe transform failed: " + e);
            }
        }
        if (probe.equals("logging")) {
            // As configured: the handler and config class named in the file.
            LogManager.getLogManager().readConfiguration(resource("logging.properties"));
            Logger.getLogger("probe").info("by the configured handler");
            // The remedy: levels in the file, the classes made in code.
            LogManager.getLogManager().readConfiguration(resource("logging-levels.properties"));
            new ClassPathProbe();
            Logger.getLogger("").addHandler(new ProbeLogHandler());
            Logger.getLogger("probe").info("by the handler installed in code");
        }
        if (probe.equals("url")) {
            // As configured: the handler found by its name through java.protocol.handler.pkgs.
            try {
                System.out.println("probe by name: " + read(new URL("client:by-name")));
            } catch (MalformedURLException e) {
                System.out.println("probe by name: " + e.getMessage());
            }
            // The remedies: the handler given to the URL, or the factory the client sets.
            System.out.println("probe given: " + read(new URL(null, "client:given", new Handler())));
            URL.setURLStreamHandlerFactory(new URLStreamHandlerFactory() {
                @Override
                public URLStreamHandler createURLStreamHandler(String protocol) {
                    return protocol.equals("client") ? new Handler() : null;
                }
            });
            System.out.println("probe by the factory: " + read(new URL("client:by-factory")));
            // The factory answers null for other protocols: the client's own class by its URL's text.
            URL own = new URL(ClassPathProbe.class.getResource("Handler.class").toString());
            System.out.println("probe own class after the factory: " + own.openStream().read());
        }
    }

    private static InputStream resource(String name) {
        return ClassPathProbe.class.getClassLoader().getResourceAsStream(name);
    }

    private static String read(URL url) throws Exception {
        URLConnection connection = url.openConnection();
        InputStream in = connection.getInputStream();
        byte[] bytes = new byte[in.available()];
        in.read(bytes);
        return new String(bytes, "UTF-8");
    }
}
