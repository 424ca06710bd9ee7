#include "support/identity.hpp"

#include "framework/winapp.hpp"
#include "support/language.hpp"

#include <cwchar>
#include <vector>

namespace ov {

namespace {

constexpr wchar_t en_dash_separator[] = L" \u2013 ";
constexpr std::uint32_t vs_ff_debug = 0x01;       // VS_FF_DEBUG
constexpr std::uint32_t vs_ff_prerelease = 0x02;  // VS_FF_PRERELEASE
constexpr std::uint32_t vs_ff_privatebuild = 0x08;  // VS_FF_PRIVATEBUILD

// The path the version resource is read from, in a buffer of MAX_PATH characters as the
// version functions expect it.
bool VersionFilePath(const wchar_t* path, wchar_t (&buffer)[MAX_PATH]) {
  if (path) {
    // A longer path is refused rather than cut: its first 259 characters may well name another
    // file, whose version would then be reported as this one's.
    if (wcsnlen(path, MAX_PATH) >= MAX_PATH) return false;
    ::lstrcpynW(buffer, path, MAX_PATH);
    return true;
  }
  DWORD length = ::GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  return length > 0 && length < MAX_PATH;
}

// One string of the version resource's string block; false when it is absent.
bool QueryString(const std::vector<BYTE>& data, const std::wstring& block, const wchar_t* item,
                 std::wstring& value) {
  std::wstring query = block + L"\\" + item;
  void* pointer = nullptr;
  UINT length = 0;
  if (!::VerQueryValueW(data.data(), query.c_str(), &pointer, &length) || !pointer) return false;
  // The length counts characters and may include the terminating null.
  const wchar_t* text = static_cast<const wchar_t*>(pointer);
  value.assign(text, wcsnlen(text, length));
  return true;
}

}  // namespace

std::wstring GetProductText(bool nameOnly) {
  std::wstring text = product_name;
  if (!nameOnly) {
    text += L' ';
    text += short_version_text;
  }
  return text;
}

std::wstring MakeUninstallKeyName(std::wstring_view productName, unsigned majorVersion) {
  std::wstring name(productName);
  // The decimal digits of the classic locale are '0' to '9' only. (The runtime's wide digit test
  // also accepts other scripts' digits and superscripts, so it is not asked.)
  if (name.empty() || name.back() < L'0' || name.back() > L'9') {
    name += L' ';
    name += std::to_wstring(majorVersion);
  }
  return name;
}

std::wstring GetUninstallKeyName() { return MakeUninstallKeyName(product_name, key_major_version); }

std::wstring MakeApplicationTitle(std::wstring_view text0, bool withProduct) {
  std::wstring title(text0);
  if (withProduct) {
    title += en_dash_separator;
    title += GetProductText(false);
  }
  return title;
}

std::wstring GetApplicationTitle(bool withProduct) {
  return MakeApplicationTitle(LoadText(TextBaseId + 0), withProduct);
}

// The marks a build's file flags add to its display text.
static std::wstring BuildMarks(std::uint32_t fileFlags) {
  std::wstring text;
  if (fileFlags & vs_ff_privatebuild) {
    text += en_dash_separator;
    text += L"Private";
  }
  if (fileFlags & vs_ff_debug) {
    text += en_dash_separator;
    text += L"Debug";
  }
  return text;
}

std::wstring MakeVersionDisplayText(std::wstring_view productName, std::wstring_view productVersion,
                                    std::uint32_t fileFlags) {
  std::wstring text(productName);
  text += L' ';
  text += productVersion;
  return text + BuildMarks(fileFlags);
}

bool ReadVersionInfo(VersionInfo& info, const wchar_t* path) {
  const std::uint32_t items = info.items;
  const bool wantDisplay = items & VersionItemDisplayText;

  info.version_number = 0;
  if (wantDisplay) info.display_text.clear();
  if (items & VersionItemName) info.name.clear();
  if (items & VersionItemVersion) info.version.clear();
  if (items & VersionItemDescription) info.description.clear();
  if (items & VersionItemCopyright) info.copyright.clear();

  wchar_t file[MAX_PATH] = {};
  if (!VersionFilePath(path, file)) return false;

  DWORD ignored = 0;
  DWORD size = ::GetFileVersionInfoSizeW(file, &ignored);
  if (size == 0) return false;
  std::vector<BYTE> data;
  try {
    data.resize(size);
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (!::GetFileVersionInfoW(file, 0, size, data.data())) return false;

  void* pointer = nullptr;
  UINT length = 0;
  if (!::VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &pointer, &length) || !pointer ||
      length < 2 * sizeof(WORD)) {
    return false;
  }
  const WORD* translation = static_cast<const WORD*>(pointer);
  wchar_t block[32];
  std::swprintf(block, 32, L"\\StringFileInfo\\%04hX%04hX", translation[0], translation[1]);

  bool result = true;
  if (items & (VersionItemDisplayText | VersionItemName)) {
    std::wstring value;
    result = QueryString(data, block, L"ProductName", value);
    if (result) {
      if (wantDisplay) info.display_text = value;
      if (items & VersionItemName) info.name = value;
    }
  }
  if (items & (VersionItemDisplayText | VersionItemVersion)) {
    std::wstring value;
    if (QueryString(data, block, L"ProductVersion", value)) {
      if (wantDisplay) info.display_text += L' ' + value;
      if (items & VersionItemVersion) info.version = value;
    } else {
      result = false;
    }
  }
  if (items & (VersionItemDisplayText | VersionItemNumber | VersionItemFlags)) {
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedLength = 0;
    if (::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedLength) && fixed &&
        fixedLength >= sizeof(VS_FIXEDFILEINFO)) {
      if (items & VersionItemNumber) {
        info.version_number = (std::uint64_t(fixed->dwFileVersionMS) << 32) | fixed->dwFileVersionLS;
      }
      std::uint32_t flags = fixed->dwFileFlags & fixed->dwFileFlagsMask;
      if (items & VersionItemFlags) info.file_flags = flags;
      if (wantDisplay) info.display_text += BuildMarks(flags);
    } else {
      result = false;
    }
  }
  if (items & VersionItemDescription) {
    if (!QueryString(data, block, L"FileDescription", info.description)) result = false;
  }
  if (items & VersionItemCopyright) {
    if (!QueryString(data, block, L"LegalCopyright", info.copyright)) result = false;
  }
  return result;
}

std::wstring AdjustPreReleaseSpelling(std::wstring text, std::uint32_t fileFlags, LANGID languageId) {
  if (!(fileFlags & vs_ff_prerelease) || PRIMARYLANGID(languageId) == LANG_FRENCH) return text;
  static constexpr std::wstring_view accented = L"b\u00EAta";
  for (size_t at = text.find(accented); at != std::wstring::npos; at = text.find(accented, at + 4)) {
    text[at + 1] = L'e';
  }
  return text;
}

std::wstring GetApplicationDisplayName() {
  const wchar_t* appName = AfxGetAppName();
  if (appName && *appName) return appName;

  VersionInfo info;
  info.items = VersionItemDisplayText | VersionItemFlags;
  if (ReadVersionInfo(info)) return AdjustPreReleaseSpelling(info.display_text, info.file_flags, GetLanguageId());
  return AfxGetModuleBaseName();
}

}  // namespace ov
