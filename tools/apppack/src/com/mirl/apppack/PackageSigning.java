package com.mirl.apppack;

import com.mirl.runbed.PackageCheck;
import java.security.GeneralSecurityException;
import java.security.KeyFactory;
import java.security.PublicKey;
import java.security.Signature;
import java.security.SignatureException;
import java.security.spec.X509EncodedKeySpec;
import java.util.Arrays;

/**
 * One package stream on its way to being signed: read as the loader reads
 * it, the manifest of a key made by the loader's own code, and the stream
 * with the signature block after its content block, checked by a read that
 * trusts that key alone before anything is written.
 */
final class PackageSigning {

    /** Why a package cannot be signed; the message says it in one line. */
    static final class Refused extends Exception {
        private static final long serialVersionUID = 1L;

        Refused(String message) {
            super(message);
        }
    }

    final PackageReader.Result read;
    private final byte[] bytes;
    private final int offset;
    private final String packageKey;

    private PackageSigning(byte[] bytes, int offset, PackageReader.Result read, String packageKey) {
        this.bytes = bytes;
        this.offset = offset;
        this.read = read;
        this.packageKey = packageKey;
    }

    /**
     * The package stream of length bytes at offset: refused where the loader
     * refuses it, and where bytes follow its content block that are no one
     * signature block (signing drops what follows, so nothing else may).
     */
    static PackageSigning of(byte[] bytes, int offset, int length, String packageKey, String name) throws Refused {
        PackageReader.Result r = PackageReader.read(bytes, offset, length, packageKey);
        if (!r.accepted()) {
            throw new Refused(name + " is refused by the loader: " + r.problem);
        }
        if (r.signedLength < 0 || r.signedLength > length) {
            throw new Refused(name + ": the loader found no end of its content block to sign up to");
        }
        int after = length - r.signedLength;
        if (after != 0 && after != r.signatureBlockLength) {
            throw new Refused(name + ": " + (after - r.signatureBlockLength) + " bytes follow the content block"
                    + (r.signatureBlockLength > 0 ? " and its signature block" : "")
                    + ", which signing would drop; pack the package again");
        }
        return new PackageSigning(bytes, offset, r, packageKey);
    }

    /** The bytes a signature by that key (DER SubjectPublicKeyInfo) is made over. */
    byte[] manifest(byte[] publicDer) {
        return read.read.manifest(publicDer);
    }

    private static final String DOES_NOT_HOLD = "the signature does not hold for the key over this package's "
            + "manifest (made with another key, or over the manifest of another package?)";

    /** Null when the signature holds for the key over the manifest (as the loader checks it), else why not. */
    static String checkSignature(byte[] publicDer, byte[] manifest, byte[] signature) {
        try {
            PublicKey key = KeyFactory.getInstance("RSA").generatePublic(new X509EncodedKeySpec(publicDer));
            Signature check = Signature.getInstance("SHA256withRSA");
            check.initVerify(key);
            check.update(manifest);
            return check.verify(signature) ? null : DOES_NOT_HOLD;
        } catch (SignatureException e) {
            // One of another key's length, or no PKCS#1 signature at all.
            return DOES_NOT_HOLD + ": " + e.getMessage();
        } catch (GeneralSecurityException e) {
            return "the signature cannot be checked: " + e.getMessage();
        }
    }

    /**
     * The stream signed: its bytes up to the content block's end, then the
     * signature block; refused unless the loader, trusting that key alone,
     * accepts it and every hash in it holds.
     */
    byte[] signed(byte[] publicDer, byte[] manifest, byte[] signature) throws Refused {
        byte[] block = PackageCheck.signatureBlock(manifest, signature);
        byte[] stream = Arrays.copyOfRange(bytes, offset, offset + read.signedLength + block.length);
        System.arraycopy(block, 0, stream, read.signedLength, block.length);
        String problem = trustedProblem(stream, 0, stream.length, packageKey, publicDer);
        if (problem != null) {
            throw new Refused("the signed package does not read with the key trusted: " + problem);
        }
        return stream;
    }

    /** Null when the loader, trusting only that key, accepts the stream with its signature; else why not. */
    static String trustedProblem(byte[] bytes, int offset, int length, String packageKey, byte[] publicDer) {
        PackageReader.Result r = PackageReader.read(bytes, offset, length, packageKey, KeyFiles.trustPem(publicDer));
        return r.problem != null ? r.problem : r.signatureProblem;
    }

    /** The fingerprint of the key that signs the stream now; null when it is not signed. */
    String previousSigner() {
        return read.signer;
    }
}
