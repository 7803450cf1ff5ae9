# Cross build of the same sources for 64-bit Windows. Used to run the Wine tests on machines whose kernel
# cannot execute 32-bit code (no IA-32 emulation), where 32-bit Wine cannot start at all.
set(VANTREL_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
