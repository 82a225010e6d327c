package com.mirl.apppack;

import com.mirl.runbed.PackageCheck;
import java.io.IOException;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.AccessDeniedException;
import java.nio.file.FileSystemException;
import java.nio.file.InvalidPathException;
import java.nio.file.Files;
import java.nio.file.NoSuchFileException;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.security.GeneralSecurityException;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collections;
import java.util.HashMap;
import java.util.HashSet;
import java.util.List;
import java.util.Map;
import java.util.Set;

/**
 * apppack: makes the client's application packages, embeds them in an
 * executable and tells whether the loader would accept one.
 */
public final class AppPack {

    static final int OK = 0;
    static final int FAILED = 1;
    static final int USAGE = 2;

    /** The trust file's name beside the launcher (the loader's TRUST_FILE). */
    static final String TRUST_FILE = "trusted-keys.pem";

    private static final String MAIN_USAGE = String.join("\n",
            "Usage: apppack COMMAND [OPTIONS] [ARGUMENTS]",
            "Makes and checks the client's application packages.",
            "",
            "Commands:",
            "  pack     pack class directories and jars into a package",
            "  embed    append a package to an executable and point to it",
            "  inspect  describe a package or an executable that carries one",
            "  verify   check that the loader would accept a package",
            "  keygen   make a key pair to sign packages with",
            "  sign     sign a package (or the one an executable carries)",
            "",
            "Classes must run on the launcher's Java 7 runtime (class-file version 51);",
            "pack, inspect and verify take --runtime N for a client on another Java.",
            "Run \"apppack COMMAND --help\" for the options of a command.",
            "Exit status: 0 success, 1 failure or package refused, 2 bad arguments.");

    private static final String NO_CLASS_PATH = "--no-class-path";

    private static final String RUNTIME_OPTION =
            "  --runtime N         Java release the client runs on: 7 (the launcher's runtime,";

    private static final String PASSWORD_FILE_OPTION =
            "  --password-file F   the key's password: the first line of the file F";
    private static final String PASSWORD_ENV_OPTION =
            "  --password-env VAR  the key's password: the value of the environment variable VAR";

    private static final String PACK_USAGE = String.join("\n",
            "Usage: apppack pack -o FILE --version VERSION [--check TEXT] [--key KEY]",
            "                    [--runtime N] [--no-class-path]",
            "                    [--sign-key NAME.key [--password-file F | --password-env VAR]]",
            "                    INPUT...",
            "Packs the classes and resources of the INPUTs into one package.",
            "An INPUT is a directory that is a class path root (com/x/A.class holds the",
            "class com.x.A) or a jar. As on a class path, a class that several INPUTs hold",
            "is taken from the first; a resource keeps every INPUT's copy: the loader's",
            "getResource gives the first INPUT's, getResources all of them in INPUT order.",
            "A class file newer than the target runtime is an error (javac --release 7",
            "makes Java 7 class files); one under META-INF/versions/N/ of a multi-release",
            "jar may need Java N.",
            "A jar's manifest Class-Path is followed as the JVM follows it: the jars it",
            "names (relative to the jar's folder, or absolute) are packed right after",
            "it, before the next INPUT, and theirs after them, each once; each is named",
            "in a line, and one that is missing or no jar is a warning.",
            "",
            "  -o, --output FILE   package to write; the loader scans for names ending in .app",
            "  --version VERSION   dotted decimal version such as 1.4.2; the loader starts",
            "                      the highest version it finds",
            "  --check TEXT        check text, stored in the clear and sealed (default: empty)",
            "  --key KEY           package key (default: the launcher's key)",
            RUNTIME_OPTION,
            "                      default), 8, 11, 17, ...; no class may need a newer one",
            "  --no-class-path     pack the INPUTs only, not the jars their Class-Path names",
            "  --sign-key NAME.key sign the package with that private key (see apppack sign)",
            PASSWORD_FILE_OPTION,
            PASSWORD_ENV_OPTION,
            "  -h, --help          show this help");

    private static final String EMBED_USAGE = String.join("\n",
            "Usage: apppack embed --package FILE --into EXE [-o OUT] [--key KEY]",
            "Appends the package to the executable and writes the embedded-package pointer",
            "(offset and size) at bytes 80 to 87. A package embedded earlier at the end of",
            "the executable is replaced. The package is verified first.",
            "",
            "  --package FILE      package to embed",
            "  --into EXE          executable that is to carry it (changed in place)",
            "  -o, --output OUT    write the result to OUT instead of changing EXE",
            "  --key KEY           key to verify the package with (default: the launcher's key)",
            "  -h, --help          show this help");

    private static final String INSPECT_USAGE = String.join("\n",
            "Usage: apppack inspect [--key KEY] [--runtime N] FILE",
            "Prints the version, check text, block lengths, CRC status, entries, the",
            "highest class-file version and the signer of a package, or of the package an",
            "executable (a name ending in .exe) carries. Exits 1 when the loader would",
            "refuse it. Warns as verify does.",
            "",
            "  --key KEY           package key (default: the launcher's key)",
            RUNTIME_OPTION,
            "                      default), 8, 11, 17, ...; warns about classes for a newer one",
            "  -h, --help          show this help");

