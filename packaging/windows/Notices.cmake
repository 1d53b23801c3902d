# Writes THIRD-PARTY-NOTICES.txt (cmake -DOUT=FILE -P Notices.cmake): the copyright and licence
# texts of what kp70ctl.exe carries inside, as Debian's packages of them state them.
set(parts
  "CLI11 (command-line parsing)|/usr/share/doc/libcli11-dev/copyright"
  "JSON for Modern C++|/usr/share/doc/nlohmann-json3-dev/copyright"
  "stb_image and stb_image_write|/usr/share/doc/libstb-dev/copyright"
  "zlib|/usr/share/doc/libz-mingw-w64-dev/copyright"
  "The mingw-w64 runtime and winpthreads|/usr/share/doc/mingw-w64-x86-64-dev/copyright"
  "The GCC runtime libraries (libstdc++, libgcc) with the GCC Runtime Library Exception|/usr/share/doc/gcc-mingw-w64-base/copyright")
set(text "kp70ctl.exe is built from KP70 Tool (MIT licence, LICENSE.txt) and carries the code of\nthe libraries below, each under the terms that follow its name.\n")
foreach(part IN LISTS parts)
  string(REPLACE "|" ";" fields "${part}")
  list(GET fields 0 title)
  list(GET fields 1 file)
  if(NOT EXISTS "${file}")
    message(FATAL_ERROR "${file} is missing: run bash scripts/install-deps.sh")
  endif()
  file(READ "${file}" body)
  string(APPEND text "\n\n==== ${title} ====\n\n${body}")
endforeach()
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE "${OUT}" "${text}")
