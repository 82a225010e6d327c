// Stand-in JNI function tables for the Windows tests, where no real VM can
// run. Every slot of a table starts as a trap that reports its slot number
// and ends the process, so a call the test did not expect can neither go
// unnoticed nor run on with a stack that a wrong stdcall signature broke.
// The test then fills in the few functions it expects. Used by the
// launcher's stand-in jvm.dll and by Quenvil's DLL test.
#pragma once

#include <windows.h>

#include <jni.h>

#include <cstddef>
#include <cstdio>
#include <utility>

namespace jni_stand_in {

// Exit code of a process that called a function no test filled in.
constexpr UINT UNEXPECTED_CALL_EXIT_CODE = 86;

// Told the slot number before the process ends (e.g. to write it to a log).
using TrapReporter = void (*)(size_t slot);
inline TrapReporter& trapReporter() {
    static TrapReporter reporter = nullptr;
    return reporter;
}

template <size_t Slot>
void JNICALL trap() {
    std::printf("unexpected JNI call: function table slot %u\n", static_cast<unsigned>(Slot));
    std::fflush(stdout);
    if (trapReporter() != nullptr) trapReporter()(Slot);
    ExitProcess(UNEXPECTED_CALL_EXIT_CODE);
}

template <typename Table, size_t... Slots>
void fillWithTraps(Table& table, std::index_sequence<Slots...>) {
    void** slots = reinterpret_cast<void**>(&table);
    ((slots[Slots] = reinterpret_cast<void*>(&trap<Slots>)), ...);
}

// Points every slot of a JNINativeInterface_ or JNIInvokeInterface_ at its trap.
template <typename Table>
void fillWithTraps(Table& table) {
    static_assert(sizeof(Table) % sizeof(void*) == 0, "a table of pointers");
    fillWithTraps(table, std::make_index_sequence<sizeof(Table) / sizeof(void*)>{});
}

}  // namespace jni_stand_in
