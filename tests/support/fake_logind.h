// A private message bus with a stand-in for the login manager on it, for the
// tests of keeping the computer awake. The code under test finds it through
// DBUS_SYSTEM_BUS_ADDRESS = address(), as it would find the system bus.
//
// Inhibit("what", "who", "why", "mode") is answered, like the real one, with
// the writing end of a pipe whose reading end it keeps: the inhibitor is held
// until every copy of that end is closed. A silent one takes the calls and
// never answers them, as a login manager that hangs would.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"

struct DBusConnection;
struct DBusMessage;

namespace tw::testing {

class FakeLogind {
 public:
  struct Inhibitor {
    std::string what, who, why, mode;
    bool held = false;  // its holder has not let go
  };

  explicit FakeLogind(bool silent = false);
  ~FakeLogind();
  FakeLogind(const FakeLogind&) = delete;
  FakeLogind& operator=(const FakeLogind&) = delete;

  // Empty when the bus or the stand-in could not be started.
  const std::string& address() const { return address_; }
  // Every inhibitor asked for so far, oldest first.
  std::vector<Inhibitor> Inhibitors();
  int HeldCount();

 private:
  struct Taken {
    Inhibitor inhibitor;
    int readEnd = -1;
  };
  void Serve();
  void Answer(DBusMessage* call);

  TempFolder folder_;
  std::unique_ptr<ChildProcess> daemon_;
  std::string address_;
  DBusConnection* bus_ = nullptr;
  bool silent_;
  std::mutex mutex_;
  std::vector<Taken> taken_;  // guarded by mutex_
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

}  // namespace tw::testing
