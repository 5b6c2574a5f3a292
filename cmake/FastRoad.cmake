# Whether the engine gets its fast road (engine/fast/): asked for with TESSARINE_FAST, and
# only against a libjpeg-turbo release it was tested with (engine/fast/tested_library.h),
# since it reaches into the library's internals. Sets TESSARINE_FAST_BUILT.
set(TESSARINE_FAST_BUILT OFF)
if(TESSARINE_FAST)
  include(CheckCXXSourceCompiles)
  set(CMAKE_REQUIRED_INCLUDES ${JPEG_INCLUDE_DIRS} ${PROJECT_SOURCE_DIR})
  check_cxx_source_compiles("
    #include \"engine/fast/tested_library.h\"
    #if !TESSARINE_TESTED_LIBJPEG_TURBO
    #error untested libjpeg-turbo
    #endif
    int main() { return 0; }" TESSARINE_LIBJPEG_TURBO_TESTED)
  unset(CMAKE_REQUIRED_INCLUDES)
  if(TESSARINE_LIBJPEG_TURBO_TESTED)
    set(TESSARINE_FAST_BUILT ON)
  else()
    message(WARNING "The fast road is left out: it was not tested with this libjpeg "
                    "(see engine/fast/tested_library.h). Thumbnails are made by the plain road.")
  endif()
endif()
