// A Java runtime library whose VM can never be created. Each attempt
// appends one line to the file named by TAVELIN_STUB_LOG: the number of
// command-line arguments of the calling process (program name included),
// then the VM options, separated by blanks. The 20th attempt ends its
// process (exit code 99), so a restart chain that would never end cannot
// hold up the tests.
#include <jni.h>

#include <cstdio>
#include <cstdlib>

extern "C" JNIEXPORT jint JNICALL JNI_CreateJavaVM(JavaVM** vm, void** env, void* arguments) {
    *vm = nullptr;
    *env = nullptr;
    if (const char* logPath = std::getenv("TAVELIN_STUB_LOG")) {
        int argc = 0;
        if (FILE* cmdline = std::fopen("/proc/self/cmdline", "rb")) {
            for (int c; (c = std::fgetc(cmdline)) != EOF;) {
                if (c == '\0') ++argc;
            }
            std::fclose(cmdline);
        }
        int earlier = 0;
        if (FILE* log = std::fopen(logPath, "r")) {
            for (int c; (c = std::fgetc(log)) != EOF;) {
                if (c == '\n') ++earlier;
            }
            std::fclose(log);
        }
        if (FILE* log = std::fopen(logPath, "a")) {
            std::fprintf(log, "%d", argc);
            auto* init = static_cast<JavaVMInitArgs*>(arguments);
            for (jint i = 0; i < init->nOptions; ++i) std::fprintf(log, " %s", init->options[i].optionString);
            std::fprintf(log, "\n");
            std::fclose(log);
        }
        if (earlier + 1 >= 20) std::_Exit(99);
    }
    return JNI_ERR;
}
