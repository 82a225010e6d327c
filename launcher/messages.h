// Every text the launcher shows or writes for people, in one place. The
// notices are the system's own words (Chinese, as the workstations read
// them) and stay exactly so; the English gloss beside each says what it
// means. All notices carry NOTICE_CAPTION.
#pragma once

namespace launcher {

// "Notice": the caption of every notice.
inline constexpr char16_t NOTICE_CAPTION[] = u"提示";

// "Loading the VM failed, jvm.dll missing": the launcher cannot tell its
// own folder, or the runtime library there is missing or a stub.
inline constexpr char16_t NOTICE_RUNTIME_MISSING[] = u"加载虚拟机失败,jvm.dll丢失";

// "Loading the VM failed": the runtime library is there but does not load.
inline constexpr char16_t NOTICE_RUNTIME_NOT_LOADED[] = u"加载虚拟机失败";

// "Finding the VM's entry failed": the library has no JNI_CreateJavaVM.
inline constexpr char16_t NOTICE_NO_VM_ENTRY[] = u"查找虚拟机入口失败";

// "Starting the VM failed", followed by the decimal result of
// JNI_CreateJavaVM (outcomeNotice): no VM, and no copy with half the
// heap can take over.
inline constexpr char16_t NOTICE_VM_NOT_STARTED[] = u"启动虚拟机失败";

// "Loading the main class failed": the VM refused the bootstrap class.
inline constexpr char16_t NOTICE_NO_BOOTSTRAP_CLASS[] = u"加载主类失败";

// "Loading the main function failed": the bootstrap class has no
// main(String[]), or its launch strings cannot be made into one.
inline constexpr char16_t NOTICE_NO_MAIN[] = u"加载主函数失败";

// "The start class cannot be found": main returned and its last load cycle
// found no client class. Followed by a line with the output log's path
// when it was written.
inline constexpr char16_t NOTICE_NO_CLIENT[] = u"找不到启动类";

// "Starting the program failed": the client class loaded, but its start
// method is missing or could not be called, or it (or the class's static
// initialiser) threw. The cause is in the bootstrap class's log; followed,
// like NOTICE_NO_CLIENT, by a line with the output log's path when it was
// written.
inline constexpr char16_t NOTICE_START_FAILED[] = u"启动程序失败";

// "Ending the process failed", a line on standard output with the
// process's executable path (printf format).
inline constexpr char KILL_FAILED_LINE[] = "kill fail process=%s\n";

// A line where the output log cannot take the output (not a regular file,
// a link, or it cannot be moved aside): the output then goes nowhere
// (printf format, the log's path).
inline constexpr char OUTPUT_LOG_UNUSABLE_LINE[] = "output log %s unusable (not a regular file, a link, or it cannot "
                                                   "be moved to .1): the output is dropped\n";

// A line on standard output when the launcher's folder, the package folder
// or the heap setting can be changed by others than administrators (printf
// format, those paths separated by ", "). The launcher starts all the same.
inline constexpr char INSTALL_WRITABLE_LINE[] =
    "%s can be written by non-administrators: whoever can write there runs code with the launcher's rights; "
    "install it where only administrators can write\n";

// A line on standard output for each of the VM option variables that was
// set and has been removed (printf format, the variable's name), so that
// whoever set it sees why it had no effect.
inline constexpr char OPTION_VARIABLE_REMOVED_LINE[] =
    "%s removed from the environment: the VM takes its options from the launcher only\n";

}  // namespace launcher
