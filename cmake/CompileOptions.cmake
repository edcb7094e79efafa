# Options every target of the project shares.

find_program(CCACHE_PROGRAM ccache)
if(CCACHE_PROGRAM)
  set(CMAKE_C_COMPILER_LAUNCHER "${CCACHE_PROGRAM}")
  set(CMAKE_CXX_COMPILER_LAUNCHER "${CCACHE_PROGRAM}")
endif()

# Sources are UTF-8; every string literal becomes the GBK bytes the program shows.
add_compile_options(
  "$<$<COMPILE_LANGUAGE:C,CXX>:-finput-charset=UTF-8;-fexec-charset=GBK>"
  "$<$<COMPILE_LANGUAGE:C,CXX>:-Wall;-Wextra>")

option(PELNOR_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(PELNOR_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

if(WIN32)
  # No DLL beyond the system's: the C and C++ runtimes are linked in.
  add_link_options(-static -static-libgcc -static-libstdc++)
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0501 WINVER=0x0501)
  add_compile_options("$<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions;-fno-rtti>")
  add_compile_options(-ffunction-sections -fdata-sections)
  add_link_options(-Wl,--gc-sections -s)
endif()
