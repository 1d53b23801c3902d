# The windows build (cmake/mingw-w64-x86_64.cmake) takes what the Linux build gets from the
# system's packages from the same Debian packages:
# - CLI11, JSON for Modern C++ and stb are header-only. Their folders are reached through
#   links in the build folder, so the rest of the build machine's /usr/include (its C
#   library above all) stays out of the cross-compiler's view.
# - zlib comes from libz-mingw-w64-dev, found through the toolchain's root.
# - GoogleTest is built from Debian's sources in /usr/src/googletest (tests/windows).
set(KP70_HOST_HEADERS ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${KP70_HOST_HEADERS})
foreach(folder CLI nlohmann stb)
  if(NOT EXISTS /usr/include/${folder})
    message(FATAL_ERROR "/usr/include/${folder} is missing: run bash scripts/install-deps.sh")
  endif()
  if(NOT EXISTS ${KP70_HOST_HEADERS}/${folder})
    file(CREATE_LINK /usr/include/${folder} ${KP70_HOST_HEADERS}/${folder} SYMBOLIC)
  endif()
endforeach()

# <CLI/CLI.hpp> and <nlohmann/json.hpp>, as the Linux build includes them.
add_library(kp70_header_libraries INTERFACE)
target_include_directories(kp70_header_libraries SYSTEM INTERFACE ${KP70_HOST_HEADERS})
add_library(nlohmann_json::nlohmann_json ALIAS kp70_header_libraries)

# <stb_image.h> and <stb_image_write.h>, as pkg-config's stb gives them on Linux.
add_library(kp70_stb_headers INTERFACE)
target_include_directories(kp70_stb_headers SYSTEM INTERFACE ${KP70_HOST_HEADERS}/stb)

find_package(ZLIB REQUIRED)
