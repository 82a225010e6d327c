package com.mirl.runbed.tests;

import static org.junit.Assert.assertEquals;
import static org.junit.Assert.assertTrue;

import java.io.File;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import org.junit.Rule;
import org.junit.Test;
import org.junit.rules.TemporaryFolder;

/**
 * The class as users meet it: a package made by the tool, started by Main.main
 * in a plain java process, once from the class path and once from the boot
 * class path, where the launcher's null-loader definition puts it.
 */
public class PlainJavaProcessTest {

    @Rule
    public TemporaryFolder tmp = new TemporaryFolder();

    @Test
    public void theClientStartsFromAPackageDirectory() throws Exception {
        Path work = tmp.newFolder("work").toPath();
        Path cjars = Files.createDirectory(work.resolve("cjars"));
        Support.pack(tmp.getRoot().toPath(), cjars.resolve("client.app"), "1.0.0");
        String classes = Support.bootstrapClasses().toString();
        for (List<String> classPath : Arrays.asList(Arrays.asList("-cp", classes),
                Arrays.asList("-Xbootclasspath/a:" + classes))) {
            List<String> command = new ArrayList<>();
            command.add(System.getProperty("java.home") + File.separator + "bin" + File.separator + "java");
            command.add("-Dtestclient.mode=print");
            command.addAll(classPath);
            command.addAll(Arrays.asList("com.mirl.runbed.Main", "./cjars", ".app", Support.KEY, Support.MAIN_CLASS,
                    "startServer", "endServer"));
            Process process = new ProcessBuilder(command).directory(work.toFile()).redirectErrorStream(true).start();
            process.getOutputStream().close();
            String output = new String(PackageReadingTest.readBytes(process.getInputStream()), "UTF-8");
            assertEquals(output, 0, process.waitFor());
            assertTrue(output, output.contains(
                    "client started; services com.qv.java.client.Greeter; data data of the package\n"));
            String found = new File(new File(work.toFile(), "./cjars"), "client.app").getPath();
            assertTrue(output, output.contains(" Main find app " + found + "\n"));
        }
    }
}
