/* The decoder's code for builds without Debian's shared libstb (Windows): the formats
   StbImageDecoder offers, nothing else. */
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_GIF
#include <stb_image.h>
