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

// Exit codes of the launcher. Its own failures lie from 100 up, away from
// the small numbers a client passes to System.exit, which reach the process
// unchanged. Every code but 0 comes with a notice, or (EXIT_MAIN_THREW)
// with the exception on standard error.
constexpr int EXIT_CLIENT_ENDED = 0;     // the client ran and ended, or a fresh copy took over
constexpr int EXIT_NO_VM = 101;          // no runtime, no VM, and no copy to try again
constexpr int EXIT_NO_BOOTSTRAP = 102;   // the bootstrap class or its main could not be had
constexpr int EXIT_NO_CLIENT = 103;      // the last load cycle found no client class
constexpr int EXIT_MAIN_THREW = 104;     // main left a Java exception
constexpr int EXIT_START_FAILED = 105;   // the client class loaded; its start method was missing or threw

// The whole start-up sequence. Once a VM runs, it ends the process itself,
// through the VM's System.exit with the exit code, so that the client's
// shutdown hooks run (other Java threads are not waited for). Otherwise it
// returns the process's exit code; the caller ends the process with it at
// once.
int launcherMain(platform::System& system, const std::vector<std::u16string>& arguments);

}  // namespace launcher
