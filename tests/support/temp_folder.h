// A fresh folder under the system's temporary folder for one test, removed
// with everything in it when the test lets it go.
#pragma once

#include <filesystem>
#include <string>

namespace tw::testing {

class TempFolder {
 public:
  // `tag` goes into the name, so that a folder left by a crash says whose it was.
  explicit TempFolder(const std::string& tag = "test");
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& dir() const { return dir_; }
  std::string path() const { return dir_.string(); }
  std::string File(const std::string& name) const { return (dir_ / name).string(); }

 private:
  std::filesystem::path dir_;
};

}  // namespace tw::testing
