package com.mirl.runbed.tests;

import static org.junit.Assert.assertEquals;

import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collections;
import java.util.List;
import org.junit.Rule;
import org.junit.Test;
import org.junit.rules.TemporaryFolder;

/**
 * JDK facilities that find a class by name only through the system class
 * loader, which cannot see a package's classes (docs/client-authors.md):
 * what a client configures for them works under java -cp and not from a
 * package, and the remedy that document gives works from both.
 */
public class SystemLoaderViewTest {

    private static final String CONFIG_CLASS_RAN = "probe config class ran";

    @Rule
    public TemporaryFolder tmp = new TemporaryFolder();

    @Test
    public void loggingHandlersAndConfigClassesOfAPackagedConfigurationAreMadeInCode() throws Exception {
        Path conf = tmp.newFolder("conf").toPath();
        Files.write(conf.resolve("logging.properties"), ("handlers=com.qv.java.client.ProbeLogHandler\n"
                + "config=" + SideBySide.PROBE + "\n.level=INFO\n").getBytes(StandardCharsets.UTF_8));
        Files.write(conf.resolve("logging-levels.properties"), ".level=INFO\n".getBytes(StandardCharsets.UTF_8));
        List<Path> inputs = Arrays.asList(Support.clientJar(), conf);
        // java.util.logging.config.class is also tried through the context class loader.
        String[] options = {"-Dprobe=logging", "-Djava.util.logging.config.class=" + SideBySide.PROBE};
        String inCode = "probe log handler: by the handler installed in code";
        assertEquals(Arrays.asList(CONFIG_CLASS_RAN, CONFIG_CLASS_RAN, "probe log handler: by the configured handler",
                CONFIG_CLASS_RAN, inCode), SideBySide.onClassPath(tmp.newFolder().toPath(), inputs, options));
        assertEquals(Arrays.asList(CONFIG_CLASS_RAN, CONFIG_CLASS_RAN, inCode),
                SideBySide.packaged(tmp.newFolder().toPath(), Collections.<String>emptyList(), inputs, options));
    }

    @Test
    public void aUrlHandlerOfTheClientIsGivenToTheUrlOrSetAsTheFactory() throws Exception {
        List<Path> inputs = Collections.singletonList(Support.clientJar());
        String[] options = {"-Dprobe=url", "-Djava.protocol.handler.pkgs=com.qv.java"};
        List<String> remedies = Arrays.asList("probe given: served client:given",
                "probe by the factory: served client:by-factory", "probe own class after the factory: 202");
        assertEquals(concat("probe by name: served client:by-name", remedies),
                SideBySide.onClassPath(tmp.newFolder().toPath(), inputs, options));
        assertEquals(concat("probe by name: unknown protocol: client", remedies),
                SideBySide.packaged(tmp.newFolder().toPath(), Collections.<String>emptyList(), inputs, options));
    }

    private static List<String> concat(String first, List<String> rest) {
        List<String> all = new ArrayList<>(rest);
        all.add(0, first);
        return all;
    }
}