    private static final String VERIFY_USAGE = String.join("\n",
            "Usage: apppack verify [--key KEY] [--main CLASS] [--runtime N] [--trust FILE.pem] FILE",
            "Exits 0 when the loader would accept the package (or the package an executable",
            "carries), else prints the reason and exits 1. Prints the highest class-file",
            "version in the package and warns when it is newer than the target runtime.",
            "Prints who signed the package and whether the signature holds.",
            "Warns of each jar a packed manifest's Class-Path names that is none of the",
            "package's inputs (java -cp would search it).",
            "",
            "  --key KEY           package key (default: the launcher's key)",
            RUNTIME_OPTION,
            "                      default), 8, 11, 17, ...; warns about classes for a newer one",
            "  --main CLASS        also require the class CLASS (dotted name) in the package;",
            "                      without it, a note says when the launcher's main class",
            "                      " + PackageFormat.DEFAULT_MAIN_CLASS + " is missing",
            "  --trust FILE.pem    read the package as a loader with FILE.pem beside it as",
            "                      " + TRUST_FILE + " does: refused unless signed by a key FILE.pem",
            "                      lists, with its signature and every hash holding",
            "  -h, --help          show this help");

    private static final String KEYGEN_USAGE = String.join("\n",
            "Usage: apppack keygen -o NAME [--password-file F | --password-env VAR]",
            "Makes an RSA key pair (" + KeyFiles.KEY_BITS + " bits) to sign packages with: NAME.key, the private",
            "key (PKCS#8 PEM, readable by its owner only), and NAME.pub, the public key",
            "(PEM) to list in " + TRUST_FILE + " beside the launcher. Prints the key's",
            "fingerprint (the SHA-256 of the public key's DER bytes). Never overwrites a",
            "key file. openssl reads both files.",
            "",
            "  -o, --output NAME   the files' name, without .key or .pub",
            "  --password-file F   encrypt NAME.key with the password on the first line of F",
            "                      (PBES2: PBKDF2-HMAC-SHA256, AES-256-CBC, as openssl",
            "                      genpkey -aes256 writes it)",
            "  --password-env VAR  the same with the value of the environment variable VAR",
            "  -h, --help          show this help");

    private static final String SIGN_USAGE = String.join("\n",
            "Usage: apppack sign --key NAME.key [--password-file F | --password-env VAR]",
            "                    [--package-key KEY] FILE",
            "       apppack sign --public NAME.pub --manifest-out M [--package-key KEY] FILE",
            "       apppack sign --public NAME.pub --signature SIG [--package-key KEY] FILE",
            "Signs the package FILE (a .app, or an executable that carries one) in place: a",
            "signature block after its content block names the key and holds an RSA",
            "SHA-256 signature (PKCS#1 v1.5) over the package's manifest. A signature the",
            "package carried is replaced, so re-signing with a new key rotates keys. A",
            "loader with " + TRUST_FILE + " beside it runs only packages signed by a key",
            "listed there. The package is read as the loader reads it first, and the result",
            "is checked with the key as the one trusted key before FILE is replaced.",
            "With --public the signature is made elsewhere (openssl, an HSM): --manifest-out",
            "writes the bytes to sign, e.g. for",
            "  openssl dgst -sha256 -sign NAME.key -out SIG M",
            "and --signature attaches the signature, which must hold for NAME.pub.",
            "",
            "  --key NAME.key      the private key: PEM PKCS#8, encrypted or not (apppack",
            "                      keygen, openssl genpkey)",
            PASSWORD_FILE_OPTION,
            PASSWORD_ENV_OPTION,
            "  --public NAME.pub   the public key of a signature made elsewhere",
            "  --manifest-out M    write the manifest to sign to M; FILE stays as it is",
            "  --signature SIG     attach the signature in SIG (its raw bytes, as openssl dgst",
            "                      -sign writes them)",
            "  --package-key KEY   package key (default: the launcher's key)",
            "  -h, --help          show this help");

    private final PrintStream out;
    private final PrintStream err;

    public AppPack(PrintStream out, PrintStream err) {
        this.out = out;
        this.err = err;
    }

    public static void main(String[] args) {
        System.exit(new AppPack(System.out, System.err).run(args));
    }

    /** Bad arguments: a one-line message and exit status 2. */
    private static final class UsageError extends Exception {
        private static final long serialVersionUID = 1L;

        UsageError(String message) {
            super(message);
        }
    }

    /** A failure with a one-line message and exit status 1. */
    private static final class Failure extends Exception {
        private static final long serialVersionUID = 1L;

        Failure(String message) {
            super(message);
        }
    }

