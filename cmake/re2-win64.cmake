# RE2 for kensaku64.dll: Debian's re2 source package, made ready by cmake/fetch-re2.sh
# (install-deps.sh all), cross-built here as a static library with this build's toolchain and
# linked into the DLL, so that it needs no DLL beside it. Without those sources the DLL is built
# without regular expressions, and says so.
include(ExternalProject)
set(re2_cache /var/cache/kensaku)
if(DEFINED ENV{KENSAKU_CACHE_DIR})
  set(re2_cache $ENV{KENSAKU_CACHE_DIR})
endif()
set(KENSAKU_RE2_SOURCE_DIR ${re2_cache}/re2 CACHE PATH
    "RE2's sources with their generated tables (cmake/fetch-re2.sh)")

set(KENSAKU_WITH_RE2 OFF)
if(EXISTS ${KENSAKU_RE2_SOURCE_DIR}/.kensaku-re2-version)
  file(READ ${KENSAKU_RE2_SOURCE_DIR}/.kensaku-re2-version re2_version)
  string(STRIP "${re2_version}" re2_version)
  set(KENSAKU_WITH_RE2 ON)
endif()
if(NOT KENSAKU_WITH_RE2)
  message(WARNING "RE2's sources are not in ${KENSAKU_RE2_SOURCE_DIR}: ${KENSAKU_DLL_NAME}.dll "
                  "is built without regular expressions (run cmake/fetch-re2.sh as root, then "
                  "cmake again)")
  return()
endif()
message(STATUS "RE2 ${re2_version} from ${KENSAKU_RE2_SOURCE_DIR}: "
               "linked statically into ${KENSAKU_DLL_NAME}.dll")

# A new version in the cache configures this build again, into a folder of its own.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${KENSAKU_RE2_SOURCE_DIR}/.kensaku-re2-version)
string(REGEX REPLACE "[^A-Za-z0-9.-]" "_" re2_folder "${re2_version}")
set(re2_prefix ${CMAKE_BINARY_DIR}/re2-${re2_folder})
# The same compiler and code flags as this build: Windows' stack alignment and, in release
# images, the sections the linker may drop.
set(re2_flags "-Wa,-muse-unaligned-vector-move")
if(CMAKE_BUILD_TYPE MATCHES "^(Release|MinSizeRel)$")
  string(APPEND re2_flags " -ffunction-sections -fdata-sections")
endif()
set(re2_library ${re2_prefix}/lib/${CMAKE_STATIC_LIBRARY_PREFIX}re2${CMAKE_STATIC_LIBRARY_SUFFIX})
ExternalProject_Add(re2_build
  SOURCE_DIR ${KENSAKU_RE2_SOURCE_DIR}
  BINARY_DIR ${re2_prefix}/build
  INSTALL_DIR ${re2_prefix}
  PREFIX ${re2_prefix}
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE}
    -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
    -DCMAKE_CXX_FLAGS=${re2_flags}
    -DCMAKE_INSTALL_PREFIX=<INSTALL_DIR>
    -DCMAKE_INSTALL_LIBDIR=lib
    -DBUILD_SHARED_LIBS=OFF
    -DRE2_BUILD_TESTING=OFF
    -DBUILD_TESTING=OFF
  BUILD_BYPRODUCTS ${re2_library})
# Fetched again (a new stamp), it is configured and built again.
ExternalProject_Add_StepDependencies(re2_build configure
  ${KENSAKU_RE2_SOURCE_DIR}/.kensaku-re2-version)
# The imported target's headers must exist before the first build installs them.
file(MAKE_DIRECTORY ${re2_prefix}/include)
add_library(kensaku_re2 STATIC IMPORTED)
set_target_properties(kensaku_re2 PROPERTIES
  IMPORTED_LOCATION ${re2_library}
  INTERFACE_INCLUDE_DIRECTORIES ${re2_prefix}/include)
add_dependencies(kensaku_re2 re2_build)
