package com.qv.java.client;

import java.io.StringReader;
import java.io.StringWriter;
import java.util.Comparator;
import javax.xml.parsers.DocumentBuilderFactory;
import javax.xml.transform.Transformer;
import javax.xml.transform.TransformerFactory;
import javax.xml.transform.stream.StreamResult;
import javax.xml.transform.stream.StreamSource;

/**
 * What a client reaches through JDK facilities that find classes by name,
 * started the same way by the loader (startServer) and by java -cp (main).
 * Each line it prints starts with "probe "; the system property probe
 * chooses what it tries.
 */
public class ClassPathProbe {

    private static final String STYLESHEET = "<xsl:stylesheet version=\"1.0\" "
            + "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\"><xsl:output method=\"text\"/>"
            + "<xsl:template match=\"/\">got <xsl:value-of select=\"a\"/> from "
            + "<xsl:value-of select=\"system-property('xsl:vendor')\"/></xsl:template></xsl:stylesheet>";

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
    }
}