    /** Runs one command line; returns the exit status. */
    public int run(String[] args) {
        if (args.length == 0) {
            err.println(MAIN_USAGE);
            return USAGE;
        }
        String command = args[0];
        String[] rest = Arrays.copyOfRange(args, 1, args.length);
        try {
            switch (command) {
                case "-h":
                case "--help":
                case "help":
                    out.println(MAIN_USAGE);
                    return OK;
                case "pack":
                    return pack(rest);
                case "embed":
                    return embed(rest);
                case "inspect":
                    return inspect(rest);
                case "verify":
                    return verify(rest);
                case "keygen":
                    return keygen(rest);
                case "sign":
                    return sign(rest);
                default:
                    throw new UsageError("unknown command \"" + command + "\" (see apppack --help)");
            }
        } catch (UsageError e) {
            err.println("apppack " + command + ": " + e.getMessage());
            return USAGE;
        } catch (Failure e) {
            err.println("apppack " + command + ": error: " + e.getMessage());
            return FAILED;
        } catch (InvalidPathException e) {
            // A name the file-name encoding cannot spell (non-ASCII under LANG=C).
            err.println("apppack " + command + ": error: cannot use the path \"" + e.getInput() + "\": "
                    + e.getReason() + " (a UTF-8 locale, e.g. LC_ALL=C.UTF-8, takes any name)");
            return FAILED;
        } catch (OutOfMemoryError e) {
            // Large inputs, or a package whose header claims a large raw length.
            err.println("apppack " + command + ": error: out of memory (" + e.getMessage()
                    + "); give Java a larger heap, e.g. JAVA_TOOL_OPTIONS=-Xmx2g");
            return FAILED;
        }
    }

    /** Parsed options and operands of one command. */
    private static final class Arguments {
        final Map<String, String> options = new HashMap<>();
        final List<String> operands = new ArrayList<>();
        final Set<String> flags = new HashSet<>();
        boolean help;

        String get(String name, String fallback) {
            String value = options.get(name);
            return value != null ? value : fallback;
        }

        String require(String name) throws UsageError {
            String value = options.get(name);
            if (value == null) {
                throw new UsageError("missing " + name + " (see --help)");
            }
            return value;
        }
    }

    /** Options take one value ("--key K" or "--key=K"); "--" ends the options. */
    private static Arguments parse(String[] args, String command, String... valued) throws UsageError {
        return parse(args, command, Collections.<String>emptySet(), valued);
    }

    /** The same, with options that take no value (flags). */
    private static Arguments parse(String[] args, String command, Set<String> flags, String... valued)
            throws UsageError {
        Set<String> known = new HashSet<>(Arrays.asList(valued));
        Arguments parsed = new Arguments();
        boolean operandsOnly = false;
        for (int i = 0; i < args.length; i++) {
            String arg = args[i];
            if (operandsOnly || !arg.startsWith("-") || arg.equals("-")) {
                parsed.operands.add(arg);
                continue;
            }
            if (arg.equals("--")) {
                operandsOnly = true;
                continue;
            }
            if (arg.equals("-h") || arg.equals("--help")) {
                parsed.help = true;
                continue;
            }
            String name = arg;
            String value = null;
            int equals = arg.indexOf('=');
            if (arg.startsWith("--") && equals > 0) {
                name = arg.substring(0, equals);
                value = arg.substring(equals + 1);
            }
            if (name.equals("-o")) {
                name = "--output";
            }
            if (flags.contains(name) && value == null) {
                parsed.flags.add(name);
                continue;
            }
            if (!known.contains(name)) {
                throw new UsageError("unknown option " + name + " (see apppack " + command + " --help)");
            }
            if (value == null) {
                if (i + 1 >= args.length) {
                    throw new UsageError("option " + arg + " needs a value");
                }
                value = args[++i];
            }
            if (parsed.options.put(name, value) != null) {
                throw new UsageError("option " + name + " given twice");
            }
        }
        return parsed;
    }

    // ------------------------------------------------------------------ pack

