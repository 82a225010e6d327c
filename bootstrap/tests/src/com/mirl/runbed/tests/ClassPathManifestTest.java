package com.mirl.runbed.tests;

import static org.junit.Assert.assertEquals;

import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.Arrays;
import java.util.List;
import org.junit.Rule;
import org.junit.Test;
import org.junit.rules.TemporaryFolder;

/** A package made from the jars a user names holds what their manifests' Class-Path adds on a class path. */
public class ClassPathManifestTest {

    @Rule
    public TemporaryFolder tmp = new TemporaryFolder();

    @Test
    public void anXsltProcessorPackedFromItsJarFindsTheParserAndSerializerItsManifestNames() throws Exception {
        // Debian's xalan2.jar names xercesImpl.jar, xml-apis.jar (not installed) and
        // serializer.jar in its Class-Path, xercesImpl.jar three more; the user names
        // xalan2.jar only. Without them the JDK's own parser is found, and the
        // transformation fails for want of the serializer's classes.
        List<Path> inputs = Arrays.asList(Support.clientJar(), Paths.get("/usr/share/java/xalan2.jar"));
        List<String> onClassPath = SideBySide.onClassPath(tmp.newFolder().toPath(), inputs, "-Dprobe=xslt");
        assertEquals(Arrays.asList("probe parser org.apache.xerces.jaxp.DocumentBuilderFactoryImpl",
                "probe xslt org.apache.xalan.processor.TransformerFactoryImpl",
                "probe transformed: got hi from Apache Software Foundation"), onClassPath);
        // xercesImpl.jar's xml-resolver.jar has Java 11 classes.
        assertEquals(onClassPath, SideBySide.packaged(tmp.newFolder().toPath(), Arrays.asList("--runtime", "11"),
                inputs, "-Dprobe=xslt"));
    }
}
