# Cross-compiling for 64-bit Windows with the POSIX-threads MinGW-w64
# compilers; the programs link libgcc and libstdc++ statically so that they
# run under Wine (or on Windows) without any MinGW DLL beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# Libraries built for Windows (scripts/windows-deps) are searched as further
# roots; the host's own headers and libraries never are.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${OVERLAY_MINGW_PREFIXES})
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES OVERLAY_MINGW_PREFIXES)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
