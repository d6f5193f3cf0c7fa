# Cross-compiles Windows x86-64 binaries with mingw-w64 (posix thread model), for the
# plug-in's own build and for hosts built against its installed package.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)

set(CMAKE_C_COMPILER   ${TOOLCHAIN_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER  ${TOOLCHAIN_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Windows programs run under Wine through the project's wrapper.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)

# Boost's header-only libraries come from Debian's libboost-dev, which installs them
# for the native compiler in /usr/include. find_package(Boost) finds them through a
# folder that holds nothing but a link to /usr/include/boost: naming /usr/include
# itself would put glibc's headers before mingw's. Boost's own CMake files are
# skipped for the same reason (they name /usr/include).
if(EXISTS /usr/include/boost/version.hpp AND NOT Boost_INCLUDE_DIR)
  set(_veltra_boost_include ${CMAKE_BINARY_DIR}/mingw-boost/include)
  if(NOT EXISTS ${_veltra_boost_include}/boost)
    file(MAKE_DIRECTORY ${_veltra_boost_include})
    file(CREATE_LINK /usr/include/boost ${_veltra_boost_include}/boost SYMBOLIC)
  endif()
  set(Boost_INCLUDE_DIR ${_veltra_boost_include} CACHE PATH "Boost headers seen by the mingw compiler")
endif()
set(Boost_NO_BOOST_CMAKE ON CACHE BOOL "Boost's CMake files name native include folders")
