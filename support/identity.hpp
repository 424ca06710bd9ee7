// Product identity: the names and versions compiled into the setup program, the texts built
// from them, and the reader of version resources.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace ov {

// What the setup program installs.
inline constexpr wchar_t product_name[] = L"Vestrilo";
inline constexpr wchar_t short_version_text[] = L"1.22";
inline constexpr std::uint16_t version_parts[4] = {1, 22, 0, 1};
inline constexpr wchar_t maker_folder[] = L"Orvane & Drey";
inline constexpr unsigned key_major_version = 1;

// Four 16-bit parts packed most significant first, as a version resource's fixed file version.
constexpr std::uint64_t PackVersion(std::uint16_t major, std::uint16_t minor, std::uint16_t build,
                                    std::uint16_t revision) {
  return (std::uint64_t(major) << 48) | (std::uint64_t(minor) << 32) | (std::uint64_t(build) << 16) |
         std::uint64_t(revision);
}

// The version number of the product this program installs (1.22.0.1).
inline constexpr std::uint64_t own_version_number =
    PackVersion(version_parts[0], version_parts[1], version_parts[2], version_parts[3]);

// The product name when `nameOnly`, else the product title ("Vestrilo 1.22").
std::wstring GetProductText(bool nameOnly);

// The name of the product's key under the Uninstall registry key, also the product's folder
// name: "Vestrilo 1".
std::wstring GetUninstallKeyName();
// The rule behind it: the product name, then a blank and the major version unless the name
// already ends in a decimal digit.
std::wstring MakeUninstallKeyName(std::wstring_view productName, unsigned majorVersion);

// Text 0 of the catalogue in the current language; with `withProduct`, followed by " – " and
// the product title ("Installer – Vestrilo 1.22").
std::wstring GetApplicationTitle(bool withProduct);
// The rule behind it, for a given text 0.
std::wstring MakeApplicationTitle(std::wstring_view text0, bool withProduct);

// The items of a version resource ReadVersionInfo can fill.
enum VersionItem : std::uint32_t {
  VersionItemDisplayText = 0x01,  // ProductName, a blank, ProductVersion, build marks
  VersionItemName = 0x02,         // ProductName
  VersionItemVersion = 0x04,      // ProductVersion
  VersionItemDescription = 0x08,  // FileDescription
  VersionItemCopyright = 0x10,    // LegalCopyright
  VersionItemNumber = 0x20,       // fixed file version
  VersionItemFlags = 0x40,        // fixed file flags, masked
  VersionItemAll = 0xFFFFFFFFu,
};

// The caller sets `items`; ReadVersionInfo fills the fields of the items asked for.
struct VersionInfo {
  std::uint32_t items = VersionItemAll;
  std::uint64_t version_number = 0;  // dwFileVersionMS << 32 | dwFileVersionLS
  std::uint32_t file_flags = 0;      // dwFileFlags & dwFileFlagsMask
  std::wstring display_text;         // e.g. "Install 2.02", "X 1.0 – Private – Debug"
  std::wstring name;
  std::wstring version;
  std::wstring description;
  std::wstring copyright;
};

// Reads the version resource of the file at `path` (false for a path of more than 259 characters), or of
// the running program when `path` is null. True when every item asked for was found; items
// found are filled even when another is missing. A file without version resource or without
// translation table answers false with version number 0 and the asked texts empty.
bool ReadVersionInfo(VersionInfo& info, const wchar_t* path = nullptr);

// The display text of a version resource from its parts.
std::wstring MakeVersionDisplayText(std::wstring_view productName, std::wstring_view productVersion,
                                    std::uint32_t fileFlags);

// The name message boxes carry when the application has none: the application name if the
// application object has one; else the running program's version display text (with "bêta"
// spelled "beta" for a pre-release outside a French interface); else the program's file name
// without folder and extension.
std::wstring GetApplicationDisplayName();
// The spelling rule above: every "bêta" becomes "beta" when `fileFlags` mark a pre-release
// and the primary language of `languageId` is not French.
std::wstring AdjustPreReleaseSpelling(std::wstring text, std::uint32_t fileFlags, LANGID languageId);

}  // namespace ov
