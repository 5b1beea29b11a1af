# Import libraries of kensaku.dll, made from the .def. The one ld writes beside a --kill-at DLL
# names the undecorated symbols (_xSet), while a stdcall caller asks for _xSet@4; dlltool -k keeps
# the decorated symbol and imports the plain name. kensaku.lib is a short import library for the
# MSVC linker.
find_program(KENSAKU_LLVM_DLLTOOL NAMES llvm-dlltool llvm-dlltool-16 llvm-dlltool-15 llvm-dlltool-14
             REQUIRED)
set(KENSAKU_MSVC_IMPORT_LIBRARY ${PROJECT_BINARY_DIR}/kensaku.lib)
set(kensaku_def ${PROJECT_SOURCE_DIR}/src/capi/kensaku.def)
add_custom_command(TARGET kensaku POST_BUILD
  COMMAND ${CMAKE_DLLTOOL} -k -d ${kensaku_def} -D kensaku.dll -l $<TARGET_LINKER_FILE:kensaku>
  COMMAND ${KENSAKU_LLVM_DLLTOOL} -m i386 -k -d ${kensaku_def} -D kensaku.dll
          -l ${KENSAKU_MSVC_IMPORT_LIBRARY}
  BYPRODUCTS ${KENSAKU_MSVC_IMPORT_LIBRARY}
  VERBATIM)
