# Cross build for 64-bit Windows with Debian's mingw-w64. Not a deliverable:
# it exists so the Windows tests can run under wine64 on a machine whose
# kernel cannot execute 32-bit programs (no 32-bit Wine loader).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-cross.cmake)
