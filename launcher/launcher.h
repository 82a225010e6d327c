// Tavelin: the launcher that hosts the Java client in its own process.
//
// Start-up (launcherMain, startup.cpp): an optional delay, then the stale
// processes ended (stale_instances.h); the Java VM created from the
// runtime beside the launcher with a heap sized by jre7/bin/jvm.set
// (vm_host.h); the bootstrap class defined from the launcher's own data and
// its main called with the six launch strings (bootstrap_handoff.h). A VM
// that cannot be created halves the heap setting and restarts the launcher.
// Every operation takes the OS through a platform::System.
//
// This is what the entry points use; each unit's own header holds the
// rest.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace launcher {

// Exit codes of the launcher. Every code but 0 comes with a notice, or
// (EXIT_MAIN_THREW) with the exception on standard error.
constexpr int EXIT_CLIENT_ENDED = 0;     // the client ran and ended, or a fresh copy took over
constexpr int EXIT_NO_VM = 1;            // no runtime, no VM, and no copy to try again
constexpr int EXIT_NO_BOOTSTRAP = 2;     // the bootstrap class or its main could not be had
constexpr int EXIT_NO_CLIENT = 3;        // main returned without ever loading a client
constexpr int EXIT_MAIN_THREW = 4;       // main left a Java exception

// The whole start-up sequence. Returns the process's exit code; the caller
// ends the process with it at once.
int launcherMain(platform::System& system, const std::vector<std::u16string>& arguments);

}  // namespace launcher
