// A launcher installed in a temporary directory: Tavelin, jre7/ with a
// runtime library of the test's choice, jre7/bin/ and cjars/.
#pragma once

#include <filesystem>
#include <string>

#include "launcher/tests/temp_dir.h"
#include "launcher/layout.h"

namespace launcher_test {

class InstallLayout {
public:
    explicit InstallLayout(const std::string& subdirectory = "app", const std::string& launcherBuild = TAVELIN_PATH)
        : root_(dir_ / subdirectory) {
        std::filesystem::create_directories(root_ + "/" + launcher::RUNTIME_FOLDER + "/" + launcher::RUNTIME_BIN_FOLDER);
        std::filesystem::create_directories(root_ + "/" + launcher::PACKAGE_FOLDER);
        launcher_ = root_ + "/Tavelin";
        std::filesystem::copy_file(launcherBuild, launcher_);
    }

    const std::string& root() const { return root_; }
    const std::string& launcher() const { return launcher_; }
    const TempDir& temp() const { return dir_; }
    std::string runtimeLibrary() const { return root_ + "/" + launcher::RUNTIME_LIBRARY_PATH; }
    std::string settingFile() const {
        return root_ + "/" + launcher::RUNTIME_FOLDER + "/" + launcher::RUNTIME_BIN_FOLDER + "/" +
               launcher::HEAP_SETTING_NAME;
    }

    // The runtime library: a link to an existing library (the real VM's is
    // never copied or written), or a copy of a test library.
    void linkRuntime(const std::string& library) {
        std::filesystem::create_directories(std::filesystem::path(runtimeLibrary()).parent_path());
        std::filesystem::create_symlink(library, runtimeLibrary());
    }
    void copyRuntime(const std::string& library) {
        std::filesystem::create_directories(std::filesystem::path(runtimeLibrary()).parent_path());
        std::filesystem::copy_file(library, runtimeLibrary());
    }
    void addPackage(const std::string& package, const std::string& name) {
        std::filesystem::copy_file(package, root_ + "/" + launcher::PACKAGE_FOLDER + "/" + name);
    }

private:
    TempDir dir_;
    std::string root_;
    std::string launcher_;
};

}  // namespace launcher_test
