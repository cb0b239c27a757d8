# Shared build settings for every target of the project.
add_library(tvx_options INTERFACE)
target_include_directories(tvx_options INTERFACE ${PROJECT_SOURCE_DIR})
target_compile_options(tvx_options INTERFACE -Wall -Wextra -Wformat -Wformat-security)
if(TVX_WERROR)
  target_compile_options(tvx_options INTERFACE -Werror)
endif()
if(TVX_FUZZ)
  # Coverage feedback and sanitizers in every library the fuzz targets reach.
  target_compile_options(tvx_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  target_link_options(tvx_options INTERFACE -fsanitize=address,undefined)
endif()
if(TVX_SANITIZE)
  target_compile_options(tvx_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(tvx_options INTERFACE -fsanitize=address,undefined)
endif()

# tvx_module(<target> DEPS <libs...>): a static library of every .cpp in the
# calling folder (not its subfolders). A folder without sources yet gives an
# interface library so that dependents still link.
function(tvx_module target)
  cmake_parse_arguments(M "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  if(srcs)
    add_library(${target} STATIC ${srcs})
    target_link_libraries(${target} PUBLIC tvx_options ${M_DEPS})
  else()
    add_library(${target} INTERFACE)
    target_link_libraries(${target} INTERFACE tvx_options ${M_DEPS})
  endif()
endfunction()

# tvx_test(<name> DEPS <libs...>): one GoogleTest program of every .cpp in the
# calling folder, registered test by test with CTest.
function(tvx_test name)
  cmake_parse_arguments(T "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  target_link_libraries(${name} PRIVATE tvx_test_main ${T_DEPS})
  # The test main points TVX_TEST_DATA and TVX_FIXTURES at the tree.
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST)
endfunction()
