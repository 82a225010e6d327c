// The VM host and the hand-off with the real Java runtime, in this process:
// runJava creates the VM from a runtime laid out beside a launcher path of
// the test, handOffToBootstrap defines the embedded bootstrap class and runs
// its main; then
// the hand-off's pieces are checked against the live VM. A process can
// create one VM only, so everything runs in one test.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>

#include "launcher/action_binding.h"
#include "launcher/bootstrap_handoff.h"
#include "launcher/bootstrap_handoff_internal.h"
#include "launcher/install.h"
#include "launcher/layout.h"
#include "launcher/messages.h"
#include "launcher/startup_internal.h"
#include "launcher/tests/temp_dir.h"
#include "launcher/vm_folders.h"
#include "launcher/vm_host.h"

namespace {

// The real OS, except for the launcher's own path and its notices.
class TestSystem : public platform::System {
public:
    std::string modulePath;
    std::vector<std::u16string> notices;

    bool ownModulePath(char* buffer, size_t size) override {
        if (modulePath.size() >= size) return false;
        std::memcpy(buffer, modulePath.c_str(), modulePath.size() + 1);
        return true;
    }
    void messageBox(const char16_t* text, const char16_t*) override { notices.emplace_back(text); }
};

std::string javaString(JNIEnv* env, jobject value) {
    const char* chars = env->GetStringUTFChars(static_cast<jstring>(value), nullptr);
    std::string text(chars);
    env->ReleaseStringUTFChars(static_cast<jstring>(value), chars);
    return text;
}

TEST(JvmHandoff, RealVmFromCreationToMain) {
    launcher_test::TempDir dir;
    std::filesystem::create_directories(dir / "jre7/bin");
    std::filesystem::create_directories(dir / "jre7/lib/server");
    std::filesystem::create_symlink(JDK_HOME "/lib/server/libjvm.so", dir / launcher::RUNTIME_LIBRARY_PATH);
    launcher_test::writeBytes(dir / "jre7/bin/jvm.set", {0x00, 0x80});  // 128 MB
    TestSystem system;
    system.modulePath = dir / "Tavelin";
    char original[4096];
    ASSERT_NE(getcwd(original, sizeof original), nullptr);

    // No packages: the bootstrap class reports that and its main returns
    // without a client ever loaded.
    launcher::VmHost host{};
    launcher::Install install;
    ASSERT_TRUE(launcher::findInstall(system, install));
    // The VM's steps as launcherMain takes them.
    ASSERT_FALSE(launcher::findRuntime(install));
    launcher::loadRuntime(system, install, &host);
    system.setCurrentDirectory(install.directory);
    ASSERT_FALSE(launcher::findVmEntry(system, &host));
    std::optional<launcher::Outcome> failure =
        launcher::runJava(system, install, launcher::prepareVmFolders(system, install), &host);
    ASSERT_FALSE(failure) << static_cast<int>(*failure);
    EXPECT_EQ(launcher::handOffToBootstrap(host.env, &host.mainClass, launcher::LAUNCH_STRING_COUNT,
                                           launcher::LAUNCH_STRINGS),
              launcher::Outcome::NO_CLIENT);
    ASSERT_NE(host.vm, nullptr);
    ASSERT_NE(host.env, nullptr);
    ASSERT_NE(host.mainClass, nullptr);
    EXPECT_NE(host.library, nullptr);
    EXPECT_TRUE(system.notices.empty());
    char current[4096];
    ASSERT_NE(getcwd(current, sizeof current), nullptr);
    EXPECT_EQ(std::filesystem::canonical(current), std::filesystem::canonical(dir.path()));
    JNIEnv* env = host.env;
    env->ExceptionClear();

    // The VM got the heap setting.
    jclass runtimeClass = env->FindClass("java/lang/Runtime");
    jobject runtime = env->CallStaticObjectMethod(
        runtimeClass, env->GetStaticMethodID(runtimeClass, "getRuntime", "()Ljava/lang/Runtime;"));
    jlong maxMemory = env->CallLongMethod(runtime, env->GetMethodID(runtimeClass, "maxMemory", "()J"));
    EXPECT_LE(maxMemory, jlong{128} * 1024 * 1024);
    EXPECT_GT(maxMemory, jlong{64} * 1024 * 1024);

    // The class is defined once; a second definition is refused.
    EXPECT_EQ(launcher::defineBootstrapClass(env), nullptr);
    EXPECT_TRUE(env->ExceptionCheck());
    env->ExceptionClear();
    jclass main = env->FindClass(launcher::BOOTSTRAP_CLASS_NAME);
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(env->IsSameObject(main, host.mainClass));

    // The launch strings as a String[].
    jobjectArray strings = launcher::makeStringArray(env, launcher::LAUNCH_STRING_COUNT, launcher::LAUNCH_STRINGS);
    ASSERT_NE(strings, nullptr);
    ASSERT_EQ(env->GetArrayLength(strings), launcher::LAUNCH_STRING_COUNT);
    for (int32_t i = 0; i < launcher::LAUNCH_STRING_COUNT; ++i) {
        EXPECT_EQ(javaString(env, env->GetObjectArrayElement(strings, i)), launcher::LAUNCH_STRINGS[i]);
    }

    // A class without main(String[]).
    EXPECT_EQ(launcher::callMain(env, env->FindClass("java/lang/Object"), 0, nullptr), launcher::Outcome::NO_MAIN);
    env->ExceptionClear();

    // Launch strings that cannot be made into a String[]: main is not
    // called. The live thread's table is swapped for a copy that refuses
    // the array (as an exhausted heap does) and counts the calls of static
    // void methods; HotSpot finds its thread from the env pointer, so the
    // env itself stays the live one.
    static int voidCalls = 0;
    JNINativeInterface_ refusing = *env->functions;
    refusing.NewObjectArray = [](JNIEnv* e, jsize, jclass, jobject) -> jobjectArray {
        e->ThrowNew(e->FindClass("java/lang/OutOfMemoryError"), "refused by the test");
        return nullptr;
    };
    refusing.CallStaticVoidMethodV = [](JNIEnv*, jclass, jmethodID, va_list) { ++voidCalls; };
    const JNINativeInterface_* live = env->functions;
    env->functions = &refusing;
    system.notices.clear();
    launcher::Outcome refused =
        launcher::callMain(env, host.mainClass, launcher::LAUNCH_STRING_COUNT, launcher::LAUNCH_STRINGS);
    env->functions = live;
    EXPECT_EQ(refused, launcher::Outcome::NO_MAIN);
    EXPECT_EQ(voidCalls, 0);
    EXPECT_TRUE(system.notices.empty()) << "the notice is the end's (finishLaunch)";
    EXPECT_FALSE(env->ExceptionCheck()) << "the refusal was described and cleared";

    // The native binding, called as the VM would.
    launcher::onAction(env, nullptr, 7, nullptr);
    jstring text = env->NewStringUTF("\xE5\x8A\xA0 action");
    launcher::onAction(env, nullptr, -1, text);
    EXPECT_FALSE(env->ExceptionCheck());
    EXPECT_STREQ(launcher::ACTION_BINDING[0].name, "onAction");
    EXPECT_STREQ(launcher::ACTION_BINDING[0].signature, "(ILjava/lang/String;)V");

    ASSERT_EQ(chdir(original), 0);
}

}  // namespace
