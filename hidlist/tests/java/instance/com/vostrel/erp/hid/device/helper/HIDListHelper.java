package com.vostrel.erp.hid.device.helper;

/** The client's class with the native method declared on instances. */
public class HIDListHelper {
    static {
        System.loadLibrary("Quenvil");
    }

    public native byte[] jniHIDList();

    /** How the tests reach the native method, whichever way it is declared. */
    static byte[] list() {
        return new HIDListHelper().jniHIDList();
    }
}
