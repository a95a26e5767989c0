// Target paths beyond Windows' classic 260-character limit, and network paths:
// the part file, its record, the continuation, the checksum files and the
// final rename all reach the same files. The same cases run in both trees; on
// POSIX systems a long path is nothing special, which they show too.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <vector>

#include "download/digest.h"
#include "download/download_job.h"
#include "download/extended_length_path.h"
#include "download/part_file.h"
#include "download/resume_rules.h"
#include "tests/download/report_log.h"
#include "tests/support/files.h"
#include "tests/support/http_server.h"
#include "tests/support/temp_folder.h"
#include "text/convert.h"
#include "text/path_separator.h"

#if defined(_WIN32)
#include <direct.h>

#include <cstdio>

#include "download/part_file_platform.h"
#endif

namespace tw {
namespace {

constexpr size_t kSize = 120000;
constexpr size_t kStuckAt = 60000;  // where every response breaks off while the server drops

TEST(ExtendedLengthForm, DrivePathsAndNetworkPathsGetTheirPrefixes) {
  EXPECT_EQ(ExtendedLengthForm(u"C:\\a\\b.iso"), u"\\\\?\\C:\\a\\b.iso");
  EXPECT_EQ(ExtendedLengthForm(u"d:\\"), u"\\\\?\\d:\\");
  EXPECT_EQ(ExtendedLengthForm(u"\\\\server\\share\\b.iso"), u"\\\\?\\UNC\\server\\share\\b.iso");
  // Already in a device form, or not absolute: nothing to add.
  for (const std::u16string path : {u"\\\\?\\C:\\a", u"\\\\?\\UNC\\s\\h\\a", u"\\\\.\\C:\\a",
                                    u"a\\b", u"\\a\\b", u"C:a", u"\\\\\\a", u"\\\\", u""}) {
    EXPECT_EQ(ExtendedLengthForm(path), path);
  }
}

// Serves kSize bytes by ranges with one validator; while `dropping`, each
// response breaks off at byte kStuckAt of the file.
class RangeServer {
 public:
  explicit RangeServer(const std::string& content) : content_(content) {
    http_.server().Get("/file", [this](const httplib::Request& request,
                                       httplib::Response& response) { Serve(request, response); });
    http_.Start();
  }

  std::string Url() const { return http_.Url("/file"); }
  std::vector<std::string> Ranges() {
    std::lock_guard guard(mutex_);
    return ranges_;
  }
  std::atomic<bool> dropping{true};

 private:
  void Serve(const httplib::Request& request, httplib::Response& response) {
#if !defined(_WIN32)
    // Ranges are answered here, not by the library.
    const_cast<httplib::Request&>(request).ranges.clear();
#endif
    const std::string range = request.get_header_value("Range");
    {
      std::lock_guard guard(mutex_);
      ranges_.push_back(range);
    }
    const size_t first = range.starts_with("bytes=") ? std::stoul(range.substr(6)) : 0;
    response.status = 206;
    response.set_header("ETag", "\"v1\"");
    response.set_header("Content-Range", "bytes " + std::to_string(first) + "-" +
                                             std::to_string(content_.size() - 1) + "/" +
                                             std::to_string(content_.size()));
    const bool drops = dropping;
    response.set_content_provider(
        content_.size() - first, "application/octet-stream",
        [this, first, drops](size_t offset, size_t length, httplib::DataSink& sink) {
          if (drops && first + offset >= kStuckAt) return false;
          size_t n = std::min<size_t>(length, 4096);
          if (drops) n = std::min(n, kStuckAt - first - offset);
          sink.write(content_.data() + first + offset, n);
          return true;
        });
  }

