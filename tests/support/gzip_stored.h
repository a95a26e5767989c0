// A gzip member whose deflate stream only stores its input, so a server can
// send a real gzip-encoded body without a compression library.
#pragma once

#include <string>

namespace tw::testing {

std::string GzipStored(const std::string& data);

}  // namespace tw::testing
