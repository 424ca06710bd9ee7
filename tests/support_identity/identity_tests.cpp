// Product identity under Wine: texts built from the compiled-in constants, the version resources
// of real executables (the setup program's own, a private debug build, a pre-release, files
// without version resource or translation table) and the display name message boxes fall back to.
#include "framework/winapp.hpp"
#include "support/identity.hpp"
#include "support/language.hpp"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

const std::wstring en_dash = L" \u2013 ";

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH] = {};
  DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

// A probe program built beside this test.
std::wstring Probe(const wchar_t* name) { return ProgramFolder() + name + L".exe"; }

// Restores the interface language a test changes.
struct LanguageGuard {
  int saved = ov::GetLanguage();
  ~LanguageGuard() { ov::SetLanguage(saved); }
};

// Runs a probe program, which writes its display name into a scratch file; answers it.
std::wstring DisplayNameOfProbe(const wchar_t* probe) {
  wchar_t folder[MAX_PATH] = {};
  wchar_t file[MAX_PATH] = {};
  EXPECT_NE(::GetTempPathW(MAX_PATH, folder), 0u);
  EXPECT_NE(::GetTempFileNameW(folder, L"idn", 0, file), 0u);
  std::wstring command = L"\"" + Probe(probe) + L"\" \"" + file + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  std::wstring result;
  if (::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    ::GetExitCodeProcess(process.hProcess, &code);
    EXPECT_EQ(code, 0u) << "probe failed";
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    HANDLE handle = ::CreateFileW(file, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      wchar_t buffer[512];
      DWORD read = 0;
      if (::ReadFile(handle, buffer, sizeof buffer, &read, nullptr)) result.assign(buffer, read / sizeof(wchar_t));
      ::CloseHandle(handle);
    }
  } else {
    ADD_FAILURE() << "cannot start the probe, error " << ::GetLastError();
  }
  ::DeleteFileW(file);
  return result;
}

TEST(ProductTexts, NamesAndVersionsFromTheConstants) {
  EXPECT_EQ(ov::GetProductText(true), L"Vestrilo");
  EXPECT_EQ(ov::GetProductText(false), L"Vestrilo 1.22");
  EXPECT_EQ(ov::GetUninstallKeyName(), L"Vestrilo 1");
  EXPECT_EQ(ov::own_version_number, 0x0001001600000001ull);
  EXPECT_EQ(ov::PackVersion(2, 2, 0, 3), 0x0002000200000003ull);
  // Numeric order over the whole number: 1.3 is older than 1.22.
  EXPECT_LT(ov::PackVersion(1, 3, 0, 0), ov::PackVersion(1, 22, 0, 0));
  EXPECT_LT(ov::PackVersion(1, 22, 0, 1), ov::PackVersion(1, 22, 0, 2));
}

TEST(ProductTexts, UninstallKeyNameAppendsTheMajorVersionUnlessTheNameEndsInADigit) {
  struct Case {
    const wchar_t* product;
    unsigned major;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {L"Vestrilo", 1, L"Vestrilo 1"},
      {L"Vestrilo", 12, L"Vestrilo 12"},
      {L"Vestrilo2", 1, L"Vestrilo2"},
      {L"Studio 9", 1, L"Studio 9"},
      {L"Vestrilo X", 3, L"Vestrilo X 3"},
      // Only the digits 0-9 count: an Arabic-Indic three or a superscript two is not one.
      {L"Vestrilo \u0663", 1, L"Vestrilo \u0663 1"},
      {L"Vestrilo\u00B2", 1, L"Vestrilo\u00B2 1"},
  };
  for (const Case& c : cases) EXPECT_EQ(ov::MakeUninstallKeyName(c.product, c.major), c.expected) << c.product;
}

