// The login manager's sleep inhibitor: Inhibit("sleep", who, why, "block") on
// the system bus answers with a file descriptor, and the inhibitor lasts until
// every copy of it is closed. The bus connection is needed only for the call.
#include <dbus/dbus.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "download/keep_awake.h"
#include "text/convert.h"
#include "text/system_texts.h"

namespace tw {
namespace {

using Clock = std::chrono::steady_clock;

// Where libdbus and sd-bus look when the environment names no system bus.
constexpr char kDefaultSystemBus[] = "unix:path=/var/run/dbus/system_bus_socket";

class Call {
 public:
  Call(const char* destination, const char* path, const char* interface, const char* method)
      : message_(dbus_message_new_method_call(destination, path, interface, method)) {}
  ~Call() {
    if (message_ != nullptr) dbus_message_unref(message_);
    if (reply_ != nullptr) dbus_message_unref(reply_);
    dbus_error_free(&error_);
  }
  Call(const Call&) = delete;
  Call& operator=(const Call&) = delete;

  DBusMessage* message() const { return message_; }
  // Sends the call and waits for its answer until `deadline`.
  DBusMessage* Answer(DBusConnection* bus, Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (message_ == nullptr || left <= 0) return nullptr;
    reply_ =
        dbus_connection_send_with_reply_and_block(bus, message_, static_cast<int>(left), &error_);
    return reply_;
  }
  DBusError* error() { return &error_; }

 private:
  DBusMessage* message_;
  DBusMessage* reply_ = nullptr;
  DBusError error_ = DBUS_ERROR_INIT;
};

int TakeInhibitor() {
  const Clock::time_point deadline =
      Clock::now() + std::chrono::milliseconds(KeepAwake::kTakeLimitMs);
  // The program changes no environment variable while it runs.
  const char* named = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");  // NOLINT(concurrency-mt-unsafe)
  const std::string address = named != nullptr && named[0] != '\0' ? named : kDefaultSystemBus;
  // Several downloads may take theirs at once; libdbus's own locks must be
  // made before any of them uses it.
  static const bool threadsReady = dbus_threads_init_default() != 0;
  if (!threadsReady) return -1;
  DBusError error = DBUS_ERROR_INIT;
  // Private: the process's shared bus connection, if a library has one, is
  // neither used nor closed here.
  DBusConnection* bus = dbus_connection_open_private(address.c_str(), &error);
  dbus_error_free(&error);
  if (bus == nullptr) return -1;
  dbus_connection_set_exit_on_disconnect(bus, FALSE);

  int fd = -1;
  // A bus speaks to a connection only after its Hello. Sent by hand, not
  // through dbus_bus_register, whose wait has no limit of ours.
  Call hello("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "Hello");
  if (hello.Answer(bus, deadline) != nullptr) {
    const SystemTexts& t = Texts();
    const std::string who = GbkToUtf8(t.inhibitWho);
    const std::string why = GbkToUtf8(t.inhibitWhy);
    const char* what = "sleep";
    const char* mode = "block";
    const char* whoText = who.c_str();
    const char* whyText = why.c_str();
    Call inhibit("org.freedesktop.login1", "/org/freedesktop/login1",
                 "org.freedesktop.login1.Manager", "Inhibit");
    if (inhibit.message() != nullptr &&
        dbus_message_append_args(inhibit.message(), DBUS_TYPE_STRING, &what, DBUS_TYPE_STRING,
                                 &whoText, DBUS_TYPE_STRING, &whyText, DBUS_TYPE_STRING, &mode,
                                 DBUS_TYPE_INVALID)) {
      if (DBusMessage* reply = inhibit.Answer(bus, deadline)) {
        if (!dbus_message_get_args(reply, inhibit.error(), DBUS_TYPE_UNIX_FD, &fd,
                                   DBUS_TYPE_INVALID)) {
          fd = -1;
        }
      }
    }
  }
  dbus_connection_close(bus);
  dbus_connection_unref(bus);
  return fd;
}

}  // namespace

KeepAwake::KeepAwake() { held_ = TakeInhibitor(); }

KeepAwake::~KeepAwake() {
  if (Held()) ::close(static_cast<int>(held_));
}

}  // namespace tw
