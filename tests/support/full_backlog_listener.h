// A listening socket on 127.0.0.1 whose accept queue is full and never
// drained: a further connect to it never completes, which is how a connect
// that hangs is tested.
#pragma once

#include <string>
#include <vector>

namespace tw::testing {

class FullBacklogListener {
 public:
  FullBacklogListener();
  ~FullBacklogListener();
  FullBacklogListener(const FullBacklogListener&) = delete;
  FullBacklogListener& operator=(const FullBacklogListener&) = delete;

  int port() const { return port_; }
  std::string Url(const std::string& path) const;

 private:
  int listener_ = -1;
  int port_ = 0;
  std::vector<int> fillers_;
};

}  // namespace tw::testing