TEST(ProductTexts, ApplicationTitleFollowsTheInterfaceLanguage) {
  LanguageGuard guard;
  struct Case {
    int language;
    const wchar_t* shortTitle;
  };
  // Italian has no text 0 of its own in this program (it holds "#"): English stands in.
  const Case cases[] = {{ov::LanguageEnglish, L"Installer"}, {ov::LanguageFrench, L"Installeur"}, {11, L"Installer"}};
  for (const Case& c : cases) {
    ov::SetLanguage(c.language);
    EXPECT_EQ(ov::GetApplicationTitle(false), c.shortTitle) << c.language;
    EXPECT_EQ(ov::GetApplicationTitle(true), std::wstring(c.shortTitle) + en_dash + L"Vestrilo 1.22") << c.language;
  }
}

TEST(VersionDisplayText, MarksPrivateThenDebugBuilds) {
  struct Case {
    std::uint32_t flags;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {0x00, L"P 1.0"},
      {0x01, L"P 1.0 \u2013 Debug"},
      {0x08, L"P 1.0 \u2013 Private"},
      {0x09, L"P 1.0 \u2013 Private \u2013 Debug"},
      {0x36, L"P 1.0"},  // pre-release, patched, special build, info inferred: no mark
  };
  for (const Case& c : cases) EXPECT_EQ(ov::MakeVersionDisplayText(L"P", L"1.0", c.flags), c.expected) << c.flags;
}

TEST(ReadVersionInfo, TheSetupProgramsOwnResource) {
  const std::wstring file = Probe(L"identity_probe_setup");
  struct Case {
    std::uint32_t items;
    const wchar_t* display;
    std::uint64_t number;
  };
  const Case cases[] = {
      {0x11, L"Install 2.02", 0},
      {0x21, L"Install 2.02", 0x0002000200000003ull},
      {0x01, L"Install 2.02", 0},
  };
  for (const Case& c : cases) {
    ov::VersionInfo info;
    info.items = c.items;
    ASSERT_TRUE(ov::ReadVersionInfo(info, file.c_str())) << c.items;
    EXPECT_EQ(info.display_text, c.display) << c.items;
    EXPECT_EQ(info.version_number, c.number) << c.items;
    if (c.items & ov::VersionItemCopyright) {
      EXPECT_NE(info.copyright.find(L"Orvane & Drey"), std::wstring::npos);
    }
  }

  ov::VersionInfo all;
  ASSERT_TRUE(ov::ReadVersionInfo(all, file.c_str()));
  EXPECT_EQ(all.display_text, L"Install 2.02");
  EXPECT_EQ(all.name, L"Install");
  EXPECT_EQ(all.version, L"2.02");
  EXPECT_EQ(all.description, L"Installeur Vestrilo 1.22");
  EXPECT_FALSE(all.copyright.empty());
  EXPECT_EQ(all.version_number, 0x0002000200000003ull);
  EXPECT_EQ(all.file_flags, 0u);

  // The raw block: one translation, neutral language with the Unicode code page; the items
  // the reader does not return are there too.
  DWORD ignored = 0;
  DWORD size = ::GetFileVersionInfoSizeW(file.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<BYTE> data(size);
  ASSERT_TRUE(::GetFileVersionInfoW(file.c_str(), 0, size, data.data()));
  void* pointer = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &pointer, &length));
  ASSERT_EQ(length, 2 * sizeof(WORD));
  EXPECT_EQ(static_cast<WORD*>(pointer)[0], 0x0400);
  EXPECT_EQ(static_cast<WORD*>(pointer)[1], 0x04B0);
  const std::pair<const wchar_t*, const wchar_t*> strings[] = {
      {L"CompanyName", L"Orvane & Drey"}, {L"InternalName", L"Install"}, {L"FileVersion", L"2.2.0.3"}};
  for (const auto& [item, value] : strings) {
    std::wstring query = std::wstring(L"\\StringFileInfo\\040004B0\\") + item;
    ASSERT_TRUE(::VerQueryValueW(data.data(), query.c_str(), &pointer, &length)) << item;
    EXPECT_STREQ(static_cast<const wchar_t*>(pointer), value);
  }
  VS_FIXEDFILEINFO* fixed = nullptr;
  ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00020002u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00000003u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00020002u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x00000003u);
  EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
  EXPECT_EQ(fixed->dwFileFlags, 0u);
}

