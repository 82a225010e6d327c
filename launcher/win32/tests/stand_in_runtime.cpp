// A stand-in for the Java runtime's jvm.dll, placed at jre7\bin\client\ by
// the Windows process tests. It exports JNI_CreateJavaVM under its plain
// name with the real entry's stdcall convention and writes what the
// launcher does to runtime.log beside itself, one line per event (paths in
// UTF-8).
//
// Built twice:
//   STAND_IN_CREATES=0  creation fails (-4) and leaves the VM null, as a
//                       runtime does that cannot reserve the heap;
//   STAND_IN_CREATES=1  creation succeeds and hands back a JNIEnv that
//                       records the bootstrap hand-off (the class bytes go
//                       to defined.class) and plays a VM that runs main.
//                       Its main writes one line to each standard stream,
//                       through the standard handles as a VM does and
//                       through msvcrt.dll's printf as Quenvil does. A file
//                       stand-in.mode beside it changes the play:
//                         refuse-define  DefineClass refuses the class;
//                         no-array       NewObjectArray fails (no heap);
//                         no-client      the last load cycle found no client;
//                         start-failed   the client's start method failed;
//                         main-throws    main returns with an exception.
//                       System.exit ends the process with its code, after
//                       the "exit" hook of the options, as the VM does.
#include <windows.h>
// windows.h first: shellapi.h needs its types.
#include <shellapi.h>

#include <jni.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "launcher/win32/tests/jni_stand_in.h"

#ifndef STAND_IN_CREATES
#error "define STAND_IN_CREATES as 0 or 1"
#endif

namespace {

HMODULE thisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&thisModule), &module);
    return module;
}

// Wide text as the log's UTF-8, so that any folder name reads back exactly.
std::string utf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

// A file beside this DLL, through the wide functions: the install folder's
// name may hold what the ANSI code page cannot spell.
std::wstring besideMe(const wchar_t* name) {
    wchar_t path[MAX_PATH * 2] = {0};
    GetModuleFileNameW(thisModule(), path, MAX_PATH * 2);
    std::wstring text = path;
    return text.substr(0, text.find_last_of(L'\\') + 1) + name;
}

std::string currentDirectory() {
    wchar_t directory[MAX_PATH * 2] = {0};
    GetCurrentDirectoryW(MAX_PATH * 2, directory);
    return utf8(directory);
}

// Appended and closed at once: the launcher may end its process any time.
void record(const std::string& line) {
    if (FILE* log = _wfopen(besideMe(L"runtime.log").c_str(), L"ab")) {
        std::fputs((line + "\n").c_str(), log);
        std::fclose(log);
    }
}

void recordTrap(size_t slot) {
    record("unexpected call to slot " + std::to_string(slot));
}

// The VM's exit hook as the options gave it (the option "exit").
void(JNICALL* exitHook)(jint) = nullptr;

// The process that created the VM: how it was started and where it stood.
void recordProcess(const JavaVMInitArgs* arguments) {
    for (jint i = 0; i < arguments->nOptions; ++i) {
        if (std::string(arguments->options[i].optionString) == "exit") {
            exitHook = reinterpret_cast<void(JNICALL*)(jint)>(arguments->options[i].extraInfo);
        }
    }
    int count = 0;
    if (LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count)) LocalFree(argv);
    record("create version=" + std::to_string(arguments->version) +
           " options=" + std::to_string(arguments->nOptions) +
           " ignoreUnrecognized=" + std::to_string(arguments->ignoreUnrecognized) +
           " arguments=" + std::to_string(count - 1));
    record("directory " + currentDirectory());
    for (jint i = 0; i < arguments->nOptions; ++i) {
        record(std::string("option ") + arguments->options[i].optionString);
    }
}

#if STAND_IN_CREATES

// Objects of the pretend VM are addresses of these tokens.
char mainClassToken;
char stringClassToken;
char argumentArrayToken;
char mainMethodToken;
char outcomeFieldToken;
char systemClassToken;
char exitMethodToken;
std::set<const std::string*> strings;

// The play of this run (stand-in.mode), and an exception the pretend VM
// holds pending.
std::string mode;
bool pending = false;

std::string readMode() {
    std::string text;
    if (FILE* in = _wfopen(besideMe(L"stand-in.mode").c_str(), L"rb")) {
        for (int c; (c = std::fgetc(in)) != EOF && c != '\r' && c != '\n';) text += static_cast<char>(c);
        std::fclose(in);
    }
    return text;
}

void writeHandle(DWORD which, const char* text) {
    DWORD written = 0;
    HANDLE handle = GetStdHandle(which);
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) {
        WriteFile(handle, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
    }
}

