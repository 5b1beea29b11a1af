# Import libraries of the DLL, made from its export list: lib<name>.dll.a for MinGW and <name>.lib,
# a short import library for the MSVC linker. On 32-bit, the one ld writes beside a --kill-at DLL
# names the undecorated symbols (_xSet), while a stdcall caller asks for _xSet@4; dlltool -k keeps
# the decorated symbol and imports the plain name. x64 names are never decorated.
find_program(KENSAKU_LLVM_DLLTOOL NAMES llvm-dlltool llvm-dlltool-16 llvm-dlltool-15 llvm-dlltool-14
             REQUIRED)
set(KENSAKU_MSVC_IMPORT_LIBRARY ${PROJECT_BINARY_DIR}/${KENSAKU_DLL_NAME}.lib)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(kill_at -k)
  set(machine i386)
else()
  set(kill_at)
  set(machine i386:x86-64)
endif()
add_custom_command(TARGET kensaku POST_BUILD
  COMMAND ${CMAKE_DLLTOOL} ${kill_at} -d ${KENSAKU_DEF_FILE} -D ${KENSAKU_DLL_NAME}.dll
          -l $<TARGET_LINKER_FILE:kensaku>
  COMMAND ${KENSAKU_LLVM_DLLTOOL} -m ${machine} ${kill_at} -d ${KENSAKU_DEF_FILE}
          -D ${KENSAKU_DLL_NAME}.dll -l ${KENSAKU_MSVC_IMPORT_LIBRARY}
  BYPRODUCTS ${KENSAKU_MSVC_IMPORT_LIBRARY}
  VERBATIM)
