# Install rules, the CMake package, the pkg-config file, and the packages CPack makes from them:
# a .deb on Linux, a .zip for Windows.
include(CMakePackageConfigHelpers)

set(KENSAKU_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/kensaku)

install(TARGETS kensaku EXPORT kensakuTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/kensaku.h ${PROJECT_SOURCE_DIR}/include/kensaku_search.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS kensaku_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

if(WIN32)
  install(FILES ${KENSAKU_DEF_FILE} ${KENSAKU_MSVC_IMPORT_LIBRARY}
          DESTINATION ${CMAKE_INSTALL_LIBDIR})
  # README.txt of the .zip: what differs between the widths is set here.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(KENSAKU_WINDOWS_BITS 64)
    set(KENSAKU_MINGW_TRIPLET x86_64-w64-mingw32)
    set(KENSAKU_README_DECLARE "")
    set(KENSAKU_README_FILES [=[
  bin\kensaku64.dll        the library: 64-bit (PE32+, x86-64), imports only system DLLs
  bin\kensaku.exe          the command-line tool: kensaku [options] PATTERN FILE...
  include\kensaku.h        the C interface of the 43 exports, one comment per export
  include\kensaku_search.h the reentrant search: queries for any number of threads
  lib\kensaku64.def        the export table: names and fixed ordinals of the 43, then the
                           reentrant interface by name
  lib\kensaku64.lib        import library for the MSVC linker
  lib\libkensaku64.dll.a   import library for MinGW (-lkensaku64)
  lib\cmake\kensaku\       find_package(kensaku CONFIG) for MinGW builds
  lib\pkgconfig\           kensaku.pc for MinGW builds
]=])
    set(KENSAKU_README_CONVENTION [=[
The DLL is 64-bit: only a 64-bit process can load it. x64 has one calling convention, so the
exports are plain C functions (the __stdcall of kensaku.h means nothing there), exported under
their names and by the ordinals given in kensaku64.def. Integers are 32-bit; arguments
documented as 16-bit are read from the low half of their 32-bit value. Window handles and
message parameters are 64-bit (pointer-sized). kensaku64.dll also exports the reentrant search
of kensaku_search.h (the kensaku_ functions).
]=])
  else()
    set(KENSAKU_WINDOWS_BITS 32)
    set(KENSAKU_MINGW_TRIPLET i686-w64-mingw32)
    set(KENSAKU_README_DECLARE " as stdcall")
    set(KENSAKU_README_FILES [=[
  bin\kensaku.dll        the library: 32-bit (PE32, i386), imports only system DLLs
  bin\kensaku.exe        the command-line tool: kensaku [options] PATTERN FILE...
  include\kensaku.h      the C interface, one comment per export
  lib\kensaku.def        the export table: names and fixed ordinals
  lib\kensaku.lib        import library for the MSVC linker
  lib\libkensaku.dll.a   import library for MinGW (-lkensaku)
  lib\cmake\kensaku\     find_package(kensaku CONFIG) for MinGW builds
  lib\pkgconfig\         kensaku.pc for MinGW builds
]=])
    set(KENSAKU_README_CONVENTION [=[
Every export is __stdcall (the callee removes its arguments) with 4-byte argument slots, and is
exported under its plain name (xSet, not _xSet@4) and by the ordinal given in kensaku.def.
Integers are 32-bit; arguments documented as 16-bit are read from the low half of their slot.
The DLL is 32-bit: only a 32-bit process (a 32-bit script host or interpreter) can load it.
]=])
  endif()
  configure_file(${CMAKE_CURRENT_LIST_DIR}/README-windows.txt.in README.txt @ONLY
                 NEWLINE_STYLE CRLF)
  install(FILES ${PROJECT_BINARY_DIR}/README.txt DESTINATION .)
else()
  # The tool's man page comes with the tool: installed once its build writes kensaku.1.
  install(FILES ${PROJECT_BINARY_DIR}/kensaku.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 OPTIONAL)
endif()

# find_package(kensaku CONFIG) gives kensaku::kensaku.
install(EXPORT kensakuTargets NAMESPACE kensaku:: DESTINATION ${KENSAKU_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/kensakuConfig.cmake.in
  kensakuConfig.cmake INSTALL_DESTINATION ${KENSAKU_CMAKE_DIR})
write_basic_package_version_file(kensakuConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/kensakuConfig.cmake
              ${PROJECT_BINARY_DIR}/kensakuConfigVersion.cmake
        DESTINATION ${KENSAKU_CMAKE_DIR})

# kensaku.pc. On Linux pkg-config wants absolute paths, and the prefix is known only when
# installing (cmake --install --prefix, cpack), so the file is finished then: the prefix is left
# in at configure time. The Windows .zip is unpacked anywhere, so there the prefix is found from
# the file's own place.
foreach(dir LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
    set(KENSAKU_PC_${dir} "${CMAKE_INSTALL_${dir}}")
  else()
    set(KENSAKU_PC_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
  endif()
endforeach()
if(WIN32 AND NOT IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  file(RELATIVE_PATH up /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
  string(REGEX REPLACE "/$" "" up "${up}")
  set(KENSAKU_PC_PREFIX "\${pcfiledir}/${up}")
  configure_file(${CMAKE_CURRENT_LIST_DIR}/kensaku.pc.in kensaku.pc @ONLY)
else()
  set(KENSAKU_PC_PREFIX "@KENSAKU_PC_PREFIX@")
  configure_file(${CMAKE_CURRENT_LIST_DIR}/kensaku.pc.in kensaku.pc.in @ONLY)
  install(CODE "
    set(KENSAKU_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
    configure_file(\"${PROJECT_BINARY_DIR}/kensaku.pc.in\" \"${PROJECT_BINARY_DIR}/kensaku.pc\"
                   @ONLY)")
endif()
install(FILES ${PROJECT_BINARY_DIR}/kensaku.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

set(KENSAKU_MAINTAINER "kensaku developers <kensaku@example.org>"
    CACHE STRING "Maintainer named in the packages")

set(CPACK_PACKAGE_NAME kensaku)
set(CPACK_PACKAGE_VENDOR kensaku)
set(CPACK_PACKAGE_CONTACT "${KENSAKU_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Japanese-aware text search for Shift_JIS text")
set(CPACK_PACKAGE_DESCRIPTION
    "kensaku searches Shift_JIS (code page 932) text line by line, with a small pattern language, \
conjunctive patterns and literal text, and folds kana, case, width and digits. This package holds \
the kensaku command-line tool, the shared library libkensaku.so.1 and what is needed to build \
against it: kensaku.h, kensaku_search.h, a CMake package and a pkg-config file.")
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME kensaku-${PROJECT_VERSION}-win${KENSAKU_WINDOWS_BITS})
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
  set(CPACK_DEBIAN_PACKAGE_SECTION text)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
endif()
include(CPack)