const char* describe(const void* object) {
    if (object == nullptr) return "null";
    if (object == &mainClassToken) return "Main";
    if (object == &stringClassToken) return "String";
    if (object == &argumentArrayToken) return "String[]";
    if (object == &mainMethodToken) return "main";
    if (object == &outcomeFieldToken) return "cycleOutcome";
    if (object == &systemClassToken) return "System";
    if (object == &exitMethodToken) return "exit";
    if (strings.count(static_cast<const std::string*>(object)) != 0) {
        return static_cast<const std::string*>(object)->c_str();
    }
    return "unknown";
}

jclass JNICALL defineClass(JNIEnv*, const char* name, jobject loader, const jbyte* bytes, jsize length) {
    char head[16] = {0};
    if (length >= 4) {
        std::snprintf(head, sizeof head, "%02x%02x%02x%02x", bytes[0] & 0xFF, bytes[1] & 0xFF, bytes[2] & 0xFF,
                      bytes[3] & 0xFF);
    }
    record(std::string("DefineClass ") + name + " loader=" + describe(loader) + " length=" +
           std::to_string(length) + " head=" + head);
    if (FILE* out = _wfopen(besideMe(L"defined.class").c_str(), L"wb")) {
        std::fwrite(bytes, 1, static_cast<size_t>(length), out);
        std::fclose(out);
    }
    if (mode == "refuse-define") {
        pending = true;  // ClassFormatError
        return nullptr;
    }
    return reinterpret_cast<jclass>(&mainClassToken);
}

// Records each binding and calls it once with no arrays (it refuses them):
// a binding of the wrong calling convention would unbalance the stack here.
jint JNICALL registerNatives(JNIEnv* env, jclass owner, const JNINativeMethod* methods, jint count) {
    using HashFunction = jboolean(JNICALL*)(JNIEnv*, jclass, jbyteArray, jint, jint, jbyteArray);
    for (jint i = 0; i < count; ++i) {
        record(std::string("RegisterNatives ") + describe(owner) + " " + methods[i].name + " " + methods[i].signature);
        if (std::string(methods[i].signature) == "([BII[B)Z") {
            jboolean hashed = reinterpret_cast<HashFunction>(methods[i].fnPtr)(env, owner, nullptr, 0, 0, nullptr);
            record(std::string(methods[i].name) + " of no array = " + (hashed ? "true" : "false"));
        }
    }
    return 0;
}

jclass JNICALL findClass(JNIEnv*, const char* name) {
    record(std::string("FindClass ") + name);
    if (std::string(name) == "java/lang/System") return reinterpret_cast<jclass>(&systemClassToken);
    return std::string(name) == "java/lang/String" ? reinterpret_cast<jclass>(&stringClassToken) : nullptr;
}

jobjectArray JNICALL newObjectArray(JNIEnv*, jsize length, jclass elementClass, jobject initial) {
    record("NewObjectArray " + std::to_string(length) + " of " + describe(elementClass) + " initial=" +
           describe(initial));
    if (mode == "no-array") {
        pending = true;  // OutOfMemoryError
        return nullptr;
    }
    return reinterpret_cast<jobjectArray>(&argumentArrayToken);
}

jstring JNICALL newStringUtf(JNIEnv*, const char* text) {
    record(std::string("NewStringUTF ") + text);
    const std::string* made = new std::string(text);
    strings.insert(made);
    return reinterpret_cast<jstring>(const_cast<std::string*>(made));
}

void JNICALL setObjectArrayElement(JNIEnv*, jobjectArray array, jsize index, jobject value) {
    record(std::string("SetObjectArrayElement ") + describe(array) + "[" + std::to_string(index) +
           "] = " + describe(value));
}

void JNICALL deleteLocalRef(JNIEnv*, jobject object) {
    record(std::string("DeleteLocalRef ") + describe(object));
}

jmethodID JNICALL getStaticMethodId(JNIEnv*, jclass owner, const char* name, const char* signature) {
    record(std::string("GetStaticMethodID ") + describe(owner) + " " + name + " " + signature);
    return reinterpret_cast<jmethodID>(std::string(name) == "exit" ? &exitMethodToken : &mainMethodToken);
}

jfieldID JNICALL getStaticFieldId(JNIEnv*, jclass owner, const char* name, const char* signature) {
    record(std::string("GetStaticFieldID ") + describe(owner) + " " + name + " " + signature);
    return reinterpret_cast<jfieldID>(&outcomeFieldToken);
}

