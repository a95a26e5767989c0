# The network layer in the Windows tree: the shared rules of net/ and the
# WinHTTP transport in place of the libcurl one.
add_library(tw_net STATIC
  url.cpp
  redirect_rules.cpp
  hop_cookies.cpp
  response_head.cpp
  response_rules.cpp
  time_limits.cpp
  transfer.cpp
  trust.cpp
  winhttp_transfer.cpp
  winhttp_trust.cpp)
target_include_directories(tw_net PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(tw_net PUBLIC tw_text PRIVATE winhttp crypt32)
