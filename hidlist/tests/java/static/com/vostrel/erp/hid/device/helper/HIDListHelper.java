package com.vostrel.erp.hid.device.helper;

/** The client's class with the native method declared static. */
public class HIDListHelper {
    static {
        System.loadLibrary("Quenvil");
    }

    public static native byte[] jniHIDList();

    /** How the tests reach the native method, whichever way it is declared. */
    static byte[] list() {
        return jniHIDList();
    }
}
