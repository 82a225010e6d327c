package com.mirl.runbed;

import java.io.DataInputStream;
import java.io.File;
import java.util.ArrayList;
import java.util.Comparator;
import java.util.LinkedHashMap;
import java.util.Map;

/**
 * The tests' and benchmarks' way into the bootstrap class's package-private
 * members: compiled against Main, so a member renamed or retyped there fails
 * the build of the tests, not their run. Test code, never shipped (the
 * launcher defines Main alone).
 */
public final class MainAccess {

    private MainAccess() {
    }

    /** The instance that runs the load cycles and is the default status sink. */
    public static Main bootInstance() {
        return Main.bootInstance;
    }

    /** The status sink main reports to; main sets the boot instance where none is set. */
    public static void setStatusSink(Comparator<?> sink) {
        Main.statusSink = sink;
    }

    public static void setPackageKey(String key) {
        Main.bootInstance.packageKey = key;
    }

    public static void setPackageSuffix(String suffix) {
        Main.bootInstance.packageSuffix = suffix;
    }

    public static String packageLocation() {
        return Main.bootInstance.packageLocation;
    }

    /** Empties the six launch strings, as before the first call of main. */
    public static void resetLaunchStrings() {
        Main.bootInstance.packageLocation = "";
        Main.bootInstance.packageSuffix = "";
        Main.bootInstance.packageKey = "";
        Main.bootInstance.mainClassName = "";
        Main.bootInstance.startMethodName = "";
        Main.bootInstance.stopMethodName = "";
    }

    /** The boot instance's scan of a package folder: {path, version} candidates, lowest version first. */
    public static ArrayList<?> scanPackages(File directory) {
        return Main.bootInstance.scanPackages(directory);
    }

    /** The loader's own SHA-256 in Java (the launcher binds its native one). */
    public static byte[] sha256(byte[] data, int offset, int length) {
        return Main.javaSha256(data, offset, length);
    }

    /** The loader's own check of an RSA SHA-256 signature, for a key as DER SubjectPublicKeyInfo. */
    public static boolean rsaVerify(byte[] keyDer, byte[] signature, byte[] digest) {
        return Main.rsaVerify(Main.rsaPublicKey(keyDer), signature, digest);
    }

    /** Reads a whole package into loader, as a load cycle does. */
    public static void readPackage(Main loader, DataInputStream in) {
        loader.readPackage(in);
    }

    /** A package loader's index: entry name to {offset, length} within its content. */
    public static Map<?, ?> entryIndex(Main loader) {
        return loader.entryIndex;
    }

    /** A package loader's inflated content. */
    public static byte[] contentBytes(Main loader) {
        return loader.contentBytes;
    }

    public static int compareVersions(String x, String y) {
        return Main.compareVersions(x, y);
    }

    /** The header cipher: AES in ECB mode, PKCS#5 padding removed; IllegalArgumentException where it refuses. */
    public static byte[] aesEcbDecrypt(byte[] key, byte[] data) {
        return Main.aesEcbDecrypt(key, data);
    }

    /** The layout values and texts the class keeps its own copies of, by their names there. */
    public static Map<String, Object> namedValues() {
        Map<String, Object> values = new LinkedHashMap<>();
        values.put("HEADER_NUMBERS", Main.HEADER_NUMBERS);
        values.put("CYCLE_NO_CLIENT", Main.CYCLE_NO_CLIENT);
        values.put("CYCLE_START_FAILED", Main.CYCLE_START_FAILED);
        values.put("CYCLE_START_RETURNED", Main.CYCLE_START_RETURNED);
        values.put("HEADER_INDEX_RAW", Main.HEADER_INDEX_RAW);
        values.put("HEADER_INDEX_STORED", Main.HEADER_INDEX_STORED);
        values.put("HEADER_INDEX_CRC", Main.HEADER_INDEX_CRC);
        values.put("HEADER_CONTENT_RAW", Main.HEADER_CONTENT_RAW);
        values.put("HEADER_CONTENT_STORED", Main.HEADER_CONTENT_STORED);
        values.put("HEADER_CONTENT_CRC", Main.HEADER_CONTENT_CRC);
        values.put("HEADER_ENTRY_COUNT", Main.HEADER_ENTRY_COUNT);
        values.put("MAX_INFLATE_RATIO", Main.MAX_INFLATE_RATIO);
        values.put("MIN_INDEX_RECORD", Main.MIN_INDEX_RECORD);
        values.put("POINTER_OFFSET", Main.POINTER_OFFSET);
        values.put("MIN_CONTAINER_LENGTH", Main.MIN_CONTAINER_LENGTH);
        values.put("MIN_EMBEDDED_SIZE", Main.MIN_EMBEDDED_SIZE);
        values.put("LAUNCH_PACKAGE_LOCATION", Main.LAUNCH_PACKAGE_LOCATION);
        values.put("LAUNCH_PACKAGE_SUFFIX", Main.LAUNCH_PACKAGE_SUFFIX);
        values.put("LAUNCH_PACKAGE_KEY", Main.LAUNCH_PACKAGE_KEY);
        values.put("LAUNCH_MAIN_CLASS", Main.LAUNCH_MAIN_CLASS);
        values.put("LAUNCH_START_METHOD", Main.LAUNCH_START_METHOD);
        values.put("LAUNCH_STOP_METHOD", Main.LAUNCH_STOP_METHOD);
        values.put("LAUNCH_STRING_COUNT", Main.LAUNCH_STRING_COUNT);
        values.put("NOTICE_LOADING", Main.NOTICE_LOADING);
        values.put("NOTICE_RESTARTING", Main.NOTICE_RESTARTING);
        values.put("NOTICE_NOT_RUNNING", Main.NOTICE_NOT_RUNNING);
        values.put("ERROR_NO_START_CLASS", Main.ERROR_NO_START_CLASS);
        values.put("ERROR_NO_START_METHOD", Main.ERROR_NO_START_METHOD);
        values.put("ERROR_NO_PACKAGE", Main.ERROR_NO_PACKAGE);
        values.put("ERROR_EXECUTABLE_TOO_SHORT", Main.ERROR_EXECUTABLE_TOO_SHORT);
        values.put("ERROR_INVALID_PACKAGE", Main.ERROR_INVALID_PACKAGE);
        values.put("TAG_MAIN", Main.TAG_MAIN);
        values.put("TAG_ERROR", Main.TAG_ERROR);
        values.put("LOG_START", Main.LOG_START);
        values.put("LOG_PACKAGE_FOUND", Main.LOG_PACKAGE_FOUND);
        values.put("LOG_LOADER_CLOSED", Main.LOG_LOADER_CLOSED);
        values.put("LOG_BLOCK_SHORT", Main.LOG_BLOCK_SHORT);
        return values;
    }
}
