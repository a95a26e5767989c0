#include "tests/support/fake_logind.h"

#include <dbus/dbus.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <fstream>

namespace tw::testing {
namespace {

// Anyone may own any name and call anything: the bus serves this test only.
constexpr char kConfig[] = R"(<!DOCTYPE busconfig PUBLIC
 "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=@DIR@</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

constexpr char kName[] = "org.freedesktop.login1";

}  // namespace

FakeLogind::FakeLogind(bool silent) : folder_("logind"), silent_(silent) {
  std::string config = kConfig;
  config.replace(config.find("@DIR@"), 5, folder_.path());
  const std::string configPath = folder_.File("bus.conf");
  std::ofstream(configPath) << config;
  daemon_ = std::make_unique<ChildProcess>(
      "/usr/bin/dbus-daemon",
      ChildProcess::Options{{"--config-file=" + configPath, "--nofork", "--print-address"},
                            {},
                            {},
                            /*captureStdout=*/true});
  std::optional<std::string> line = daemon_->ReadLine(std::chrono::seconds(20));
  if (!line || line->empty()) return;

  DBusError error = DBUS_ERROR_INIT;
  bus_ = dbus_connection_open_private(line->c_str(), &error);
  if (bus_ == nullptr || !dbus_bus_register(bus_, &error) ||
      dbus_bus_request_name(bus_, kName, DBUS_NAME_FLAG_DO_NOT_QUEUE, &error) !=
          DBUS_REQUEST_NAME_REPLY_PRIMARY_OWNER) {
    dbus_error_free(&error);
    return;
  }
  dbus_connection_set_exit_on_disconnect(bus_, FALSE);
  address_ = *line;
  thread_ = std::thread([this] { Serve(); });
}

FakeLogind::~FakeLogind() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
  if (bus_ != nullptr) {
    dbus_connection_close(bus_);
    dbus_connection_unref(bus_);
  }
  for (Taken& t : taken_) {
    if (t.readEnd >= 0) ::close(t.readEnd);
  }
  if (daemon_) {
    daemon_->Kill(SIGTERM);
    daemon_->Wait(std::chrono::seconds(10));
  }
}

void FakeLogind::Serve() {
  while (!stopping_ && dbus_connection_read_write(bus_, 50)) {
    while (DBusMessage* message = dbus_connection_pop_message(bus_)) {
      if (dbus_message_is_method_call(message, "org.freedesktop.login1.Manager", "Inhibit")) {
        Answer(message);
      }
      dbus_message_unref(message);
    }
  }
}

void FakeLogind::Answer(DBusMessage* call) {
  const char* what = nullptr;
  const char* who = nullptr;
  const char* why = nullptr;
  const char* mode = nullptr;
  DBusError error = DBUS_ERROR_INIT;
  if (!dbus_message_get_args(call, &error, DBUS_TYPE_STRING, &what, DBUS_TYPE_STRING, &who,
                             DBUS_TYPE_STRING, &why, DBUS_TYPE_STRING, &mode, DBUS_TYPE_INVALID)) {
    dbus_error_free(&error);
    return;
  }
  Taken taken{{what, who, why, mode, false}, -1};
  int ends[2] = {-1, -1};
  if (!silent_ && ::pipe2(ends, O_CLOEXEC) == 0) {
    DBusMessage* reply = dbus_message_new_method_return(call);
    // The message holds a copy of the writing end; ours goes at once.
    if (reply != nullptr &&
        dbus_message_append_args(reply, DBUS_TYPE_UNIX_FD, &ends[1], DBUS_TYPE_INVALID) &&
        dbus_connection_send(bus_, reply, nullptr)) {
      dbus_connection_flush(bus_);
      taken.readEnd = ends[0];
      taken.inhibitor.held = true;
    } else {
      ::close(ends[0]);
    }
    if (reply != nullptr) dbus_message_unref(reply);
    ::close(ends[1]);
  }
  std::lock_guard guard(mutex_);
  taken_.push_back(std::move(taken));
}

std::vector<FakeLogind::Inhibitor> FakeLogind::Inhibitors() {
  std::lock_guard guard(mutex_);
  std::vector<Inhibitor> all;
  for (Taken& t : taken_) {
    if (t.readEnd >= 0) {
      // The reading end hangs up once no writing end is left open.
      pollfd p{t.readEnd, POLLIN, 0};
      if (::poll(&p, 1, 0) == 1 && (p.revents & (POLLHUP | POLLERR)) != 0) {
        ::close(t.readEnd);
        t.readEnd = -1;
        t.inhibitor.held = false;
      }
    }
    all.push_back(t.inhibitor);
  }
  return all;
}

int FakeLogind::HeldCount() {
  int held = 0;
  for (const Inhibitor& i : Inhibitors()) held += i.held ? 1 : 0;
  return held;
}

}  // namespace tw::testing
