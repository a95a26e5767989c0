// The manifest of the built tarnwick.exe, read back through the system's own
// manifest reader: what counts is what Windows understands of it when it
// starts the program, not only what the file says.
// clang-format off
#include <windows.h>  // before the other Win32 headers, which need its types
// clang-format on
#include <gtest/gtest.h>

#include <cwctype>
#include <optional>
#include <string>
#include <vector>

namespace tw {
namespace {

constexpr wchar_t kSettings2005[] = L"http://schemas.microsoft.com/SMI/2005/WindowsSettings";
constexpr wchar_t kSettings2016[] = L"http://schemas.microsoft.com/SMI/2016/WindowsSettings";
constexpr wchar_t kSettings2019[] = L"http://schemas.microsoft.com/SMI/2019/WindowsSettings";
// The id Windows 10 and 11 both answer to.
constexpr GUID kWindows10{
    0x8e0f7a12, 0xbfb3, 0x4fe8, {0xb9, 0xa5, 0x48, 0xfd, 0x50, 0xa1, 0x5a, 0x9a}};

// The compatibility answer as Windows 10 (since 1903) and Wine write it: each
// element also carries the highest version tested, which the toolchain's
// headers do not know of yet.
struct CompatibilityElement {
  GUID id;
  ACTCTX_COMPATIBILITY_ELEMENT_TYPE type;
  ULONGLONG maxVersionTested;
};
struct CompatibilityInformation {
  DWORD elementCount;
  CompatibilityElement elements[4];
};

// The program is built into the same folder as this test.
std::wstring ProgramPath() {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path = self;
  return path.substr(0, path.find_last_of(L"\\/") + 1) + L"tarnwick.exe";
}

class ProgramManifest : public ::testing::Test {
 protected:
  void SetUp() override {
    ACTCTXW request{};
    request.cbSize = sizeof(request);
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = path_.c_str();
    request.lpResourceName = CREATEPROCESS_MANIFEST_RESOURCE_ID;
    context_ = CreateActCtxW(&request);
    ASSERT_NE(context_, INVALID_HANDLE_VALUE)
        << "the system reads no manifest from the program (error " << GetLastError() << ")";
  }
  void TearDown() override {
    if (context_ != INVALID_HANDLE_VALUE) ReleaseActCtx(context_);
  }

  // A windowsSettings entry as the system read it; none when it has none.
  std::optional<std::wstring> Setting(const wchar_t* space, const wchar_t* name) const {
    wchar_t value[128] = {};
    SIZE_T written = 0;
    if (!QueryActCtxSettingsW(0, context_, space, name, value, 128, &written)) return std::nullopt;
    return std::wstring(value);
  }

  // The manifest's own bytes, and the ids of every manifest the program holds.
  std::string RawManifest(std::vector<ULONG_PTR>* ids) const {
    HMODULE module = LoadLibraryExW(path_.c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (module == nullptr) return {};
    EnumResourceNamesW(
        module, RT_MANIFEST,
        [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found) -> BOOL {
          reinterpret_cast<std::vector<ULONG_PTR>*>(found)->push_back(
              reinterpret_cast<ULONG_PTR>(name));
          return TRUE;
        },
        reinterpret_cast<LONG_PTR>(ids));
    std::string bytes;
    if (HRSRC found = FindResourceW(module, CREATEPROCESS_MANIFEST_RESOURCE_ID, RT_MANIFEST)) {
      const auto* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
      if (data != nullptr) bytes.assign(data, SizeofResource(module, found));
    }
    FreeLibrary(module);
    return bytes;
  }

  std::wstring path_ = ProgramPath();
  HANDLE context_ = INVALID_HANDLE_VALUE;
};

TEST_F(ProgramManifest, AsksForPerMonitorScalingLongPathsAndNoElevation) {
  EXPECT_EQ(Setting(kSettings2016, L"dpiAwareness").value_or(L"<none>"),
            L"PerMonitorV2, PerMonitor");
  EXPECT_EQ(Setting(kSettings2005, L"dpiAware").value_or(L"<none>"), L"true/pm")
      << "Windows 10 before 1607 would stretch the window";
  EXPECT_EQ(Setting(kSettings2016, L"longPathAware").value_or(L"<none>"), L"true");

  ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION level{};
  ASSERT_TRUE(QueryActCtxW(0, context_, nullptr, RunlevelInformationInActivationContext, &level,
                           sizeof(level), nullptr));
  EXPECT_EQ(level.RunLevel, ACTCTX_RUN_LEVEL_AS_INVOKER);

  // Without it Windows 10 and 11 would treat the program as one for an older system.
  CompatibilityInformation compatibility{};
  ASSERT_TRUE(QueryActCtxW(0, context_, nullptr, CompatibilityInformationInActivationContext,
                           &compatibility, sizeof(compatibility), nullptr));
  ASSERT_LE(compatibility.elementCount, 4u);
  bool windows10 = false;
  for (DWORD i = 0; i < compatibility.elementCount; ++i) {
    const CompatibilityElement& element = compatibility.elements[i];
    windows10 |= element.type == ACTCTX_COMPATIBILITY_ELEMENT_TYPE_OS &&
                 IsEqualGUID(element.id, kWindows10) != 0;
  }
  EXPECT_TRUE(windows10) << "Windows 10 and 11 are not among the supported systems";
}

// The system folder's comctl32.dll is version 5, unthemed; version 6 lives in
// the side-by-side store and is loaded only for a context that asks for it.
TEST_F(ProgramManifest, BringsTheVersionSixCommonControls) {
  ULONG_PTR cookie = 0;
  ASSERT_TRUE(ActivateActCtx(context_, &cookie));
  HMODULE controls = LoadLibraryW(L"comctl32.dll");
  DeactivateActCtx(0, cookie);
  ASSERT_NE(controls, nullptr);
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(controls, path, MAX_PATH);
  FreeLibrary(controls);
  std::wstring lower = path;
  for (wchar_t& c : lower) c = static_cast<wchar_t>(towlower(c));
  EXPECT_NE(lower.find(L"\\winsxs\\amd64_microsoft.windows.common-controls_6595b64144ccf1df_6."),
            std::wstring::npos)
      << "comctl32.dll came from " << testing::PrintToString(std::wstring(path));
}

// The program's texts are code page 936: a UTF-8 process code page would turn
// every one of them into mojibake.
TEST_F(ProgramManifest, KeepsTheSystemCodePageAndIsTheOnlyOne) {
  std::vector<ULONG_PTR> ids;
  const std::string raw = RawManifest(&ids);
  ASSERT_FALSE(raw.empty()) << "no manifest resource in the program";
  EXPECT_EQ(raw.find("activeCodePage"), std::string::npos);
  EXPECT_FALSE(Setting(kSettings2019, L"activeCodePage").has_value());
  // A second manifest (a toolchain's default one, say) would leave it to the
  // loader which one counts.
  EXPECT_EQ(ids, std::vector<ULONG_PTR>{1});
}

}  // namespace
}  // namespace tw