  std::string content_;
  std::mutex mutex_;
  std::vector<std::string> ranges_;
  testing::LocalHttpServer http_;  // last: it stops before the rest goes
};

DownloadFailure Run(const std::string& url, const Text& path) {
  auto done = std::make_shared<AutoResetEvent>();
  auto job = std::make_unique<DownloadJob>();
  job->SetResumeWaitUnit(5);
  job->Start(url, path, ProgressCallback(), 1, done);
  EXPECT_TRUE(done->Wait(20000)) << "no end of the download within 20 s";
  job->Stop();
  return job->Failure();
}

// The file as the test reads it back, named without the code under test: on
// Windows the extended-length form is written out here.
std::filesystem::path ReadBack(const Text& gbkPath) {
#if defined(_WIN32)
  const std::u16string utf16 = GbkToUtf16(gbkPath);
  const std::wstring wide(utf16.begin(), utf16.end());
  if (wide.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + wide.substr(2);
  return L"\\\\?\\" + wide;
#else
  return GbkToUtf8(gbkPath);
#endif
}

bool Present(const Text& gbkPath) { return std::ifstream(ReadBack(gbkPath)).is_open(); }

std::string ChecksumLine(DigestKind kind, const std::string& bytes, const Text& name) {
  std::unique_ptr<Digest> digest = MakeDigest(kind);
  digest->Update(bytes.data(), bytes.size());
  return digest->FinishHex() + "  " + GbkToUtf8(name) + "\n";
}

// `base`, then five folders of 60 characters, the last one Chinese in part:
// with the image's name, well beyond 260 characters on any system.
Text LongFolder(const Text& base) {
  Text folder = base;
  for (char c = 'a'; c < 'f'; ++c) folder += kPathSeparator + Text(60, c);
  return folder + kPathSeparator + Utf8ToGbk("系统镜像");
}

void RemovePath(const Text& gbkPath) {
#if defined(_WIN32)
  // Not std::filesystem: on Windows itself its stat refuses the "?" of the
  // extended-length form.
  const std::wstring name = ReadBack(gbkPath).wstring();
  if (_wremove(name.c_str()) != 0) _wrmdir(name.c_str());
#else
  std::error_code ignored;
  std::filesystem::remove(ReadBack(gbkPath), ignored);
#endif
}

// Takes away the download's files and the folders made for them, deepest
// first: std::filesystem::remove_all lists a folder on Windows through a
// runtime call that stops at 260 characters.
class DownloadCleanup {
 public:
  DownloadCleanup(const Text& base, const Text& folder, const Text& name)
      : base_(base), folder_(folder), name_(name) {}
  ~DownloadCleanup() {
    for (const char* suffix : {"", ".sha256", ".sha1", ".part", ".part.resume"}) {
      RemovePath(folder_ + kPathSeparator + name_ + suffix);
    }
    for (Text at = folder_; at.size() > base_.size(); at.resize(FindLastText(at, kPathSeparator))) {
      RemovePath(at);
    }
  }
  DownloadCleanup(const DownloadCleanup&) = delete;
  DownloadCleanup& operator=(const DownloadCleanup&) = delete;

 private:
  Text base_, folder_, name_;
};

// Breaks off on every try, then continues in a later run to the whole file,
// checking each file the download keeps on the way. `folder` lies below
// `base`, which stays.
void DownloadInTwoRuns(const Text& base, const Text& folder) {
  const std::string content = testing::Pattern(kSize, 5);
  RangeServer server(content);
  const Text name = Utf8ToGbk("镜像.iso");
  const Text path = folder + kPathSeparator + name;
  const DownloadCleanup cleanup(base, folder, name);
  ASSERT_GT(GbkToUtf16(path).size(), 300u);

  EXPECT_EQ(Run(server.Url(), path), DownloadFailure::kBrokeOff);
  const size_t kept = kStuckAt;
  EXPECT_TRUE(testing::ReadFile(ReadBack(PartPath(path))) == content.substr(0, kept));
  EXPECT_EQ(ResumableBytes(path), static_cast<int64_t>(kept));
#if defined(_WIN32)
  EXPECT_EQ(testing::ReadFile(ReadBack(path + ".part.resume")),
            std::to_string(kSize) + " http \"v1\"");
#endif
  EXPECT_TRUE(FreeBytesFor(path).has_value());
  EXPECT_FALSE(Present(path));

  server.dropping = false;
  EXPECT_EQ(Run(server.Url(), path), DownloadFailure::kNone);
  EXPECT_EQ(server.Ranges().back(), "bytes=" + std::to_string(kept) + "-");
  EXPECT_TRUE(testing::ReadFile(ReadBack(path)) == content);
  EXPECT_FALSE(Present(PartPath(path)));
  EXPECT_FALSE(Present(path + ".part.resume"));
  EXPECT_EQ(testing::ReadFile(ReadBack(path + ".sha256")),
            ChecksumLine(DigestKind::kSha256, content, name));
  EXPECT_EQ(testing::ReadFile(ReadBack(path + ".sha1")),
            ChecksumLine(DigestKind::kSha1, content, name));
}

TEST(LongPath, ADownloadBeyond260CharactersIsWrittenContinuedAndRenamed) {
  testing::TempFolder base("longpath");
  const Text root = Utf16ToGbk(base.dir().u16string());
  DownloadInTwoRuns(root, LongFolder(root));
  EXPECT_TRUE(testing::WaitForEngineThreads());
}

#if defined(_WIN32)
std::wstring Wide(const Text& gbk) {
  const std::u16string utf16 = GbkToUtf16(gbk);
  return std::wstring(utf16.begin(), utf16.end());
}

std::wstring Native(const Text& gbkPath) {
  return part_file_platform::NativePath(gbkPath).wstring();
}

// A network share of this machine as Wine offers one: Wine reads
// \\localhost\<name> from the prefix's folder "dosdevices/unc/localhost/<name>",
// made here through the drive Z:, which maps the root of the file system.
class WineShare {
 public:
  explicit WineShare(const std::string& name) : name_(name) {
    const wchar_t* prefix = _wgetenv(L"WINEPREFIX");
    if (prefix == nullptr) return;
    std::wstring folder = std::wstring(L"Z:") + prefix + L"/dosdevices/unc/localhost/";
    std::replace(folder.begin(), folder.end(), L'/', L'\\');
    folder_ = std::filesystem::path(folder) / name;
    std::error_code error;
    std::filesystem::create_directories(folder_, error);
    if (error) folder_.clear();
  }
  ~WineShare() {
    std::error_code ignored;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
  }
  bool made() const { return !folder_.empty(); }
  Text Path() const { return "\\\\localhost\\" + name_; }

 private:
  std::string name_;
  std::filesystem::path folder_;
};

TEST(LongPath, ADownloadToANetworkPathBeyond260Characters) {
  const testing::TempFolder unique("share");
  const WineShare share(unique.dir().filename().string());
  if (!share.made()) GTEST_SKIP() << "no Wine prefix to offer a share of this machine in";
  DownloadInTwoRuns(share.Path(), LongFolder(share.Path()));
  EXPECT_TRUE(testing::WaitForEngineThreads());
}

TEST(LongPath, LongPathsTakeTheExtendedLengthFormOfTheFullPath) {
  testing::TempFolder base("longpath");
  const Text root = Utf16ToGbk(base.dir().u16string());
  const Text target = LongFolder(root) + "\\x.iso";
  EXPECT_EQ(Native(target), L"\\\\?\\" + Wide(target));
  // Slashes, "." and ".." mean in a long path what the system makes of them
  // in a short one; the extended-length form would take them literally.
  const Text winding = root + "/./zz/../" + target.substr(root.size() + 1);
  EXPECT_EQ(Native(winding), L"\\\\?\\" + Wide(target));
  const Text network = "\\\\server\\share\\" + Text(250, 'n') + ".iso";
  EXPECT_EQ(Native(network), L"\\\\?\\UNC" + Wide(network.substr(1)));
  // Short paths go as they are given.
  const Text shortPath = root + "/zz/../x.iso";
  EXPECT_EQ(Native(shortPath), Wide(shortPath));
}
#endif

}  // namespace
}  // namespace tw
