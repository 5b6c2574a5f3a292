# Hardening as Debian builds its own packages (dpkg-buildflags): the checked variants of the C
# library's string and memory functions where the optimiser knows an object's size, and a
# relocation table made read-only after every symbol is bound at start. GCC on Debian already
# makes position-independent executables with stack protection. Left out of the sanitizer and
# fuzzing builds, which replace those functions themselves, and of unoptimised builds, where
# the checks do not work.
if(NOT TESSARINE_SANITIZER AND NOT TESSARINE_FUZZ)
  add_compile_definitions($<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
  add_link_options(LINKER:-z,relro,-z,now)
endif()
