// libjpeg's large stores (the whole-image coefficient buffer of a progressive picture among
// them) come from the engine's huge-page stores (large_pages.h): these two are the library's
// system-dependent memory routines, which a program may provide in place of the library's
// own malloc-based pair; the library calls them through its symbol table. The build links
// this file into every program that links the engine (--undefined=jpeg_get_large, see
// engine/CMakeLists.txt), since nothing else refers to it.
#include <cstddef>
#include <cstdio>  // jpeglib.h needs FILE and size_t first

#include <jpeglib.h>

#include "engine/large_pages.h"

extern "C" void* jpeg_get_large(j_common_ptr, std::size_t size) {
  return AllocateLarge(size);
}

extern "C" void jpeg_free_large(j_common_ptr, void* object, std::size_t size) {
  FreeLarge(object, size);
}