// The bootstrap class's cycleOutcome: 0 no client, 1 start failed, 2 ran.
jint JNICALL getStaticIntField(JNIEnv*, jclass owner, jfieldID field) {
    record(std::string("GetStaticIntField ") + describe(owner) + " " + describe(field));
    if (mode == "no-client") return 0;
    return mode == "start-failed" ? 1 : 2;
}

// The C++ JNIEnv wrapper reaches the variadic call through its va_list form.
void JNICALL callStaticVoidMethodV(JNIEnv*, jclass owner, jmethodID method, va_list arguments) {
    if (method == reinterpret_cast<jmethodID>(&exitMethodToken)) {
        jint code = va_arg(arguments, jint);
        record(std::string("CallStaticVoidMethod ") + describe(owner) + " exit " + std::to_string(code));
        // As the VM's own exit: its exit hook, the C runtime's exit
        // processing, then the end.
        if (exitHook != nullptr) exitHook(code);
        std::exit(code);
    }
    jobject argument = va_arg(arguments, jobject);
    record(std::string("CallStaticVoidMethod ") + describe(owner) + " " + describe(method) + " " +
           describe(argument));
    writeHandle(STD_OUTPUT_HANDLE, "stand-in main: System.out\r\n");
    writeHandle(STD_ERROR_HANDLE, "stand-in main: System.err\r\n");
    std::printf("stand-in main: printf\n");
    std::fflush(stdout);
    if (mode == "main-throws") pending = true;
}

jboolean JNICALL exceptionCheck(JNIEnv*) {
    record(std::string("ExceptionCheck ") + (pending ? "true" : "false"));
    return pending ? JNI_TRUE : JNI_FALSE;
}

void JNICALL exceptionDescribe(JNIEnv*) {
    record("ExceptionDescribe");
    writeHandle(STD_ERROR_HANDLE, "Exception in thread \"main\" stand-in.Error\r\n");
    pending = false;
}

void JNICALL callStaticVoidMethod(JNIEnv* env, jclass owner, jmethodID method, ...) {
    va_list arguments;
    va_start(arguments, method);
    callStaticVoidMethodV(env, owner, method, arguments);
    va_end(arguments);
}

jint JNICALL destroyJavaVm(JavaVM*) {
    record("DestroyJavaVM");
    return JNI_OK;
}

JNINativeInterface_ nativeInterface;
JNIInvokeInterface_ invokeInterface;
JNIEnv_ environment;
JavaVM_ virtualMachine;

#endif  // STAND_IN_CREATES

}  // namespace

// Where the launcher stood when it loaded the runtime: the real jvm.dll
// finds the libraries beside it through the current directory.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) record("loaded in " + currentDirectory());
    return TRUE;
}

// Exported as "JNI_CreateJavaVM" by stand_in_runtime.def, like the real one.
extern "C" jint JNICALL JNI_CreateJavaVM(JavaVM** vm, void** env, void* arguments) {
    jni_stand_in::trapReporter() = &recordTrap;
    recordProcess(static_cast<const JavaVMInitArgs*>(arguments));
#if STAND_IN_CREATES
    jni_stand_in::fillWithTraps(nativeInterface);
    nativeInterface.DefineClass = &defineClass;
    nativeInterface.FindClass = &findClass;
    nativeInterface.RegisterNatives = &registerNatives;
    nativeInterface.NewObjectArray = &newObjectArray;
    nativeInterface.NewStringUTF = &newStringUtf;
    nativeInterface.SetObjectArrayElement = &setObjectArrayElement;
    nativeInterface.DeleteLocalRef = &deleteLocalRef;
    nativeInterface.GetStaticMethodID = &getStaticMethodId;
    nativeInterface.CallStaticVoidMethod = &callStaticVoidMethod;
    nativeInterface.CallStaticVoidMethodV = &callStaticVoidMethodV;
    nativeInterface.GetStaticFieldID = &getStaticFieldId;
    nativeInterface.GetStaticIntField = &getStaticIntField;
    nativeInterface.ExceptionCheck = &exceptionCheck;
    nativeInterface.ExceptionDescribe = &exceptionDescribe;
    mode = readMode();
    environment.functions = &nativeInterface;
    jni_stand_in::fillWithTraps(invokeInterface);
    invokeInterface.DestroyJavaVM = &destroyJavaVm;
    virtualMachine.functions = &invokeInterface;
    *vm = &virtualMachine;
    *env = &environment;
    return JNI_OK;
#else
    *vm = nullptr;
    *env = nullptr;
    return JNI_ENOMEM;
#endif
}
