# A cross build finds no package of the build machine (the toolchain file
# confines every search to the target's tree). The libraries it needs that
# are only headers, CLI11 and nlohmann/json, come from the build machine's
# include folder, copied so that no other header of the build machine is on
# the compiler's path; GoogleTest is built from Debian's sources. Each is
# then found by find_package as usual.
set(V36_HOST_PREFIX /usr CACHE PATH "Where the build machine's header-only packages are")
set(V36_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest's sources (Debian's googletest)")

set(v36_stage ${PROJECT_BINARY_DIR}/host-packages)
file(COPY ${V36_HOST_PREFIX}/include/CLI ${V36_HOST_PREFIX}/include/nlohmann
     DESTINATION ${v36_stage}/include)

# A package of headers only: its target, and the build machine's version file.
macro(v36_header_package name target)
  set(v36_version_file ${V36_HOST_PREFIX}/share/cmake/${name}/${name}ConfigVersion.cmake)
  if(NOT EXISTS ${v36_version_file})
    message(FATAL_ERROR "${name} is not installed on the build machine (${v36_version_file})")
  endif()
  file(WRITE ${v36_stage}/${name}/${name}Config.cmake
"if(NOT TARGET ${target})
  add_library(${target} INTERFACE IMPORTED)
  set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES \"${v36_stage}/include\")
endif()
")
  file(WRITE ${v36_stage}/${name}/${name}ConfigVersion.cmake "include(\"${v36_version_file}\")\n")
  set(${name}_DIR ${v36_stage}/${name})
endmacro()
v36_header_package(CLI11 CLI11::CLI11)
v36_header_package(nlohmann_json nlohmann_json::nlohmann_json)

# GoogleTest from source; its own build names the targets as its installed
# package does (GTest::gtest, GTest::gtest_main).
if(NOT EXISTS ${V36_GTEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest's sources are missing: install Debian's googletest")
endif()
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${V36_GTEST_SOURCE_DIR} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
file(WRITE ${v36_stage}/GTest/GTestConfig.cmake "# The targets come from the sources built above.\n")
set(GTest_DIR ${v36_stage}/GTest)
