# Cross-builds camknob for macOS on Linux, with Debian's LLVM 19 (clang-19,
# lld-19, llvm-19) against an Apple macOS SDK folder:
#
#   cmake -S . -B build-mac -G Ninja \
#     -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/macos-cross.cmake \
#     -DCAMKNOB_MACOS_SDK=/tmp/macsdk/MacOSX12.0.sdk -DCAMKNOB_MACOS_ARCH=x86_64
#
# The binaries cannot run here; the build shows that the Mac code compiles
# against the SDK's headers and links against its frameworks.
#
# Variables (cache, or the environment variable of the same name):
#   CAMKNOB_MACOS_SDK            the SDK folder (holding SDKSettings.json)
#   CAMKNOB_MACOS_ARCH           arm64 (default) or x86_64: one per build
#   CAMKNOB_MACOS_EXTRA_INCLUDE  optional folder holding just the header-only
#                                libraries the SDK lacks (e.g. a copy of
#                                httplib.h), searched after the SDK; never the
#                                host's /usr/include, whose headers are Linux's
# The tools can be named by hand with -DCAMKNOB_MACOS_CLANG=PATH and the other
# CAMKNOB_MACOS_* tool variables below.

# Darwin, so that CMake sets APPLE and the project takes its macOS paths
# (the CoreMediaIO service, the frameworks). Darwin 21 is macOS 12; CMake's
# Darwin module reads the version for its linker flags.
set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_VERSION 21.0)

# Try-compile projects read this file again in a fresh CMake: pass them the
# choices, or they would fall back to the environment and the defaults.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES
  CAMKNOB_MACOS_SDK CAMKNOB_MACOS_ARCH CAMKNOB_MACOS_EXTRA_INCLUDE)

# A cache value, else the environment variable, else the default.
macro(camknob_macos_setting name default type doc)
  if(NOT ${name} AND NOT "$ENV{${name}}" STREQUAL "")
    set(${name} "$ENV{${name}}")
  elseif(NOT ${name})
    set(${name} "${default}")
  endif()
  set(${name} "${${name}}" CACHE ${type} "${doc}")
endmacro()

camknob_macos_setting(CAMKNOB_MACOS_SDK "" PATH "macOS SDK folder to build against")
camknob_macos_setting(CAMKNOB_MACOS_ARCH arm64 STRING "macOS architecture: arm64 or x86_64")
camknob_macos_setting(CAMKNOB_MACOS_EXTRA_INCLUDE "" PATH
  "Folder of header-only libraries for the macOS build (optional)")
set_property(CACHE CAMKNOB_MACOS_ARCH PROPERTY STRINGS arm64 x86_64)

if(NOT EXISTS "${CAMKNOB_MACOS_SDK}/SDKSettings.json")
  message(FATAL_ERROR "macos-cross: CAMKNOB_MACOS_SDK (\"${CAMKNOB_MACOS_SDK}\") is not a macOS "
                      "SDK folder with SDKSettings.json; set it to one, e.g. "
                      "-DCAMKNOB_MACOS_SDK=/tmp/macsdk/MacOSX12.0.sdk (README, macOS)")
endif()
if(NOT CAMKNOB_MACOS_ARCH MATCHES "^(arm64|x86_64)$")
  message(FATAL_ERROR "macos-cross: CAMKNOB_MACOS_ARCH is \"${CAMKNOB_MACOS_ARCH}\"; "
                      "it takes arm64 or x86_64 (one architecture per build)")
endif()

# The tools are the build machine's own: never look for them in the SDK.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)

# One LLVM tool: NAME-19 on PATH (Debian's /usr/bin links), else NAME in
# LLVM 19's own folder. A plain NAME on PATH is not taken: on Debian it may be
# another LLVM (/usr/bin/clang is clang-14).
set(camknob_llvm_dir /usr/lib/llvm-19/bin)
function(camknob_macos_tool variable name)
  find_program(${variable} NAMES ${name}-19 DOC "${name} of LLVM 19 for the macOS build")
  find_program(${variable} NAMES ${name} PATHS ${camknob_llvm_dir} NO_DEFAULT_PATH)
  if(NOT ${variable})
    message(FATAL_ERROR "macos-cross: ${name}-19 not found, nor ${camknob_llvm_dir}/${name} "
                        "(Debian: apt-get install clang-19 lld-19 llvm-19; or name it with "
                        "-D${variable}=PATH)")
  endif()
endfunction()

camknob_macos_tool(CAMKNOB_MACOS_CLANG clang)
camknob_macos_tool(CAMKNOB_MACOS_CLANGXX clang++)
# lld's Mach-O linker: GNU ld and lld's ELF flavour cannot link for Apple.
camknob_macos_tool(CAMKNOB_MACOS_LD64 ld64.lld)
# LLVM's binutils read and write Mach-O; the host's GNU ones do not.
camknob_macos_tool(CAMKNOB_MACOS_AR llvm-ar)
camknob_macos_tool(CAMKNOB_MACOS_RANLIB llvm-ranlib)
camknob_macos_tool(CAMKNOB_MACOS_NM llvm-nm)
camknob_macos_tool(CAMKNOB_MACOS_OBJDUMP llvm-objdump)
camknob_macos_tool(CAMKNOB_MACOS_STRIP llvm-strip)
camknob_macos_tool(CAMKNOB_MACOS_INSTALL_NAME_TOOL llvm-install-name-tool)

