# Settings of the Windows tree, included by the top-level CMakeLists.txt when
# the target is Windows (cmake/mingw-w64-x86_64.cmake).

# Windows 10 is the oldest system the program is for; it also lets the
# headers declare the newer calls (GetCurrentThreadStackLimits, for one).
add_compile_definitions(_WIN32_WINNT=0x0A00 WINVER=0x0A00 NOMINMAX WIN32_LEAN_AND_MEAN)

# The loopback servers of the tests: cpp-httplib over Winsock.
find_path(TW_HTTPLIB_INCLUDE_DIR httplib.h PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
add_library(tw_httplib INTERFACE)
target_link_libraries(tw_httplib INTERFACE ws2_32 crypt32)
# Only httplib.h from that folder: the rest of /usr/include is the build
# machine's own.
set(tw_httplib_dir ${CMAKE_BINARY_DIR}/httplib)
configure_file(${TW_HTTPLIB_INCLUDE_DIR}/httplib.h ${tw_httplib_dir}/httplib.h COPYONLY)
target_include_directories(tw_httplib SYSTEM INTERFACE ${tw_httplib_dir})

# GoogleTest from its Debian source package, built with the cross compiler.
set(TW_GOOGLETEST_SOURCE_DIR "/usr/src/googletest" CACHE PATH "GoogleTest source directory")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(${TW_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