    private int pack(String[] args) throws UsageError, Failure {
        Arguments a = parse(args, "pack", Collections.singleton(NO_CLASS_PATH), "--output", "--version", "--check",
                "--key", "--runtime", "--sign-key", PASSWORD_FILE, PASSWORD_ENV);
        if (a.help) {
            out.println(PACK_USAGE);
            return OK;
        }
        Path output = Paths.get(a.require("--output"));
        String version = a.require("--version");
        String check = a.get("--check", "");
        String key = a.get("--key", PackageFormat.DEFAULT_KEY);
        if (a.operands.isEmpty()) {
            throw new UsageError("no INPUT given (see apppack pack --help)");
        }
        String problem = PackageFormat.checkVersion(version);
        if (problem == null) {
            problem = PackageFormat.checkKey(key);
        }
        // Each is a text of at most 65535 bytes; the sealed header holds any two such texts.
        if (problem == null && PackageFormat.utfLength(check) > 65535) {
            problem = "the check text is longer than 65535 bytes";
        }
        if (problem == null && PackageFormat.utfLength(version) > 65535) {
            problem = "the version is longer than 65535 bytes";
        }
        int runtime = runtime(a);
        if (problem != null) {
            throw new UsageError(problem);
        }
        // The key first: a wrong password should not wait for the packing.
        KeyFiles.SigningKey signingKey = signingKey(a, "--sign-key", "pack");
        InputCollector inputs = new InputCollector(err);
        ManifestClassPath classPath = a.flags.contains(NO_CLASS_PATH) ? null : new ManifestClassPath(err);
        for (String operand : a.operands) {
            try {
                if (classPath == null) {
                    inputs.add(Paths.get(operand));
                } else {
                    classPath.add(Paths.get(operand), inputs::add);
                }
            } catch (FileSystemException e) {
                throw new Failure("cannot read " + (e.getFile() != null ? e.getFile() : operand) + ": " + describe(e));
            } catch (IOException e) {
                throw new Failure(describe(e));
            }
        }
        if (inputs.entries().isEmpty()) {
            throw new Failure("the inputs hold no files; nothing to pack");
        }
        ClassNames.Versions versions = ClassNames.versions(inputs.entries(), runtime);
        String tooNew = versions.problem();
        if (tooNew != null) {
            throw new Failure(tooNew + "; compile for Java " + runtime + " (javac --release " + runtime
                    + ") or give --runtime " + (versions.highest - 44));
        }
        if (versions.folderProblem() != null) {
            throw new Failure(versions.folderProblem());
        }
        try {
            List<Map.Entry<String, byte[]>> records = inputs.records();
            byte[] written = PackageWriter.write(records, version, check, key);
            String signed = "";
            if (signingKey != null) {
                written = signedStream(written, 0, written.length, key, output.toString(), signingKey);
                signed = ", signed by " + PackageCheck.fingerprint(signingKey.publicDer);
            }
            byte[] stream = written;
            AtomicFile.write(output, o -> o.write(stream));
            long content = 0;
            for (Map.Entry<String, byte[]> record : records) {
                content += record.getValue().length;
            }
            // The last record is the package's own list of inputs, times and folders.
            out.println("apppack: wrote " + output + ": version " + version + ", " + (records.size() - 1)
                    + " entries" + (inputs.furtherCopies() == 0 ? "" : " (" + inputs.furtherCopies()
                    + " of them further copies of resources several inputs hold)") + ", " + content
                    + " bytes of content, " + stream.length + " bytes in all" + signed);
            if (!output.getFileName().toString().endsWith(LaunchStrings.PACKAGE_SUFFIX)) {
                err.println("apppack: note: the loader's directory scan only takes files ending in "
                        + LaunchStrings.PACKAGE_SUFFIX);
            }
        } catch (IOException | GeneralSecurityException e) {
            throw new Failure("cannot write " + output + ": " + describe(e));
        }
        return OK;
    }

    // ------------------------------------------------------------------ embed

    private int embed(String[] args) throws UsageError, Failure {
        Arguments a = parse(args, "embed", "--package", "--into", "--output", "--key");
        if (a.help) {
            out.println(EMBED_USAGE);
            return OK;
        }
        Path packagePath = Paths.get(a.require("--package"));
        Path exePath = Paths.get(a.require("--into"));
        Path output = a.options.containsKey("--output") ? Paths.get(a.options.get("--output")) : exePath;
        String key = a.get("--key", PackageFormat.DEFAULT_KEY);
        if (!a.operands.isEmpty()) {
            throw new UsageError("unexpected argument " + a.operands.get(0));
        }
        byte[] pkg = readFile(packagePath);
        PackageReader.Result result = PackageReader.read(pkg, 0, pkg.length, key);
        if (!result.accepted()) {
            throw new Failure(packagePath + " is refused by the loader: " + result.problem);
        }
        byte[] exe = readFile(exePath);
        int base = exe.length;
        String replaced = null;
        try {
            ExecutableContainer old = ExecutableContainer.locate(exe);
            if ((long) old.offset + old.size == exe.length
                    && PackageReader.read(exe, old.offset, old.size, key).decrypted) {
                base = old.offset;
                replaced = "replaced the package of " + old.size + " bytes embedded at offset " + old.offset;
            }
        } catch (IllegalArgumentException noPackageYet) {
            // Nothing embedded yet: append after the last byte.
        }
        if (base < PackageFormat.POINTER_OFFSET + 8) {
            throw new Failure(exePath + " is " + exe.length + " bytes; the pointer at bytes 80 to 87 needs at least 88");
        }
        long total = (long) base + pkg.length;
        String problem = ExecutableContainer.checkPointer(base, pkg.length, total);
        if (problem != null) {
            throw new Failure("the loader would refuse the result: " + problem);
        }
        byte[] combined = Arrays.copyOf(exe, (int) total);
        System.arraycopy(pkg, 0, combined, base, pkg.length);
        ExecutableContainer.writePointer(combined, base, pkg.length);
        try {
            AtomicFile.write(output, o -> o.write(combined));
        } catch (IOException e) {
            throw new Failure("cannot write " + output + ": " + describe(e));
        }
        if (replaced != null) {
            out.println("apppack: " + replaced);
        }
        out.println("apppack: wrote " + output + ": package of " + pkg.length + " bytes (version " + result.version
                + ") at offset " + base);
        return OK;
    }

    // ------------------------------------------------------------------ keys and signing

    private static final String PASSWORD_FILE = "--password-file";
    private static final String PASSWORD_ENV = "--password-env";

