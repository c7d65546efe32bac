# Compile options shared by every target of the project.
add_library(zoetra_options INTERFACE)
target_include_directories(zoetra_options INTERFACE ${PROJECT_SOURCE_DIR}/src)
target_compile_options(zoetra_options INTERFACE -Wall -Wextra)
if(ZOETRA_WERROR)
  target_compile_options(zoetra_options INTERFACE -Werror)
  # g++ 12 at -O3 takes "literal" + std::string for an overlapping copy; the
  # warning stays, but this one false alarm does not stop the build.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(zoetra_options INTERFACE -Wno-error=restrict)
  endif()
endif()
if(ZOETRA_SANITIZE)
  target_compile_options(zoetra_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(zoetra_options INTERFACE -fsanitize=address,undefined)
endif()
if(ZOETRA_FUZZ)
  target_compile_options(zoetra_options INTERFACE
    -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined)
  target_link_options(zoetra_options INTERFACE -fsanitize=address,undefined)
endif()

# zoetra_library(NAME [SOURCES...] DEPENDS libs...): without SOURCES, every
# .cpp file of the calling folder.
function(zoetra_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  if(NOT ARG_SOURCES)
    file(GLOB ARG_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  endif()
  if(NOT ARG_SOURCES)
    # A folder of headers only.
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE zoetra_options ${ARG_DEPENDS})
    return()
  endif()
  add_library(${name} STATIC ${ARG_SOURCES})
  target_link_libraries(${name} PUBLIC zoetra_options ${ARG_DEPENDS})
endfunction()

# zoetra_test(NAME [SOURCES...] DEPENDS libs...): without SOURCES, every .cpp
# file of the calling folder.
function(zoetra_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  if(NOT ARG_SOURCES)
    file(GLOB ARG_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE zoetra_options ${ARG_DEPENDS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    ZOETRA_SOURCE_DIR="${PROJECT_SOURCE_DIR}" ZOETRA_BINARY_DIR="${PROJECT_BINARY_DIR}")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "ZOETRA_TEST_TMP=${PROJECT_BINARY_DIR}/test-tmp")
endfunction()
