// Tavelin: the launcher that hosts the Java client in its own process.
//
// Start-up (launcherMain, startup.cpp), one step after the other: the
// install found once (install.h), the output log (output_log.h), the
// environment, an optional delay and then the stale processes ended
// (stale_instances.h); the runtime beside the launcher loaded, the
// launcher's directory made the working directory, the folders the VM is
// pinned to prepared (vm_folders.h), and the Java VM run with a heap sized
// by jre7/bin/jvm.set (vm_host.h), or, when it cannot be created, the heap
// setting halved and a fresh copy started; the bootstrap class defined from
// the launcher's own data and its main called with the six launch strings
// (bootstrap_handoff.h); the end through the outcome table (outcome.h), the
// one place that maps each outcome to its notice, exit code and ending.
// Every operation takes the OS through a platform::System.
//
// This is what the entry points use; each unit's own header holds the
// rest.
#pragma once

#include <string>
#include <vector>

#include "launcher/outcome.h"
#include "platform/platform.h"

namespace launcher {

// The whole start-up sequence. Where the outcome's row ends through the VM
// (OUTCOMES, Ending::THROUGH_VM), it ends the process itself, through the
// VM's System.exit with the outcome's exit code, so that the client's
// shutdown hooks run (other Java threads are not waited for). Otherwise it
// returns the process's exit code; the caller ends the process with it at
// once.
int launcherMain(platform::System& system, const std::vector<std::u16string>& arguments);

}  // namespace launcher
