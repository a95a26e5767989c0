# Settings of the Windows tree, included by the top-level CMakeLists.txt when
# the target is Windows (cmake/mingw-w64-x86_64.cmake).

# Windows 10 is the oldest system the program is for; it also lets the
# headers declare the newer calls (GetCurrentThreadStackLimits, for one).
add_compile_definitions(_WIN32_WINNT=0x0A00 WINVER=0x0A00 NOMINMAX WIN32_LEAN_AND_MEAN)

# GCC 12 at -O3 reports impossible overlaps in inlined std::string code
# (-Wrestrict false positives); -O2 is what the Windows tree is built with.
foreach(lang C CXX)
  set(CMAKE_${lang}_FLAGS_RELEASE "-O2 -DNDEBUG")
endforeach()

# The loopback servers of the tests: our own Winsock server with the part of
# cpp-httplib's interface the tests use (tests/win32/httplib.h).
add_library(tw_httplib INTERFACE)
target_include_directories(tw_httplib SYSTEM INTERFACE ${PROJECT_SOURCE_DIR}/tests/win32)
target_link_libraries(tw_httplib INTERFACE ws2_32)

# GoogleTest from its Debian source package, built with the cross compiler.
set(TW_GOOGLETEST_SOURCE_DIR "/usr/src/googletest" CACHE PATH "GoogleTest source directory")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(${TW_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