set(CMAKE_C_COMPILER "${CAMKNOB_MACOS_CLANG}")
set(CMAKE_CXX_COMPILER "${CAMKNOB_MACOS_CLANGXX}")
# Clang is a cross compiler already: the target picks Apple's object format,
# ABI and driver (frameworks, -isysroot, the ld64 command line).
set(CMAKE_C_COMPILER_TARGET ${CAMKNOB_MACOS_ARCH}-apple-darwin)
set(CMAKE_CXX_COMPILER_TARGET ${CAMKNOB_MACOS_ARCH}-apple-darwin)
set(CMAKE_LINKER "${CAMKNOB_MACOS_LD64}")
set(CMAKE_AR "${CAMKNOB_MACOS_AR}")
set(CMAKE_RANLIB "${CAMKNOB_MACOS_RANLIB}")
set(CMAKE_NM "${CAMKNOB_MACOS_NM}")
set(CMAKE_OBJDUMP "${CAMKNOB_MACOS_OBJDUMP}")
set(CMAKE_STRIP "${CAMKNOB_MACOS_STRIP}")
# CMake's Darwin module would look for Apple's install_name_tool (rpaths).
set(CMAKE_INSTALL_NAME_TOOL "${CAMKNOB_MACOS_INSTALL_NAME_TOOL}")

# The SDK as sysroot: -isysroot for the headers and libc++'s, -syslibroot for
# the linker's .tbd stubs. (CMake's Darwin module makes it the find root only
# for iOS and its kin: for macOS that is done below.)
set(CMAKE_OSX_SYSROOT "${CAMKNOB_MACOS_SDK}" CACHE PATH "macOS SDK" FORCE)
# One architecture: -arch, matching the target above.
set(CMAKE_OSX_ARCHITECTURES ${CAMKNOB_MACOS_ARCH} CACHE STRING "macOS architecture" FORCE)
# The oldest macOS the build runs on (-mmacosx-version-min), as on a Mac.
set(CMAKE_OSX_DEPLOYMENT_TARGET 12.0 CACHE STRING "Minimum macOS version to run on")

# macOS's C++ library is libc++ (clang's default for Apple targets; stated so
# that a clang configured otherwise cannot pick libstdc++). The linker is
# lld's ld64: -fuse-ld=lld makes the driver speak to it as to lld (it then
# passes -platform_version), --ld-path names the one found above.
set(CMAKE_CXX_FLAGS_INIT "-stdlib=libc++")
set(camknob_link_flags "-fuse-ld=lld \"--ld-path=${CAMKNOB_MACOS_LD64}\"")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${camknob_link_flags} -stdlib=libc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${camknob_link_flags} -stdlib=libc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${camknob_link_flags} -stdlib=libc++")

# Headers, libraries and packages come from the SDK only, never from the
# Linux host's /usr (its nlohmann/json, GoogleTest, cpp-httplib, ... are built
# for Linux). The modes alone do not do it: with no find root, CMake searches
# the host's folders as they are. So the SDK is the find root, every search
# path (the system's, CMAKE_PREFIX_PATH, PATH) is taken under it, and the
# extra folder below is the one other root. Set, not appended: this file is
# read again by every try-compile.
set(CMAKE_FIND_ROOT_PATH "${CAMKNOB_MACOS_SDK}")
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The user's package registry (~/.cmake/packages) names host builds.
set(CMAKE_FIND_USE_PACKAGE_REGISTRY OFF)
# pkg-config is the host's and would name the host's .pc files (Debian's
# cpp-httplib among them): it looks only in the SDK, where there are none.
set(ENV{PKG_CONFIG_LIBDIR} "${CAMKNOB_MACOS_SDK}/usr/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "${CAMKNOB_MACOS_SDK}")

# A header-only library the SDK lacks: the folder is searched after the SDK
# by the compiler, and find_path/find_file look in it too (a find root, so
# that it is searched as it is rather than under the SDK).
if(CAMKNOB_MACOS_EXTRA_INCLUDE)
  if(NOT IS_DIRECTORY "${CAMKNOB_MACOS_EXTRA_INCLUDE}")
    message(FATAL_ERROR "macos-cross: CAMKNOB_MACOS_EXTRA_INCLUDE (\"${CAMKNOB_MACOS_EXTRA_INCLUDE}\") "
                        "is not a folder")
  endif()
  string(APPEND CMAKE_CXX_FLAGS_INIT " -idirafter \"${CAMKNOB_MACOS_EXTRA_INCLUDE}\"")
  list(APPEND CMAKE_FIND_ROOT_PATH "${CAMKNOB_MACOS_EXTRA_INCLUDE}")
  list(APPEND CMAKE_INCLUDE_PATH "${CAMKNOB_MACOS_EXTRA_INCLUDE}")
endif()
