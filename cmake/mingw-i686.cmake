# Cross build for 32-bit Windows (the shipped Vantrel.exe) with Debian's MinGW-w64, posix thread model.
set(VANTREL_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
