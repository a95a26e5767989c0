#include <pthread.h>

#include <cstddef>

#include "script/thread_stack.h"

namespace tw {

std::uintptr_t ThreadStackLow() {
  pthread_attr_t attr;
  std::uintptr_t result = 0;
  if (pthread_getattr_np(pthread_self(), &attr) == 0) {
    void* address = nullptr;
    std::size_t size = 0;
    if (pthread_attr_getstack(&attr, &address, &size) == 0) {
      result = reinterpret_cast<std::uintptr_t>(address);
    }
    pthread_attr_destroy(&attr);
  }
  return result;
}

}  // namespace tw
