# The third-party libraries of the Windows cross build, taken from the Debian host without
# letting the host's /usr/include into the build.

# GoogleTest and GoogleMock, built from Debian's sources (package googletest) with the cross
# compiler; their project names the targets as find_package(GTest) does on Linux.
if(KV218_BUILD_TESTS)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

# CLI11 is header-only. Debian's CMake package for it names /usr/include as its include
# folder, which would put the host's C library headers before MinGW's: point a target at a
# folder that holds nothing but a link to CLI11's headers instead.
set(KV218_CLI11_INCLUDE ${PROJECT_BINARY_DIR}/cli11-include)
file(MAKE_DIRECTORY ${KV218_CLI11_INCLUDE})
file(CREATE_LINK /usr/include/CLI ${KV218_CLI11_INCLUDE}/CLI SYMBOLIC)
add_library(CLI11::CLI11 INTERFACE IMPORTED)
set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${KV218_CLI11_INCLUDE})

# nlohmann/json (tests only) is header-only too: the same, found by find_package through a
# redirect so that the tests' CMake files stay as they are on Linux.
set(KV218_JSON_INCLUDE ${PROJECT_BINARY_DIR}/json-include)
file(MAKE_DIRECTORY ${KV218_JSON_INCLUDE})
file(CREATE_LINK /usr/include/nlohmann ${KV218_JSON_INCLUDE}/nlohmann SYMBOLIC)
file(WRITE ${CMAKE_FIND_PACKAGE_REDIRECTS_DIR}/nlohmann_json-config.cmake "
if(NOT TARGET nlohmann_json::nlohmann_json)
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
                        INTERFACE_INCLUDE_DIRECTORIES ${KV218_JSON_INCLUDE})
endif()
")
file(WRITE ${CMAKE_FIND_PACKAGE_REDIRECTS_DIR}/nlohmann_json-config-version.cmake "
set(PACKAGE_VERSION 3)
set(PACKAGE_VERSION_COMPATIBLE TRUE)
")
