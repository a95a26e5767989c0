#include "ui_engine/engine_loader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace tw::ui {
namespace {

namespace fs = std::filesystem;

class EngineSearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        fs::temp_directory_path() /
        ("tw_engine_search_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    search_.currentDirectory = dir_.string();
    search_.locationFiles = {(dir_ / "first.ini").string(), (dir_ / "second.ini").string()};
  }
  void TearDown() override { fs::remove_all(dir_); }

  void Write(const fs::path& file, const std::string& content) {
    std::ofstream(file, std::ios::binary) << content;
  }

  // Runs the search with an opener that accepts only `accepted`.
  std::vector<std::string> Tried(const std::string& accepted, void** handle = nullptr) {
    std::vector<std::string> opened;
    static int token;
    void* h = OpenEngine(
        search_,
        [&](const std::string& path) -> void* {
          opened.push_back(path);
          return path == accepted ? &token : nullptr;
        },
        nullptr);
    if (handle != nullptr) *handle = h;
    return opened;
  }

  fs::path dir_;
  EngineSearch search_;
};

// The same four places on both systems, each in the system's own spelling.
#if defined(_WIN32)
const std::string kName = "UiEngine.dll";
const std::string kBelow = "lib\\UiEngine\\UiEngine.dll";
const std::string kSep = "\\";
#else
const std::string kName = "libUiEngine.so";
const std::string kBelow = "lib/UiEngine/libUiEngine.so";
const std::string kSep = "/";
#endif

TEST_F(EngineSearchTest, TriesThePlacesInOrderAndStopsAtTheFirstSuccess) {
  const std::string cwd = dir_.string();
  EXPECT_EQ(Tried("none"),
            (std::vector<std::string>{cwd + kSep + kName, cwd + kSep + kBelow, kName, kBelow}));
  void* handle = nullptr;
  EXPECT_EQ(Tried(kName, &handle).size(), 3u);
  EXPECT_NE(handle, nullptr);
}

TEST(EngineSearchDefaults, LocationFilesAreTheSystemsOwn) {
#if defined(_WIN32)
  EXPECT_EQ(EngineSearch().locationFiles,
            (std::vector<std::string>{"C:\\UiEngine.ini", "D:\\UiEngine.ini"}));
#else
  EXPECT_EQ(EngineSearch().locationFiles,
            (std::vector<std::string>{"/etc/UiEngine.ini", "/usr/local/etc/UiEngine.ini"}));
#endif
}

TEST_F(EngineSearchTest, LocationFileNamesTheLibraryInItsFirstLine) {
  Write(dir_ / "first.ini", "/opt/engine/libUiEngine.so\r\nignored\n");
  EXPECT_EQ(Tried("none").back(), "/opt/engine/libUiEngine.so");
  void* handle = nullptr;
  Tried("/opt/engine/libUiEngine.so", &handle);
  EXPECT_NE(handle, nullptr);
}

TEST_F(EngineSearchTest, SecondLocationFileOnlyWhenTheFirstCannotBeOpened) {
  Write(dir_ / "second.ini", "/second/libUiEngine.so");
  EXPECT_EQ(Tried("none").back(), "/second/libUiEngine.so");
  // The first file opens, so the second is never read, even if the first
  // names nothing usable.
  Write(dir_ / "first.ini", "/first/libUiEngine.so\n");
  EXPECT_EQ(Tried("none").back(), "/first/libUiEngine.so");
}

TEST_F(EngineSearchTest, LocationFileIsReadUpTo255Bytes) {
  const std::string longPath = "/" + std::string(300, 'a');
  Write(dir_ / "first.ini", longPath);
  EXPECT_EQ(ReadLocationFile((dir_ / "first.ini").string()), longPath.substr(0, 255));
  EXPECT_EQ(ReadLocationFile((dir_ / "absent.ini").string()), "");
}

TEST_F(EngineSearchTest, MissingLibraryNamesEveryPlaceTried) {
  EngineExports exports;
  const LoadResult result = LoadEngine(search_, &exports);
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.message.find(dir_.string() + kSep + kName), std::string::npos);
  EXPECT_NE(result.message.find(kBelow), std::string::npos);
  EXPECT_NE(result.message.find("first.ini"), std::string::npos);
  EXPECT_EQ(exports.EngineStartup, nullptr);
}

TEST_F(EngineSearchTest, LibraryMissingAnExportIsRefusedBeforeAnyCall) {
  Write(dir_ / "first.ini", PARTIAL_ENGINE_PATH "\n");
  EngineExports exports;
  const LoadResult result = LoadEngine(search_, &exports);
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.message.find("lacks the export ReleaseTextBuffer"), std::string::npos)
      << result.message;
}

}  // namespace
}  // namespace tw::ui