    private int keygen(String[] args) throws UsageError, Failure {
        Arguments a = parse(args, "keygen", "--output", PASSWORD_FILE, PASSWORD_ENV);
        if (a.help) {
            out.println(KEYGEN_USAGE);
            return OK;
        }
        String name = a.require("--output");
        if (!a.operands.isEmpty()) {
            throw new UsageError("unexpected argument " + a.operands.get(0));
        }
        // "-o signer.key" names the pair as "-o signer" does.
        if (name.endsWith(".key") || name.endsWith(".pub")) {
            name = name.substring(0, name.length() - 4);
        }
        Path keyFile = Paths.get(name + ".key");
        Path publicFile = Paths.get(name + ".pub");
        Path folder = keyFile.toAbsolutePath().getParent();
        if (folder == null || !Files.isDirectory(folder)) {
            throw new Failure("the folder " + folder + " does not exist");
        }
        byte[] password = password(a);
        for (Path existing : new Path[] {keyFile, publicFile}) {
            if (Files.exists(existing, java.nio.file.LinkOption.NOFOLLOW_LINKS)) {
                throw new Failure(existing + " exists; keygen never replaces a key file (remove it, or give "
                        + "another NAME)");
            }
        }
        java.security.KeyPair pair;
        String privatePem;
        try {
            pair = KeyFiles.generate();
            privatePem = KeyFiles.privatePem(pair.getPrivate(), password);
        } catch (GeneralSecurityException e) {
            throw new Failure("cannot make the key: " + describe(e));
        } finally {
            if (password != null) {
                Arrays.fill(password, (byte) 0);
            }
        }
        byte[] publicDer = pair.getPublic().getEncoded();
        String publicPem = KeyFiles.pem(KeyFiles.PUBLIC_LABEL, publicDer);
        writeNew(keyFile, true, privatePem);
        try {
            writeNew(publicFile, false, publicPem);
        } catch (Failure e) {
            // Half a pair is no use; the private key is ours, made a moment ago.
            try {
                Files.deleteIfExists(keyFile);
            } catch (IOException ignored) {
                err.println("apppack keygen: warning: " + keyFile + " is left without its " + publicFile);
            }
            throw e;
        }
        out.println("apppack: wrote " + keyFile + " (the private key, RSA " + KeyFiles.KEY_BITS + " bits"
                + (password != null ? ", encrypted" : "") + "; readable by its owner only: keep it secret) and "
                + publicFile + " (the public key)");
        out.println("apppack: fingerprint " + PackageCheck.fingerprint(publicDer));
        return OK;
    }

    private static void writeNew(Path file, boolean ownerOnly, String text) throws Failure {
        try {
            AtomicFile.create(file, ownerOnly, o -> o.write(text.getBytes(StandardCharsets.US_ASCII)));
        } catch (java.nio.file.FileAlreadyExistsException e) {
            throw new Failure(file + " exists; keygen never replaces a key file");
        } catch (IOException e) {
            throw new Failure("cannot write " + file + ": " + describe(e));
        }
    }

    /** The password of --password-file or --password-env; null when neither is given. */
    private static byte[] password(Arguments a) throws UsageError, Failure {
        String file = a.options.get(PASSWORD_FILE);
        String variable = a.options.get(PASSWORD_ENV);
        if (file != null && variable != null) {
            throw new UsageError("give " + PASSWORD_FILE + " or " + PASSWORD_ENV + ", not both");
        }
        try {
            return KeyFiles.password(file == null ? null : Paths.get(file), variable);
        } catch (KeyFiles.KeyException e) {
            throw new Failure(e.getMessage());
        }
    }

    /** The private key the option names, opened with the password options; null when the option is not given. */
    private KeyFiles.SigningKey signingKey(Arguments a, String option, String command) throws UsageError, Failure {
        String name = a.options.get(option);
        if (name == null) {
            if (a.options.containsKey(PASSWORD_FILE) || a.options.containsKey(PASSWORD_ENV)) {
                throw new UsageError("a password option without " + option);
            }
            return null;
        }
        Path file = Paths.get(name);
        byte[] password = password(a);
        List<String> notes = new ArrayList<>();
        try {
            KeyFiles.SigningKey key = KeyFiles.readPrivate(file, KeyFiles.read(file), password, notes);
            for (String note : notes) {
                err.println("apppack " + command + ": note: " + note);
            }
            return key;
        } catch (KeyFiles.KeyException e) {
            throw new Failure(e.getMessage());
        } finally {
            if (password != null) {
                Arrays.fill(password, (byte) 0);
            }
        }
    }

    /** The package stream of length bytes at offset signed with the key, checked as the loader trusting it reads it. */
    private static byte[] signedStream(byte[] bytes, int offset, int length, String packageKey, String name,
            KeyFiles.SigningKey key) throws Failure {
        try {
            PackageSigning signing = PackageSigning.of(bytes, offset, length, packageKey, name);
            byte[] manifest = signing.manifest(key.publicDer);
            return signing.signed(key.publicDer, manifest, key.sign(manifest));
        } catch (PackageSigning.Refused e) {
            throw new Failure(e.getMessage());
        } catch (GeneralSecurityException e) {
            throw new Failure("cannot sign " + name + ": " + describe(e));
        }
    }