TEST(ReadVersionInfo, PrivateDebugBuild) {
  ov::VersionInfo info;
  ASSERT_TRUE(ov::ReadVersionInfo(info, Probe(L"identity_probe_private_debug").c_str()));
  EXPECT_EQ(info.display_text, L"Probe 3.1 \u2013 Private \u2013 Debug");
  EXPECT_EQ(info.file_flags, 0x09u);
  EXPECT_EQ(info.version_number, ov::PackVersion(3, 1, 4, 1592));
  EXPECT_EQ(info.name, L"Probe");
  EXPECT_EQ(info.version, L"3.1");
  EXPECT_EQ(info.description, L"Probe private debug");
  EXPECT_EQ(info.copyright, L"Probe copyright");
}

TEST(ReadVersionInfo, RunningProgramIsAPreReleaseWithoutCopyright) {
  // This program's own resource: the private-build flag lies outside its mask, so no mark;
  // the missing LegalCopyright makes the answer false while everything else is filled.
  ov::VersionInfo info;
  EXPECT_FALSE(ov::ReadVersionInfo(info));
  EXPECT_EQ(info.display_text, L"Vestrilo b\u00EAta 1.23 b\u00EAta 2");
  EXPECT_EQ(info.name, L"Vestrilo b\u00EAta");
  EXPECT_EQ(info.version, L"1.23 b\u00EAta 2");
  EXPECT_EQ(info.description, L"Banc d'essai b\u00EAta");
  EXPECT_TRUE(info.copyright.empty());
  EXPECT_EQ(info.file_flags, 0x02u);
  EXPECT_EQ(info.version_number, ov::PackVersion(1, 23, 0, 7));

  ov::VersionInfo without;
  without.items = ov::VersionItemAll & ~ov::VersionItemCopyright;
  EXPECT_TRUE(ov::ReadVersionInfo(without));
}

TEST(ReadVersionInfo, OnlyTheAskedItemsAreTouched) {
  ov::VersionInfo info;
  info.items = ov::VersionItemName;
  info.version = L"kept";
  info.description = L"kept";
  info.file_flags = 0x1234;
  info.version_number = 99;
  ASSERT_TRUE(ov::ReadVersionInfo(info, Probe(L"identity_probe_private_debug").c_str()));
  EXPECT_EQ(info.name, L"Probe");
  EXPECT_TRUE(info.display_text.empty());
  EXPECT_EQ(info.version, L"kept");
  EXPECT_EQ(info.description, L"kept");
  EXPECT_EQ(info.file_flags, 0x1234u);
  EXPECT_EQ(info.version_number, 0u);  // always reset
}

TEST(ReadVersionInfo, FilesWithoutUsableResourceAnswerFalseWithResetFields) {
  const std::wstring files[] = {
      Probe(L"identity_probe_no_version"),
      Probe(L"identity_probe_no_translation"),
      ProgramFolder() + L"no such file.exe",
  };
  for (const std::wstring& file : files) {
    ov::VersionInfo info;
    info.display_text = L"stale";
    info.name = L"stale";
    info.copyright = L"stale";
    info.version_number = 42;
    info.file_flags = 0x77;
    EXPECT_FALSE(ov::ReadVersionInfo(info, file.c_str()));
    EXPECT_TRUE(info.display_text.empty());
    EXPECT_TRUE(info.name.empty());
    EXPECT_TRUE(info.copyright.empty());
    EXPECT_EQ(info.version_number, 0u);
    EXPECT_EQ(info.file_flags, 0x77u) << "the flags field is left as it was";
  }
}

