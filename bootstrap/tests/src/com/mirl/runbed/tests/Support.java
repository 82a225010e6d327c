package com.mirl.runbed.tests;

import static org.junit.Assert.assertEquals;

import com.mirl.apppack.AppPack;
import com.mirl.apppack.LaunchStrings;
import com.mirl.apppack.PackageKey;
import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;

/** Packages for the loader tests, made by the package tool from the test client. */
final class Support {

    /** The launcher's key, as the build generates it for the launcher and apppack. */
    static final String KEY = PackageKey.DEFAULT;
    /** The launcher's launch strings but the location, as the build generates them. */
    static final String SUFFIX = LaunchStrings.PACKAGE_SUFFIX;
    static final String MAIN_CLASS = LaunchStrings.CLIENT_MAIN_CLASS;
    static final String START = LaunchStrings.CLIENT_START_METHOD;
    static final String STOP = LaunchStrings.CLIENT_STOP_METHOD;

    /** Resources the packages carry besides the client classes. */
    static final Map<String, String> RESOURCES = new LinkedHashMap<>();

    static {
        RESOURCES.put("META-INF/services/java.lang.Runnable", "com.qv.java.client.Greeter\n");
        RESOURCES.put("res/data.txt", "data of the package");
        RESOURCES.put("res/odd name #1 %41+ü.txt", "odd");
        RESOURCES.put("res/relative.txt", "next to data");
        RESOURCES.put("res/c++.xsd", "plus");
        RESOURCES.put("res/c  .xsd", "spaces");
    }

    private Support() {
    }

    static Path clientJar() {
        return Paths.get(System.getProperty("tavelin.test.client"));
    }

    static Path bootstrapClasses() {
        return Paths.get(System.getProperty("tavelin.test.bootstrap"));
    }

    /** A directory holding RESOURCES, made once per temporary folder. */
    static Path resourceDir(Path scratch) throws IOException {
        Path dir = scratch.resolve("resources");
        if (!Files.isDirectory(dir)) {
            for (Map.Entry<String, String> r : RESOURCES.entrySet()) {
                Path file = dir.resolve(r.getKey());
                Files.createDirectories(file.getParent());
                Files.write(file, r.getValue().getBytes(StandardCharsets.UTF_8));
            }
        }
        return dir;
    }

    /** Packs the test client and RESOURCES (kept in scratch); extra options go before the inputs. */
    static byte[] pack(Path scratch, Path out, String version, String... options) throws IOException {
        List<String> args = new ArrayList<>(Arrays.asList(options));
        args.add(clientJar().toString());
        args.add(resourceDir(scratch).toString());
        return packInputs(out, version, args.toArray(new String[0]));
    }

    /** Packs exactly the given inputs (options first, if any). */
    static byte[] packInputs(Path out, String version, String... inputs) throws IOException {
        List<String> args = new ArrayList<>(Arrays.asList("pack", "-o", out.toString(), "--version", version));
        args.addAll(Arrays.asList(inputs));
        ToolRun run = apppack(args.toArray(new String[0]));
        assertEquals(run.err, 0, run.status);
        byte[] bytes = Files.readAllBytes(out);
        HeaderCipherTest.checkSealedHeader(bytes, 0);
        return bytes;
    }

    static final class ToolRun {
        int status;
        String out;
        String err;
    }

    static ToolRun apppack(String... args) {
        ByteArrayOutputStream out = new ByteArrayOutputStream();
        ByteArrayOutputStream err = new ByteArrayOutputStream();
        ToolRun run = new ToolRun();
        run.status = new AppPack(new PrintStream(out, true), new PrintStream(err, true)).run(args);
        run.out = out.toString();
        run.err = err.toString();
        return run;
    }
}