    private int sign(String[] args) throws UsageError, Failure {
        Arguments a = parse(args, "sign", "--key", PASSWORD_FILE, PASSWORD_ENV, "--public", "--manifest-out",
                "--signature", "--package-key");
        if (a.help) {
            out.println(SIGN_USAGE);
            return OK;
        }
        Path path = singleFile(a);
        String packageKey = a.get("--package-key", PackageFormat.DEFAULT_KEY);
        String keyProblem = PackageFormat.checkKey(packageKey);
        if (keyProblem != null) {
            throw new UsageError("--package-key: " + keyProblem);
        }
        String publicName = a.options.get("--public");
        String manifestOut = a.options.get("--manifest-out");
        String signatureName = a.options.get("--signature");
        if ((publicName == null) == (a.options.get("--key") == null)) {
            throw new UsageError("give --key NAME.key, or --public NAME.pub with --manifest-out or --signature");
        }
        if (publicName != null && (manifestOut == null) == (signatureName == null)) {
            throw new UsageError("--public takes --manifest-out M or --signature SIG, one of them");
        }
        if (publicName == null && (manifestOut != null || signatureName != null)) {
            throw new UsageError((manifestOut != null ? "--manifest-out" : "--signature") + " goes with --public");
        }
        KeyFiles.SigningKey key = signingKey(a, "--key", "sign");
        byte[] publicDer;
        if (key != null) {
            publicDer = key.publicDer;
        } else {
            Path publicFile = Paths.get(publicName);
            try {
                publicDer = KeyFiles.readPublic(publicFile, KeyFiles.read(publicFile));
            } catch (KeyFiles.KeyException e) {
                throw new Failure(e.getMessage());
            }
        }
        String fingerprint = PackageCheck.fingerprint(publicDer);

        Located located = locate(path);
        if (located.container != null) {
            int end = located.offset + located.length;
            if (end != located.bytes.length) {
                // Signing changes the package's length: what follows would move,
                // and whatever points into it (an Authenticode signature's
                // table, say) would point amiss.
                throw new Failure(path + ": " + (located.bytes.length - end) + " bytes follow the package the "
                        + "executable carries, which signing would move; sign the package before it is embedded "
                        + "(apppack sign FILE.app, then apppack embed)");
            }
            if (located.offset < PackageFormat.POINTER_OFFSET + 8) {
                throw new Failure(path + ": the package starts at offset " + located.offset
                        + ", inside the pointer at bytes 80 to 87, which signing rewrites");
            }
        }
        PackageSigning signing;
        try {
            signing = PackageSigning.of(located.bytes, located.offset, located.length, packageKey, path.toString());
        } catch (PackageSigning.Refused e) {
            throw new Failure(e.getMessage());
        }
        byte[] manifest = signing.manifest(publicDer);
        if (manifestOut != null) {
            Path manifestPath = Paths.get(manifestOut);
            try {
                AtomicFile.write(manifestPath, o -> o.write(manifest));
            } catch (IOException e) {
                throw new Failure("cannot write " + manifestPath + ": " + describe(e));
            }
            out.println("apppack: wrote " + manifestPath + ": the manifest of " + path + " for the key " + fingerprint
                    + " (" + manifest.length + " bytes); sign it (openssl dgst -sha256 -sign NAME.key -out SIG "
                    + manifestPath + ") and attach it: apppack sign --public " + publicName + " --signature SIG "
                    + path);
            return OK;
        }
        byte[] signature;
        if (key != null) {
            try {
                signature = key.sign(manifest);
            } catch (GeneralSecurityException e) {
                throw new Failure("cannot sign " + path + ": " + describe(e));
            }
        } else {
            signature = readFile(Paths.get(signatureName));
            String problem = PackageSigning.checkSignature(publicDer, manifest, signature);
            if (problem != null) {
                throw new Failure(signatureName + ": " + problem);
            }
        }
        byte[] stream;
        try {
            stream = signing.signed(publicDer, manifest, signature);
        } catch (PackageSigning.Refused e) {
            throw new Failure(e.getMessage());
        }
        byte[] result;
        if (located.container == null) {
            result = stream;
        } else {
            long total = (long) located.offset + stream.length;
            String problem = ExecutableContainer.checkPointer(located.offset, stream.length, total);
            if (problem != null) {
                throw new Failure("the loader would refuse the result: " + problem);
            }
            result = Arrays.copyOf(located.bytes, (int) total);
            System.arraycopy(stream, 0, result, located.offset, stream.length);
            ExecutableContainer.writePointer(result, located.offset, stream.length);
        }
        try {
            AtomicFile.write(path, o -> o.write(result));
        } catch (IOException e) {
            throw new Failure("cannot write " + path + ": " + describe(e));
        }
        // What landed on disk, read back as the loader trusting that key reads it.
        Located written = locate(path);
        String problem = Arrays.equals(written.bytes, result) ? PackageSigning.trustedProblem(written.bytes,
                written.offset, written.length, packageKey, publicDer) : "the file does not hold what was written";
        if (problem != null) {
            throw new Failure(path + " was written but does not read as signed: " + problem);
        }
        String previous = signing.previousSigner();
        out.println("apppack: signed " + path + " (version " + signing.read.version + ") with the key " + fingerprint
                + (previous == null ? "" : previous.equals(fingerprint) ? ", replacing its signature by the same key"
                : ", replacing the signature of " + previous) + "; package of " + stream.length + " bytes");
        return OK;
    }

    // ------------------------------------------------------------------ inspect and verify

    /** A package stream located in a file: the whole file, or the range an executable points to. */
    private static final class Located {
        byte[] bytes;
        int offset;
        int length;
        String container;
        final List<String> notes = new ArrayList<>();
    }

