package com.mirl.runbed.tests;

import static org.junit.Assert.assertEquals;

import java.io.File;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;

/**
 * The test client's probe, com.qv.java.client.ClassPathProbe, run on the
 * same JDK in two child processes: by java -cp over some inputs, and by the
 * loader (from the boot class path, where the launcher's null-loader
 * definition puts it) over a package made of the same inputs. Each run
 * gives the lines the probe printed ("probe ..."), in order.
 */
final class SideBySide {

    static final String PROBE = "com.qv.java.client.ClassPathProbe";

    private SideBySide() {
    }

    /** The probe under java -cp over the inputs, with the VM options. */
    static List<String> onClassPath(Path work, List<Path> inputs, String... options) throws Exception {
        List<String> command = new ArrayList<>(Arrays.asList(options));
        StringBuilder classPath = new StringBuilder();
        for (Path input : inputs) {
            classPath.append(classPath.length() == 0 ? "" : File.pathSeparator).append(input);
        }
        command.addAll(Arrays.asList("-cp", classPath.toString(), PROBE));
        return run(work, command);
    }

    /** The probe started by the loader from a package of the inputs (pack's options first), with the VM options. */
    static List<String> packaged(Path work, List<String> packOptions, List<Path> inputs, String... options)
            throws Exception {
        List<String> pack = new ArrayList<>(packOptions);
        for (Path input : inputs) {
            pack.add(input.toString());
        }
        Path cjars = Files.createDirectories(work.resolve("cjars"));
        Support.packInputs(cjars.resolve("client" + Support.SUFFIX), "1.0", pack.toArray(new String[0]));
        List<String> command = new ArrayList<>(Arrays.asList(options));
        command.addAll(Arrays.asList("-Xbootclasspath/a:" + Support.bootstrapClasses(), "com.mirl.runbed.Main",
                "./cjars", Support.SUFFIX, Support.KEY, PROBE, Support.START, Support.STOP));
        return run(work, command);
    }

    private static List<String> run(Path work, List<String> arguments) throws Exception {
        List<String> lines = new ArrayList<>();
        for (String line : javaOutput(work, arguments).split("\n")) {
            if (line.startsWith("probe ")) {
                lines.add(line);
            }
        }
        return lines;
    }

    /** Standard output and error of a java process with the arguments, running in work; it must exit with 0. */
    static String javaOutput(Path work, List<String> arguments) throws Exception {
        List<String> command = new ArrayList<>();
        command.add(System.getProperty("java.home") + File.separator + "bin" + File.separator + "java");
        command.addAll(arguments);
        ProcessBuilder builder = new ProcessBuilder(command).directory(work.toFile()).redirectErrorStream(true);
        builder.environment().remove("CLASSPATH");
        Process process = builder.start();
        process.getOutputStream().close();
        String output = new String(PackageReadingTest.readBytes(process.getInputStream()), "UTF-8");
        assertEquals(output, 0, process.waitFor());
        return output;
    }
}
