# Project-wide flags and the helpers every module folder uses.
#
#   kavrel_library(NAME SOURCES ... [WIN_SOURCES ...] [POSIX_SOURCES ...] [LIBS ...])
#       A static library. WIN_SOURCES build only for Windows, POSIX_SOURCES only
#       natively: that is how a platform seam picks its implementation.
#   kavrel_test(NAME SOURCES ... [LIBS ...] [WIN_ONLY] [NATIVE_ONLY])
#       A googletest executable registered with CTest; under the Windows presets
#       the tests are listed and run through Wine at test time.
#   kavrel_program(NAME SOURCES ... [LIBS ...] [WINDOWED])
#       An executable; WINDOWED makes a Windows GUI program (no console).

if(WIN32)
  set(KAVREL_WINDOWS ON)
  add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
  # No compiler DLL ships beside the programs.
  add_link_options(-static -static-libgcc -static-libstdc++)
else()
  set(KAVREL_WINDOWS OFF)
endif()

add_compile_options(
  "$<$<COMPILE_LANGUAGE:CXX>:-Wall;-Wextra;-Wno-missing-field-initializers>"
  "$<$<COMPILE_LANGUAGE:C>:-Wall>")

if(KAVREL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

set(KAVREL_SOURCE_ROOT "${CMAKE_SOURCE_DIR}")

# --- googletest -----------------------------------------------------------
if(KAVREL_WINDOWS)
  # Debian ships only the sources for other targets: build them with the cross compiler.
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL)
  set(KAVREL_GTEST_LIBS gtest gmock)
  set(KAVREL_GTEST_MAIN gtest_main)
else()
  find_package(GTest REQUIRED)
  set(KAVREL_GTEST_LIBS GTest::gtest GTest::gmock)
  set(KAVREL_GTEST_MAIN GTest::gtest_main)
endif()
include(GoogleTest)

# --- zlib and minizip -------------------------------------------------------
if(KAVREL_WINDOWS)
  find_package(ZLIB REQUIRED)
  set(_mz "${CMAKE_SOURCE_DIR}/.deps/${KAVREL_TARGET_TRIPLE}")
  if(EXISTS "${_mz}/lib/libminizip.a")
    add_library(kavrel_minizip STATIC IMPORTED GLOBAL)
    set_target_properties(kavrel_minizip PROPERTIES
      IMPORTED_LOCATION "${_mz}/lib/libminizip.a"
      INTERFACE_INCLUDE_DIRECTORIES "${_mz}/include"
      INTERFACE_LINK_LIBRARIES ZLIB::ZLIB)
  endif()
else()
  find_package(ZLIB REQUIRED)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(MINIZIP IMPORTED_TARGET minizip)
  if(MINIZIP_FOUND)
    add_library(kavrel_minizip INTERFACE)
    target_link_libraries(kavrel_minizip INTERFACE PkgConfig::MINIZIP ZLIB::ZLIB)
  endif()
endif()

function(kavrel_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;WIN_SOURCES;POSIX_SOURCES;LIBS" ${ARGN})
  set(srcs ${ARG_SOURCES})
  if(KAVREL_WINDOWS)
    list(APPEND srcs ${ARG_WIN_SOURCES})
  else()
    list(APPEND srcs ${ARG_POSIX_SOURCES})
  endif()
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC "${KAVREL_SOURCE_ROOT}")
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
endfunction()

function(kavrel_test name)
  cmake_parse_arguments(ARG "WIN_ONLY;NATIVE_ONLY;NO_MAIN" "" "SOURCES;LIBS" ${ARGN})
  if(ARG_WIN_ONLY AND NOT KAVREL_WINDOWS)
    return()
  endif()
  if(ARG_NATIVE_ONLY AND KAVREL_WINDOWS)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE "${KAVREL_SOURCE_ROOT}")
  if(ARG_NO_MAIN)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} ${KAVREL_GTEST_LIBS})
  else()
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} ${KAVREL_GTEST_LIBS} ${KAVREL_GTEST_MAIN})
  endif()
  # Tests find their fixtures through this path, natively and under Wine
  # (Wine maps the Linux root to drive Z:).
  target_compile_definitions(${name} PRIVATE KAVREL_SOURCE_DIR="${KAVREL_SOURCE_ROOT}")
  if(KAVREL_WINDOWS)
    # Listing happens at test time, when the Wine driver has its server running.
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
      PROPERTIES TIMEOUT 300)
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 30 PROPERTIES TIMEOUT 300)
  endif()
endfunction()

function(kavrel_program name)
  cmake_parse_arguments(ARG "WINDOWED" "OUTPUT_NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE "${KAVREL_SOURCE_ROOT}")
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  if(ARG_OUTPUT_NAME)
    set_target_properties(${name} PROPERTIES OUTPUT_NAME ${ARG_OUTPUT_NAME})
  endif()
  if(KAVREL_WINDOWS)
    target_link_options(${name} PRIVATE -municode)
    if(ARG_WINDOWED)
      target_link_options(${name} PRIVATE -mwindows)
    endif()
  endif()
endfunction()

#   kavrel_fuzz(NAME SOURCES ... [LIBS ...] [SEEDS dir])
#       A libFuzzer target, built only by the fuzz preset (clang). NAME must end
#       in _fuzz; SEEDS is a folder of starting inputs, found by scripts/fuzz.sh.
if(KAVREL_FUZZ)
  add_custom_target(fuzz_targets)
endif()
function(kavrel_fuzz name)
  if(NOT KAVREL_FUZZ)
    return()
  endif()
  cmake_parse_arguments(ARG "" "SEEDS" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE "${KAVREL_SOURCE_ROOT}")
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  add_dependencies(fuzz_targets ${name})
  if(ARG_SEEDS)
    file(CREATE_LINK "${ARG_SEEDS}" "${CMAKE_CURRENT_BINARY_DIR}/${name}_seeds" SYMBOLIC)
  endif()
endfunction()

#   kavrel_benchmark(NAME SOURCES ... [LIBS ...])
#       A Google Benchmark program (native builds only); run by hand or by
#       scripts/bench.sh, never by the tests.
function(kavrel_benchmark name)
  if(NOT KAVREL_BENCHMARKS OR KAVREL_WINDOWS)
    return()
  endif()
  find_package(benchmark REQUIRED)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE "${KAVREL_SOURCE_ROOT}")
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark)
  target_compile_definitions(${name} PRIVATE KAVREL_SOURCE_DIR="${KAVREL_SOURCE_ROOT}")
endfunction()
