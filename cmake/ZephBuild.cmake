# Compiler settings and the helpers that every folder uses to declare its
# library, tests, fuzz targets and benchmarks.

set(ZEPH_WARNINGS -Wall -Wextra -Wpedantic -Wshadow=local -Wnon-virtual-dtor
    -Wimplicit-fallthrough -Wformat=2 -Wno-missing-field-initializers)
if(ZEPH_WERROR)
  list(APPEND ZEPH_WARNINGS -Werror)
endif()

if(ZEPH_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

if(ZEPH_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "ZEPH_FUZZ needs clang (CXX=clang++ CC=clang)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# zeph_library(name [DEPS ...] [PKG ...])
# One static library per source folder from every .cpp in it (main.cpp excepted).
# DEPS are other targets, PKG are pkg-config modules.
function(zeph_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;PKG;EXCLUDE" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  foreach(ex IN LISTS ARG_EXCLUDE)
    list(FILTER sources EXCLUDE REGEX "/${ex}$")
  endforeach()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_compile_options(${name} PRIVATE ${ZEPH_WARNINGS})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} Threads::Threads)
  foreach(pkg IN LISTS ARG_PKG)
    string(MAKE_C_IDENTIFIER ${pkg} id)
    if(NOT TARGET PkgConfig::${id})
      pkg_check_modules(${id} REQUIRED IMPORTED_TARGET GLOBAL ${pkg})
    endif()
    target_link_libraries(${name} PUBLIC PkgConfig::${id})
  endforeach()
endfunction()

# zeph_pkg(<pkg-config module>) -> the imported target name in ZEPH_PKG_TARGET
function(zeph_pkg pkg)
  string(MAKE_C_IDENTIFIER ${pkg} id)
  if(NOT TARGET PkgConfig::${id})
    pkg_check_modules(${id} REQUIRED IMPORTED_TARGET GLOBAL ${pkg})
  endif()
  set(ZEPH_PKG_TARGET PkgConfig::${id} PARENT_SCOPE)
endfunction()
