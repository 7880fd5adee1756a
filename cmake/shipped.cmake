# The shipped programs (QUENDRIX_SHIPPED_PROGRAMS) must load on Windows XP SP3.
# The posix thread model that the tests need links its thread library into
# every C++ program, and that imports GetTickCount64, which XP lacks. So the
# Windows build of the tests builds the shipped programs in a build of their
# own, with the win32 thread model and object files of its own, into this
# build's folder, where the tests and scripts/package.sh take them; and the
# tests check what they ask of the system that loads them.
set(shipped_files ${QUENDRIX_SHIPPED_PROGRAMS})
list(TRANSFORM shipped_files PREPEND ${CMAKE_BINARY_DIR}/)
list(TRANSFORM shipped_files APPEND .exe)

if(QUENDRIX_SHIPPED_BUILD)
  # A program that calls a function XP lacks, for the check to refuse; its
  # header asks for Windows Vista as well.
  add_executable(quendrix_xp_probe tests/xp/newer_import.cpp)
  target_link_options(quendrix_xp_probe PRIVATE
    -Wl,--major-os-version,6,--minor-os-version,0,--major-subsystem-version,6,--minor-subsystem-version,0)
  # Link maps, which tell the i686 check where each program's code ends.
  foreach(program IN LISTS QUENDRIX_SHIPPED_PROGRAMS)
    target_link_options(${program} PRIVATE -Wl,-Map=${CMAKE_BINARY_DIR}/${program}.map)
  endforeach()
  return()
endif()

include(ExternalProject)
ExternalProject_Add(shipped_programs
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${CMAKE_BINARY_DIR}/shipped
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE}
    -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
    -DQUENDRIX_SHIPPED_BUILD=ON
    -DCMAKE_RUNTIME_OUTPUT_DIRECTORY=${CMAKE_BINARY_DIR}
  BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target ${QUENDRIX_SHIPPED_PROGRAMS}
                quendrix_xp_probe
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${shipped_files} ${CMAKE_BINARY_DIR}/quendrix_xp_probe.exe
  INSTALL_COMMAND "")

# What this build would make of them with the posix model is not built.
foreach(program IN LISTS QUENDRIX_SHIPPED_PROGRAMS)
  set_target_properties(${program} PROPERTIES
    EXCLUDE_FROM_ALL ON RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/posix-model)
endforeach()

# For scripts/package.sh: the files to ship, one a line.
list(TRANSFORM QUENDRIX_SHIPPED_PROGRAMS APPEND .exe OUTPUT_VARIABLE shipped_names)
list(JOIN shipped_names "\n" shipped_names)
file(WRITE ${CMAKE_BINARY_DIR}/shipped-programs.txt "${shipped_names}\n")

# Of the shipped, 32-bit build. Reading the files needs no Wine, so these run
# on every machine.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(xp_check ${PROJECT_SOURCE_DIR}/scripts/xp-check.sh ${CMAKE_C_COMPILER} ${CMAKE_OBJDUMP})
  add_test(NAME xp_shipped_programs COMMAND ${xp_check} ${shipped_files})
  add_test(NAME xp_check_refuses_newer
    COMMAND sh -c "\"$@\"; echo \"exit status $?\"" sh ${xp_check} ${CMAKE_BINARY_DIR}/quendrix_xp_probe.exe)
  set_tests_properties(xp_check_refuses_newer PROPERTIES PASS_REGULAR_EXPRESSION
    "imports GetTickCount64 from KERNEL32.dll, which Windows XP lacks.*OS version 6.0.*subsystem version 6.0.*exit status 1")
  # Nor more than an i686 processor.
  add_test(NAME i686_shipped_programs
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/i686-check.sh ${CMAKE_OBJDUMP}
            ${CMAKE_BINARY_DIR}/shipped/CMakeFiles/quendrix_demo_core.dir/demo/signature_scan.cpp.obj
            ${CMAKE_BINARY_DIR}/shipped ${shipped_files})
  set_tests_properties(xp_shipped_programs xp_check_refuses_newer i686_shipped_programs
    PROPERTIES LABELS xp)
endif()