    private Located locate(Path path) throws Failure {
        Located located = new Located();
        located.bytes = readFile(path);
        String name = path.getFileName() == null ? "" : path.getFileName().toString();
        if (name.toLowerCase(java.util.Locale.ROOT).endsWith(".exe")) {
            if (!ExecutableContainer.isExecutableName(name)) {
                located.notes.add("the loader takes only a location ending exactly in \".exe\" for an executable");
            }
            ExecutableContainer pointer;
            try {
                pointer = ExecutableContainer.locate(located.bytes);
            } catch (IllegalArgumentException e) {
                throw new Failure(path + ": refused: " + e.getMessage());
            }
            located.offset = pointer.offset;
            located.length = pointer.size;
            located.container = "executable of " + located.bytes.length + " bytes, package at offset "
                    + pointer.offset + ", size " + pointer.size;
        } else {
            located.offset = 0;
            located.length = located.bytes.length;
            if (!name.endsWith(LaunchStrings.PACKAGE_SUFFIX)) {
                located.notes.add("the loader's directory scan only takes files ending in "
                        + LaunchStrings.PACKAGE_SUFFIX);
            }
        }
        return located;
    }

    private int inspect(String[] args) throws UsageError, Failure {
        Arguments a = parse(args, "inspect", "--key", "--runtime");
        if (a.help) {
            out.println(INSPECT_USAGE);
            return OK;
        }
        int runtime = runtime(a);
        Path path = singleFile(a);
        Located located = locate(path);
        PackageReader.Result r = PackageReader.read(located.bytes, located.offset, located.length,
                a.get("--key", PackageFormat.DEFAULT_KEY));
        ClassNames.Versions versions = r.entries == null ? null : ClassNames.versions(r.entries, runtime);
        out.println("file:           " + path);
        if (located.container != null) {
            out.println("container:      " + located.container);
        }
        out.println("stream:         " + r.streamLength + " bytes");
        out.println("version:        " + show(r.version));
        out.println("check text:     " + show(r.check));
        out.println("sealed header:  " + (r.sealedLength < 0 ? "-" : r.sealedLength + " bytes")
                + (r.decrypted ? ", decrypts with the key" : ""));
        if (r.sealedVersion != null) {
            out.println("sealed version: " + show(r.sealedVersion) + (r.sealedVersion.equals(r.version)
                    ? " (matches)" : " (DIFFERS)"));
        }
        if (r.sealedCheck != null) {
            out.println("sealed check:   " + show(r.sealedCheck) + (r.sealedCheck.equals(r.check)
                    ? " (matches)" : " (DIFFERS)"));
        }
        if (r.numbers != null) {
            int[] n = r.numbers;
            out.println("index block:    raw " + n[PackageFormat.HEADER_INDEX_RAW] + ", stored "
                    + n[PackageFormat.HEADER_INDEX_STORED] + ", CRC " + hex(n[PackageFormat.HEADER_INDEX_CRC])
                    + crc(r.indexCrcOk));
            out.println("content block:  raw " + n[PackageFormat.HEADER_CONTENT_RAW] + ", stored "
                    + n[PackageFormat.HEADER_CONTENT_STORED] + ", CRC " + hex(n[PackageFormat.HEADER_CONTENT_CRC])
                    + crc(r.contentCrcOk));
            if (r.contentChunks > 0) {
                out.println("restart points: " + r.contentChunks + (r.contentChunks == 1 ? " chunk" : " chunks")
                        + ", inflated one by one as entries are asked for");
            }
            out.println("entries:        " + n[PackageFormat.HEADER_ENTRY_COUNT]);
        }
        if (!r.records.isEmpty()) {
            // A name held more than once: the last record is copy 1, served by
            // getResource; getResources lists it, then the others in record order.
            Map<String, Integer> total = new HashMap<>();
            for (PackageReader.Entry e : r.records) {
                total.merge(e.name, 1, Integer::sum);
            }
            Map<String, Integer> seen = new HashMap<>();
            out.println(String.format("  %10s %10s  %s", "offset", "length", "name"));
            for (PackageReader.Entry e : r.records) {
                int n = total.get(e.name);
                int at = seen.merge(e.name, 1, Integer::sum);
                String copy = n == 1 ? "" : "  (copy " + (at == n ? 1 : at + 1) + " of " + n
                        + (at == n ? ", getResource" : "") + ")";
                out.println(String.format("  %10d %10d  %s%s", e.offset, e.length, e.name, copy));
            }
        }
        if (versions != null) {
            out.println("classes:        " + versions.describeHighest());
        }
        out.println("signature:      " + (r.signedLength < 0 && r.signer == null ? "-" : signature(r)));
        for (String note : located.notes) {
            out.println("note:           " + note);
        }
        for (String warning : r.warnings) {
            out.println("warning:        " + warning);
        }
        if (versions != null && versions.problem() != null) {
            out.println("warning:        " + versions.problem());
        }
        if (versions != null && versions.folderProblem() != null) {
            out.println("warning:        " + versions.folderProblem());
        }
        out.println("status:         " + (r.accepted() ? "accepted" : "refused: " + r.problem));
        return r.accepted() ? OK : FAILED;
    }

