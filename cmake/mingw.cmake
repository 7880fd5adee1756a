# What both MinGW-w64 cross builds share; the toolchain file that includes it
# sets MINGW_TRIPLE. The posix thread model gives std::mutex, which GoogleTest
# needs, but its thread library imports functions that Windows XP lacks: the
# shipped programs are built apart with the win32 model (cmake/shipped.cmake).
set(CMAKE_SYSTEM_NAME Windows)

if(QUENDRIX_SHIPPED_BUILD)
  set(MINGW_THREAD_MODEL win32)
else()
  set(MINGW_THREAD_MODEL posix)
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUENDRIX_SHIPPED_BUILD)
set(CMAKE_C_COMPILER ${MINGW_TRIPLE}-gcc-${MINGW_THREAD_MODEL})
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++-${MINGW_THREAD_MODEL})
set(CMAKE_RC_COMPILER ${MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Only the system's own DLLs at run time, and no symbols in the shipped files.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -s")