TEST(ReadVersionInfo, APathTooLongIsRefusedNotCut) {
  // A copy of the setup probe whose path has exactly 259 characters, and a longer path that
  // begins with it: cutting the longer one would read the copy.
  wchar_t temp[MAX_PATH] = {};
  ASSERT_NE(::GetTempPathW(MAX_PATH, temp), 0u);
  std::wstring folder = std::wstring(temp) + L"idlong\\";
  ::CreateDirectoryW(folder.c_str(), nullptr);
  ASSERT_LT(folder.size() + 10, 259u);
  const std::wstring exact = folder + std::wstring(259 - folder.size() - 4, L'v') + L".exe";
  ASSERT_EQ(exact.size(), 259u);
  ASSERT_TRUE(::CopyFileW(Probe(L"identity_probe_setup").c_str(), exact.c_str(), FALSE)) << ::GetLastError();

  ov::VersionInfo info;
  EXPECT_TRUE(ov::ReadVersionInfo(info, exact.c_str())) << "259 characters still fit";
  EXPECT_EQ(info.display_text, L"Install 2.02");
  const std::wstring longer = exact + L"\\other.exe";
  EXPECT_FALSE(ov::ReadVersionInfo(info, longer.c_str()));
  EXPECT_TRUE(info.display_text.empty());
  EXPECT_EQ(info.version_number, 0u);

  EXPECT_TRUE(::DeleteFileW(exact.c_str()));
  EXPECT_TRUE(::RemoveDirectoryW(folder.c_str()));
}

TEST(ApplicationDisplayName, PreReleaseSpellingOutsideFrench) {
  struct Case {
    std::uint32_t flags;
    LANGID language;
    const wchar_t* expected;
  };
  const wchar_t* text = L"b\u00EAta 1 b\u00EAtabl\u00EAta";
  const Case cases[] = {
      {0x02, 0x0407, L"beta 1 betabl\u00EAta"},
      {0x02, 0x0409, L"beta 1 betabl\u00EAta"},
      {0x02, 0x040C, text},
      {0x02, 0x0C0C, text},  // French of Canada is French too
      {0x00, 0x0407, text},  // not a pre-release
      {0x09, 0x0407, text},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ov::AdjustPreReleaseSpelling(text, c.flags, c.language), c.expected) << c.flags << " " << c.language;
  }
}

TEST(ApplicationDisplayName, RunningPreReleaseInGermanAndFrenchInterfaces) {
  LanguageGuard guard;
  ASSERT_EQ(AfxGetApp(), nullptr);
  ov::SetLanguage(ov::LanguageGerman);
  EXPECT_EQ(ov::GetApplicationDisplayName(), L"Vestrilo beta 1.23 beta 2");
  ov::SetLanguage(ov::LanguageFrench);
  EXPECT_EQ(ov::GetApplicationDisplayName(), L"Vestrilo b\u00EAta 1.23 b\u00EAta 2");
}

TEST(ApplicationDisplayName, TheApplicationNameComesFirst) {
  {
    CWinApp app(L"Installer \u2013 Vestrilo 1.22");
    EXPECT_EQ(ov::GetApplicationDisplayName(), L"Installer \u2013 Vestrilo 1.22");
    app.SetAppName(L"");
    LanguageGuard guard;
    ov::SetLanguage(ov::LanguageGerman);
    EXPECT_EQ(ov::GetApplicationDisplayName(), L"Vestrilo beta 1.23 beta 2") << "an empty name does not count";
  }
  ASSERT_EQ(AfxGetApp(), nullptr);
}

TEST(ApplicationDisplayName, OtherProgramsFallBackToVersionThenFileName) {
  struct Case {
    const wchar_t* probe;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {L"identity_probe_setup", L"Install 2.02"},
      {L"identity_probe_private_debug", L"Probe 3.1 \u2013 Private \u2013 Debug"},
      {L"identity_probe_no_version", L"identity_probe_no_version"},
      {L"identity_probe_no_translation", L"identity_probe_no_translation"},
  };
  for (const Case& c : cases) EXPECT_EQ(DisplayNameOfProbe(c.probe), c.expected) << c.probe;
}

}  // namespace
