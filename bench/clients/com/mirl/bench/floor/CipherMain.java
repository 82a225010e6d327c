package com.mirl.bench.floor;

import javax.crypto.Cipher;
import javax.crypto.spec.SecretKeySpec;

/**
 * A main that does only what the bootstrap class must do before it can
 * accept any package: get an "AES/ECB/PKCS5Padding" cipher and open one
 * sealed block. Its start-up time is the floor of the launcher's start-up.
 */
public class CipherMain {
    public static void main(String[] args) throws Exception {
        if (args.length != 1) {
            throw new IllegalArgumentException("usage: CipherMain KEY (the launcher's package key)");
        }
        SecretKeySpec key = new SecretKeySpec(args[0].getBytes(), "AES");
        Cipher seal = Cipher.getInstance("AES/ECB/PKCS5Padding");
        seal.init(Cipher.ENCRYPT_MODE, key);
        byte[] sealed = seal.doFinal(new byte[40]);
        Cipher open = Cipher.getInstance("AES/ECB/PKCS5Padding");
        open.init(Cipher.DECRYPT_MODE, key);
        if (open.doFinal(sealed).length != 40) {
            throw new IllegalStateException("AES round trip failed");
        }
    }
}
