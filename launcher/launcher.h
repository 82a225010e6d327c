// Tavelin: the launcher that hosts the Java client in its own process.
//
// Start-up (launcherMain, startup.cpp), one step after the other: the
// install found once (install.h), the output log (output_log.h), the
// environment, an optional delay and then the stale processes ended
// (stale_instances.h); the Java VM created from the runtime beside the
// launcher with a heap sized by jre7/bin/jvm.set (vm_host.h), or, when it
// cannot be, the heap setting halved and a fresh copy started; the
// bootstrap class defined from the launcher's own data and its main called
// with the six launch strings (bootstrap_handoff.h); the end through the
// outcome table (outcome.h), the one place that maps each outcome to its
// notice and exit code. Every operation takes the OS through a
// platform::System.
//
// This is what the entry points use; each unit's own header holds the
// rest.
#pragma once

#include <string>
#include <vector>

#include "launcher/outcome.h"
#include "platform/platform.h"

namespace launcher {

// The whole start-up sequence. Once a VM runs, it ends the process itself,
// through the VM's System.exit with the outcome's exit code (OUTCOMES), so
// that the client's shutdown hooks run (other Java threads are not waited
// for). Otherwise it returns the process's exit code; the caller ends the
// process with it at once.
int launcherMain(platform::System& system, const std::vector<std::u16string>& arguments);

}  // namespace launcher
