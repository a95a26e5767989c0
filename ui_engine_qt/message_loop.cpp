#include "ui_engine_qt/message_loop.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QLibraryInfo>
#include <QTranslator>
#include <clocale>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "ui_engine_qt/accessibility.h"
#include "ui_engine_qt/dialogs.h"
#include "ui_engine_qt/ui_thread.h"

namespace tw::engine {
namespace {

// Qt keeps pointers to these for the life of the application.
int gArgc = 1;
char gProgramName[] = "tarnwick";
char* gArgv[] = {gProgramName, nullptr};

QEventLoop* gLoop = nullptr;  // the running loop, if any
std::optional<int32_t> gPendingQuit;

// The environment and the locale are read and set at start-up only, before
// the program runs threads of its own that could change them meanwhile.
bool HasEnv(const char* name) {
  const char* value = std::getenv(name);  // NOLINT(concurrency-mt-unsafe)
  return value != nullptr && value[0] != '\0';
}

bool CanConnect(const std::string& path, bool abstract) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const size_t offset = abstract ? 1 : 0;  // abstract names start with a zero byte
  if (path.size() + offset >= sizeof(address.sun_path)) return false;
  std::memcpy(address.sun_path + offset, path.data(), path.size());
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const auto length =
      static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size());
  const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0;
  ::close(fd);
  return connected;
}

// A local X display (":N" or "unix:N") must answer on its socket, in the file
// system or in the abstract namespace; remote displays are left for Qt to try.
bool XDisplayReachable() {
  if (!HasEnv("DISPLAY")) return false;
  std::string_view display(std::getenv("DISPLAY"));  // NOLINT(concurrency-mt-unsafe)
  if (display.starts_with("unix:")) display.remove_prefix(4);
  if (!display.starts_with(":")) return true;
  display.remove_prefix(1);
  const std::string socket = "/tmp/.X11-unix/X" + std::string(display.substr(0, display.find('.')));
  return CanConnect(socket, false) || CanConnect(socket, true);
}

// Qt aborts the process when its platform cannot start, so the usual
// platforms are only tried when their display is named.
bool PlatformAvailable() {
  const char* platform = std::getenv("QT_QPA_PLATFORM");  // NOLINT(concurrency-mt-unsafe)
  if (platform != nullptr && platform[0] != '\0') {
    const std::string_view name(platform);
    if (name.starts_with("xcb")) return XDisplayReachable();
    if (name.starts_with("wayland")) return HasEnv("WAYLAND_DISPLAY");
    return true;
  }
  return XDisplayReachable() || HasEnv("WAYLAND_DISPLAY");
}

// Texts of the folder dialog that Qt's Chinese catalogue lacks: the type
// column names every folder. Asked only after the catalogue itself.
class CatalogueGaps : public QTranslator {
 public:
  using QTranslator::QTranslator;
  bool isEmpty() const override { return false; }
  QString translate(const char* context, const char* source, const char*, int) const override {
    if (context == nullptr || source == nullptr) return {};
    if (std::string_view(context) != "QAbstractFileIconProvider") return {};
    static const std::map<std::string_view, QString> kTexts = {
        {"Folder", QStringLiteral("文件夹")},     {"File Folder", QStringLiteral("文件夹")},
        {"Drive", QStringLiteral("驱动器")},      {"File", QStringLiteral("文件")},
        {"Shortcut", QStringLiteral("快捷方式")}, {"Unknown", QStringLiteral("未知")}};
    const auto found = kTexts.find(source);
    return found != kTexts.end() ? found->second : QString();
  }
};

// The program speaks Chinese whatever the desktop's language, so the texts Qt
// brings along (standard buttons, the folder dialog) do too. Without the
// translation files they stay English, which is no reason to fail.
void LoadChineseTranslations(QApplication* app) {
  // Installed first, so it is asked last.
  app->installTranslator(new CatalogueGaps(app));
  auto* translator = new QTranslator(app);
  if (translator->load(QStringLiteral("qtbase_zh_CN"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    app->installTranslator(translator);
  } else {
    delete translator;
  }
}

}  // namespace

bool StartApplication() {
  if (QCoreApplication::instance() != nullptr) {
    BindUiThread();
    return true;
  }
  if (!PlatformAvailable()) return false;
  // Lives as long as the process: threads may still call in while it exits.
  auto* app = new QApplication(gArgc, gArgv);
  // The application takes the whole locale from the environment; numbers the
  // program writes keep the C format (a decimal point) under any of them,
  // while the character type stays the user's.
  std::setlocale(LC_NUMERIC, "C");  // NOLINT(concurrency-mt-unsafe)
  LoadChineseTranslations(app);
  InstallAccessibility();
  // Closing the window is reported to the program, which ends the loop itself.
  app->setQuitOnLastWindowClosed(false);
  BindUiThread();
  return true;
}

int32_t RunLoop() {
  if (gPendingQuit.has_value()) {
    const int32_t code = *gPendingQuit;
    gPendingQuit.reset();
    return code;
  }
  QEventLoop loop;
  QEventLoop* outer = gLoop;
  gLoop = &loop;
  SetLoopEnded(false);
  const int32_t code = loop.exec();
  gLoop = outer;
  if (gLoop == nullptr) SetLoopEnded(true);
  return code;
}

void QuitLoop(int32_t code) {
  if (gLoop == nullptr) {
    gPendingQuit = code;
    return;
  }
  gLoop->exit(code);
  DismissOpenBoxes();
}

void ProcessQueued() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

}  // namespace tw::engine
