// A sink that keeps what a transfer hands on: the responses it heard of, the
// last head, the whole body.
#pragma once

#include <string>

#include "net/transfer.h"

namespace tw::net {

class Collect : public ResponseSink {
 public:
  bool OnResponse(const ResponseHead& h) override {
    ++responses;
    head = h;
    return true;
  }
  bool OnBody(const char* data, size_t size) override {
    body.append(data, size);
    return true;
  }
  int responses = 0;
  ResponseHead head;
  std::string body;
};

}  // namespace tw::net
