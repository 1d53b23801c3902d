/* The decoder's own code, compiled into the fuzz target so that it is instrumented like
   the rest of the fuzz build: the fuzzer is then guided through the decoder's branches and
   the sanitizers see its memory accesses. The target's definitions take the place of the
   shared library's. The programs link the shared library (src/image). */
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_GIF
#include <stb_image.h>
