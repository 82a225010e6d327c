// The start-up sequence's own pieces (launcherMain, launcher.h), declared
// for their tests: the delay argument, the launch strings and the
// environment the VM must not see.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tavelin/launch_strings.h"

namespace launcher {

constexpr int32_t MAX_DELAY_MS = 10000;

// The six launch strings handed to the bootstrap class, in order (generated
// from cmake/TavelinSharedConstants.cmake with the position of each,
// tavelin::LAUNCH_PACKAGE_LOCATION ... tavelin::LAUNCH_STOP_METHOD).
constexpr int32_t LAUNCH_STRING_COUNT = tavelin::LAUNCH_STRING_COUNT;
constexpr const char* const* LAUNCH_STRINGS = tavelin::LAUNCH_STRINGS;

// The environment variables a Java VM reads its options from at creation.
// They never reach the launcher's VM: whoever could set them (any user,
// for an elevated launcher) could replace the client or load an agent.
extern const char* const VM_OPTION_VARIABLES[2];

// A decimal number read the way _wtol reads it: leading white space, an
// optional sign, digits up to the first other character; no digits give 0;
// values beyond the 32-bit range saturate.
int32_t parseDelay(const char16_t* text);

// Waits min(first argument, 10000) ms when the first argument is a positive
// number. Returns the wait (0 for none).
int32_t startupDelay(platform::System& system, const std::vector<std::u16string>& arguments);

}  // namespace launcher