    private int verify(String[] args) throws UsageError, Failure {
        Arguments a = parse(args, "verify", "--key", "--main", "--runtime", "--trust");
        if (a.help) {
            out.println(VERIFY_USAGE);
            return OK;
        }
        int runtime = runtime(a);
        Path path = singleFile(a);
        String trustName = a.options.get("--trust");
        byte[] trust = null;
        if (trustName != null) {
            Path trustPath = Paths.get(trustName);
            trust = readFile(trustPath);
            try {
                PackageCheck.publicKeys(trust);
            } catch (IllegalArgumentException e) {
                throw new Failure(trustPath + ": " + e.getMessage());
            }
        }
        Located located = locate(path);
        PackageReader.Result r = PackageReader.read(located.bytes, located.offset, located.length,
                a.get("--key", PackageFormat.DEFAULT_KEY), trust);
        String problem = r.problem;
        if (problem == null && trust != null && r.signatureProblem != null) {
            problem = r.signatureProblem;
        }
        String mainClass = a.options.get("--main");
        if (problem == null && mainClass != null && !r.entries.containsKey(PackageFormat.classEntry(mainClass))) {
            problem = "the package has no class " + mainClass;
        }
        if (problem == null && mainClass == null
                && !r.entries.containsKey(PackageFormat.classEntry(PackageFormat.DEFAULT_MAIN_CLASS))) {
            located.notes.add("the launcher starts " + PackageFormat.DEFAULT_MAIN_CLASS
                    + ", which this package does not hold (--main requires a class)");
        }
        if (problem != null) {
            if (r.signedLength >= 0 || r.signer != null) {
                out.println(path + ": " + signature(r));
            }
            err.println("apppack verify: " + path + ": refused: " + problem);
            return FAILED;
        }
        for (String note : located.notes) {
            err.println("apppack verify: note: " + note);
        }
        for (String warning : r.warnings) {
            err.println("apppack verify: warning: " + warning);
        }
        ClassNames.Versions versions = ClassNames.versions(r.entries, runtime);
        if (versions.problem() != null) {
            err.println("apppack verify: warning: " + versions.problem());
        }
        if (versions.folderProblem() != null) {
            err.println("apppack verify: warning: " + versions.folderProblem());
        }
        out.println(path + ": ok, version " + r.version + ", " + r.entries.size() + " entries, "
                + versions.describeHighest());
        out.println(path + ": " + signature(r) + (trust != null ? " (a key " + trustName + " lists)" : ""));
        return OK;
    }

    // ------------------------------------------------------------------ helpers

    /** Who signed the package and whether the signature holds, as verify and inspect say it. */
    private static String signature(PackageReader.Result r) {
        if (r.signer == null) {
            return "not signed";
        }
        return "signed by " + r.signer + ": the signature " + (r.signatureProblem == null ? "holds"
                : "does not hold: " + r.signatureProblem);
    }

    /** The target Java release of --runtime, or the launcher's. */
    private static int runtime(Arguments a) throws UsageError {
        String value = a.options.get("--runtime");
        if (value == null) {
            return PackageFormat.DEFAULT_RUNTIME;
        }
        String problem = PackageFormat.checkRuntime(value);
        if (problem != null) {
            throw new UsageError(problem);
        }
        return Integer.parseInt(value);
    }

    private static Path singleFile(Arguments a) throws UsageError {
        if (a.operands.size() != 1) {
            throw new UsageError(a.operands.isEmpty() ? "no FILE given (see --help)" : "expected one FILE, got "
                    + a.operands.size());
        }
        return Paths.get(a.operands.get(0));
    }

    private static byte[] readFile(Path path) throws Failure {
        try {
            if (Files.isDirectory(path)) {
                throw new Failure(path + " is a directory");
            }
            // A pipe or a device would block the read, or never end it.
            if (Files.exists(path) && !Files.isRegularFile(path)) {
                throw new Failure(path + " is not a regular file");
            }
            if (Files.size(path) > Integer.MAX_VALUE - 8) {
                throw new Failure(path + " is larger than 2 GB");
            }
            return Files.readAllBytes(path);
        } catch (NoSuchFileException e) {
            throw new Failure(path + " does not exist");
        } catch (IOException e) {
            throw new Failure("cannot read " + path + ": " + describe(e));
        }
    }

    /** One line saying why: a file system failure's message is often only the file's name. */
    private static String describe(Exception e) {
        if (e instanceof FileSystemException) {
            FileSystemException f = (FileSystemException) e;
            String reason = f.getReason();
            if (reason == null) {
                reason = e instanceof AccessDeniedException ? "permission denied"
                        : e instanceof NoSuchFileException ? "no such file or directory"
                        : e.getClass().getSimpleName();
            }
            return reason;
        }
        return e.getMessage() != null ? e.getMessage() : e.getClass().getSimpleName();
    }

    private static String show(String text) {
        return text == null ? "-" : "\"" + text + "\"";
    }

    private static String hex(int value) {
        return String.format("%08x", value);
    }

    private static String crc(Boolean ok) {
        return ok == null ? "" : ok ? " (ok)" : " (MISMATCH)";
    }
}
