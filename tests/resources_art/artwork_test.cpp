// The artwork resources as the program finds them in its own executable: the application icon
// with its three images, the eighteen flag icons and the frame's 256-colour side picture. The
// resources are read raw (FindResourceW) and through the loaders the program uses (LoadIconW,
// LoadImageW), so both the files and the resource script are checked.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "resources/art/artwork_ids.h"

namespace {

#pragma pack(push, 2)
struct GroupIconHeader {  // the RT_GROUP_ICON directory
  WORD reserved;
  WORD type;  // 1 for icons
  WORD count;
};
struct GroupIconEntry {
  BYTE width;
  BYTE height;
  BYTE colour_count;
  BYTE reserved;
  WORD planes;
  WORD bit_count;
  DWORD bytes_in_resource;
  WORD id;  // the RT_ICON resource holding the image
};
#pragma pack(pop)
static_assert(sizeof(GroupIconHeader) == 6 && sizeof(GroupIconEntry) == 14);

struct ResourceBytes {
  const BYTE* data = nullptr;
  DWORD size = 0;
};

ResourceBytes FindBytes(int id, LPCWSTR type) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(id), type);
  if (!info) return {};
  HGLOBAL loaded = LoadResource(module, info);
  if (!loaded) return {};
  return {static_cast<const BYTE*>(LockResource(loaded)), SizeofResource(module, info)};
}

std::vector<GroupIconEntry> IconDirectory(int id) {
  ResourceBytes group = FindBytes(id, RT_GROUP_ICON);
  if (!group.data || group.size < sizeof(GroupIconHeader)) return {};
  GroupIconHeader header;
  std::memcpy(&header, group.data, sizeof header);
  if (header.reserved != 0 || header.type != 1) return {};
  if (group.size < sizeof header + header.count * sizeof(GroupIconEntry)) return {};
  std::vector<GroupIconEntry> entries(header.count);
  std::memcpy(entries.data(), group.data + sizeof header, header.count * sizeof(GroupIconEntry));
  return entries;
}

BITMAPINFOHEADER HeaderOf(const ResourceBytes& bytes) {
  BITMAPINFOHEADER header{};
  if (bytes.data && bytes.size >= sizeof header) std::memcpy(&header, bytes.data, sizeof header);
  return header;
}

int RowBytes(int width, int bits) { return ((width * bits + 31) / 32) * 4; }

// Size of an icon's colour bitmap as the system made it.
SIZE IconBitmapSize(HICON icon) {
  ICONINFO info{};
  if (!GetIconInfo(icon, &info)) return {0, 0};
  BITMAP bitmap{};
  GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  return {bitmap.bmWidth, bitmap.bmHeight};
}

// Top-down 0x00RRGGBB pixels of an icon's colour bitmap, read back through GetDIBits.
std::vector<uint32_t> IconPixels(HICON icon, int width, int height) {
  ICONINFO info{};
  if (!GetIconInfo(icon, &info)) return {};
  std::vector<uint32_t> pixels(width * height);
  BITMAPINFO request{};
  request.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  request.bmiHeader.biWidth = width;
  request.bmiHeader.biHeight = -height;
  request.bmiHeader.biPlanes = 1;
  request.bmiHeader.biBitCount = 32;
  request.bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(nullptr);
  int lines = GetDIBits(screen, info.hbmColor, 0, height, pixels.data(), &request, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  if (lines != height) return {};
  for (uint32_t& p : pixels) p &= 0xFFFFFF;
  return pixels;
}

// ---------------------------------------------------------------------------------------------
// Application icon

TEST(AppIcon, DirectoryHolds16_32And48PixelImagesWith32BitColour) {
  std::vector<GroupIconEntry> entries = IconDirectory(IDI_SETUP);
  ASSERT_EQ(entries.size(), 3u);
  std::set<int> sizes;
  for (const GroupIconEntry& entry : entries) {
    SCOPED_TRACE(entry.width);
    EXPECT_EQ(entry.width, entry.height);
    EXPECT_EQ(entry.bit_count, 32);
    EXPECT_EQ(entry.planes, 1);
    sizes.insert(entry.width);

    // The single image the entry names must be there and be what the entry says.
    ResourceBytes image = FindBytes(entry.id, RT_ICON);
    ASSERT_NE(image.data, nullptr);
    EXPECT_EQ(image.size, entry.bytes_in_resource);
    BITMAPINFOHEADER header = HeaderOf(image);
    EXPECT_EQ(header.biWidth, entry.width);
    EXPECT_EQ(header.biHeight, 2 * entry.width);  // colour rows and mask rows
    EXPECT_EQ(header.biBitCount, 32);
    EXPECT_EQ(image.size, sizeof header + entry.width * RowBytes(entry.width, 32) +
                              entry.width * RowBytes(entry.width, 1));
  }
  EXPECT_EQ(sizes, (std::set<int>{16, 32, 48}));
}

TEST(AppIcon, EachImageIsTransparentAroundTheMotifAndItsMaskAgreesWithTheAlpha) {
  for (const GroupIconEntry& entry : IconDirectory(IDI_SETUP)) {
    SCOPED_TRACE(entry.width);
    ResourceBytes image = FindBytes(entry.id, RT_ICON);
    ASSERT_NE(image.data, nullptr);
    const int size = entry.width;
    const BYTE* colour = image.data + sizeof(BITMAPINFOHEADER);
    const BYTE* mask = colour + size * RowBytes(size, 32);
    int transparent = 0, opaque = 0;
    for (int y = 0; y < size; ++y) {
      for (int x = 0; x < size; ++x) {
        BYTE alpha = colour[y * RowBytes(size, 32) + 4 * x + 3];
        bool masked = mask[y * RowBytes(size, 1) + x / 8] & (0x80 >> (x % 8));
        transparent += alpha == 0;
        opaque += alpha == 255;
        ASSERT_EQ(masked, alpha == 0) << "pixel " << x << "," << y;
      }
    }
    EXPECT_GT(transparent, 0);
    EXPECT_GT(opaque, size * size / 2);
  }
}

TEST(AppIcon, SystemPicksTheImageOfEachSize) {
  ResourceBytes group = FindBytes(IDI_SETUP, RT_GROUP_ICON);
  ASSERT_NE(group.data, nullptr);
  std::vector<GroupIconEntry> entries = IconDirectory(IDI_SETUP);
  std::set<int> chosen;
  for (int size : {16, 32, 48}) {
    SCOPED_TRACE(size);
    int id = LookupIconIdFromDirectoryEx(const_cast<PBYTE>(group.data), TRUE, size, size,
                                         LR_DEFAULTCOLOR);
    auto entry = std::find_if(entries.begin(), entries.end(),
                              [id](const GroupIconEntry& e) { return e.id == id; });
    ASSERT_NE(entry, entries.end());
    EXPECT_EQ(entry->width, size);
    chosen.insert(id);
  }
  EXPECT_EQ(chosen.size(), 3u);
}

TEST(AppIcon, LoadsAtTheSystemIconSizeAndAtEachOwnSize) {
  HMODULE module = GetModuleHandleW(nullptr);
  HICON standard = LoadIconW(module, MAKEINTRESOURCEW(IDI_SETUP));
  ASSERT_NE(standard, nullptr);
  SIZE size = IconBitmapSize(standard);
  EXPECT_EQ(size.cx, GetSystemMetrics(SM_CXICON));
  EXPECT_EQ(size.cy, GetSystemMetrics(SM_CYICON));
  for (int want : {16, 32, 48}) {
    SCOPED_TRACE(want);
    HICON icon = static_cast<HICON>(
        LoadImageW(module, MAKEINTRESOURCEW(IDI_SETUP), IMAGE_ICON, want, want, LR_DEFAULTCOLOR));
    ASSERT_NE(icon, nullptr);
    size = IconBitmapSize(icon);
    EXPECT_EQ(size.cx, want);
    EXPECT_EQ(size.cy, want);
    DestroyIcon(icon);
  }
}

// ---------------------------------------------------------------------------------------------
// Flag icons

enum class Ink { Black, White, Red, Blue, Green, Yellow };

const char* InkName(Ink ink) {
  static const char* const names[] = {"black", "white", "red", "blue", "green", "yellow"};
  return names[static_cast<int>(ink)];
}

// The nearest of the few colours flags are made of.
Ink Classify(uint32_t rgb) {
  struct Reference { Ink ink; int r, g, b; };
  static const Reference references[] = {
      {Ink::Black, 0, 0, 0},     {Ink::White, 255, 255, 255}, {Ink::Red, 200, 16, 46},
      {Ink::Blue, 0, 56, 168},   {Ink::Green, 0, 146, 70},    {Ink::Yellow, 255, 206, 0}};
  int r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
  Ink best = Ink::Black;
  long best_distance = -1;
  for (const Reference& ref : references) {
    long d = long(r - ref.r) * (r - ref.r) + long(g - ref.g) * (g - ref.g) +
             long(b - ref.b) * (b - ref.b);
    if (best_distance < 0 || d < best_distance) best = ref.ink, best_distance = d;
  }
  return best;
}

struct Probe { int x, y; Ink ink; };
struct FlagCase {
  int id;
  const char* country;
  std::vector<Probe> probes;  // pixels (from the top left) whose colour identifies the flag
};

// The icon ids of the catalogue's languages, each with spots that tell its country's flag
// from the others.
const std::vector<FlagCase>& FlagCases() {
  using I = Ink;
  static const std::vector<FlagCase> cases = {
      {141, "Germany", {{9, 1, I::Black}, {9, 6, I::Red}, {9, 10, I::Yellow}}},
      {142, "Denmark", {{2, 2, I::Red}, {5, 2, I::White}, {12, 5, I::White}, {12, 9, I::Red}}},
      {143, "Spain", {{12, 1, I::Red}, {12, 6, I::Yellow}, {12, 10, I::Red}}},
      {144, "France", {{2, 6, I::Blue}, {9, 6, I::White}, {15, 6, I::Red}}},
      {145, "United Kingdom", {{9, 0, I::Red}, {3, 6, I::Red}, {5, 0, I::Blue}, {7, 3, I::White}}},
      {146, "Italy", {{2, 6, I::Green}, {9, 6, I::White}, {15, 6, I::Red}}},
      {147, "Netherlands", {{9, 1, I::Red}, {9, 6, I::White}, {9, 10, I::Blue}}},
      {148, "Portugal", {{1, 1, I::Green}, {16, 1, I::Red}, {5, 5, I::Yellow}}},
      {149, "Turkey", {{1, 1, I::Red}, {16, 10, I::Red}, {3, 6, I::White}}},
      {150, "Bulgaria", {{9, 1, I::White}, {9, 6, I::Green}, {9, 10, I::Red}}},
      {151, "Romania", {{2, 6, I::Blue}, {9, 6, I::Yellow}, {15, 6, I::Red}}},
      {152, "China", {{3, 3, I::Yellow}, {15, 10, I::Red}, {1, 10, I::Red}}},
      {153, "Czechia", {{1, 6, I::Blue}, {15, 2, I::White}, {15, 9, I::Red}}},
      {154, "Norway", {{1, 1, I::Red}, {4, 1, I::White}, {5, 1, I::Blue}, {12, 5, I::Blue},
                       {12, 9, I::Red}}},
      {155, "Greece", {{1, 1, I::Blue}, {3, 1, I::White}, {10, 0, I::Blue}, {10, 1, I::White}}},
      {156, "Poland", {{9, 2, I::White}, {9, 9, I::Red}}},
      {157, "Israel", {{1, 0, I::White}, {9, 1, I::Blue}, {1, 6, I::White}, {9, 10, I::Blue}}},
      {158, "Vietnam", {{1, 1, I::Red}, {9, 6, I::Yellow}, {16, 10, I::Red}}},
  };
  return cases;
}

TEST(FlagIcons, EachHoldsOneOpaque18By12ImageOf24BitColour) {
  for (const FlagCase& flag : FlagCases()) {
    SCOPED_TRACE(flag.country);
    std::vector<GroupIconEntry> entries = IconDirectory(flag.id);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].width, 18);
    EXPECT_EQ(entries[0].height, 12);
    EXPECT_EQ(entries[0].bit_count, 24);

    ResourceBytes image = FindBytes(entries[0].id, RT_ICON);
    ASSERT_NE(image.data, nullptr);
    BITMAPINFOHEADER header = HeaderOf(image);
    EXPECT_EQ(header.biWidth, 18);
    EXPECT_EQ(header.biHeight, 24);
    EXPECT_EQ(header.biBitCount, 24);
    const DWORD colour_bytes = 12 * RowBytes(18, 24), mask_bytes = 12 * RowBytes(18, 1);
    ASSERT_EQ(image.size, sizeof header + colour_bytes + mask_bytes);
    const BYTE* mask = image.data + sizeof header + colour_bytes;
    EXPECT_TRUE(std::all_of(mask, mask + mask_bytes, [](BYTE b) { return b == 0; }))
        << "a flag has no transparent pixels";
  }
}

TEST(FlagIcons, LoadedPicturesShowTheirCountrysFlag) {
  HMODULE module = GetModuleHandleW(nullptr);
  for (const FlagCase& flag : FlagCases()) {
    SCOPED_TRACE(flag.country);
    HICON icon = static_cast<HICON>(
        LoadImageW(module, MAKEINTRESOURCEW(flag.id), IMAGE_ICON, 0, 0, LR_DEFAULTCOLOR));
    ASSERT_NE(icon, nullptr);
    SIZE size = IconBitmapSize(icon);
    EXPECT_EQ(size.cx, 18);
    EXPECT_EQ(size.cy, 12);
    std::vector<uint32_t> pixels = IconPixels(icon, 18, 12);
    DestroyIcon(icon);
    ASSERT_EQ(pixels.size(), 18u * 12u);
    for (const Probe& probe : flag.probes) {
      EXPECT_STREQ(InkName(Classify(pixels[probe.y * 18 + probe.x])), InkName(probe.ink))
          << "at " << probe.x << "," << probe.y;
    }
  }
}

TEST(FlagIcons, AllEighteenPicturesDiffer) {
  std::vector<std::string> pictures;
  for (const FlagCase& flag : FlagCases()) {
    std::vector<GroupIconEntry> entries = IconDirectory(flag.id);
    ASSERT_EQ(entries.size(), 1u) << flag.country;
    ResourceBytes image = FindBytes(entries[0].id, RT_ICON);
    ASSERT_NE(image.data, nullptr) << flag.country;
    pictures.emplace_back(reinterpret_cast<const char*>(image.data), image.size);
  }
  EXPECT_EQ(std::set<std::string>(pictures.begin(), pictures.end()).size(), pictures.size());
}

// The start page asks for 16 x 12 pictures of the 18 x 12 flags for its list.
TEST(FlagIcons, LoadAtTheStartPagesSize) {
  HMODULE module = GetModuleHandleW(nullptr);
  for (const FlagCase& flag : FlagCases()) {
    SCOPED_TRACE(flag.country);
    HICON icon = static_cast<HICON>(
        LoadImageW(module, MAKEINTRESOURCEW(flag.id), IMAGE_ICON, 16, 12, LR_DEFAULTCOLOR));
    ASSERT_NE(icon, nullptr);
    SIZE size = IconBitmapSize(icon);
    EXPECT_EQ(size.cx, 16);
    EXPECT_EQ(size.cy, 12);
    DestroyIcon(icon);
  }
}

// ---------------------------------------------------------------------------------------------
// The frame's side picture

constexpr int kPanelWidth = 87, kPanelHeight = 171;

TEST(PanelBitmap, ResourceIs87By171With256PaletteColours) {
  ResourceBytes bytes = FindBytes(IDB_PANEL, RT_BITMAP);
  ASSERT_NE(bytes.data, nullptr);
  BITMAPINFOHEADER header = HeaderOf(bytes);
  EXPECT_EQ(header.biSize, sizeof header);
  EXPECT_EQ(header.biWidth, kPanelWidth);
  EXPECT_EQ(header.biHeight, kPanelHeight);  // bottom-up
  EXPECT_EQ(header.biBitCount, 8);
  EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
  const DWORD colours = header.biClrUsed ? header.biClrUsed : 256;
  EXPECT_EQ(colours, 256u);
  const DWORD pixel_bytes = kPanelHeight * RowBytes(kPanelWidth, 8);
  ASSERT_EQ(bytes.size, sizeof header + colours * sizeof(RGBQUAD) + pixel_bytes);

  // A real picture, not a flat area: count the palette entries its pixels use.
  const BYTE* pixels = bytes.data + sizeof header + colours * sizeof(RGBQUAD);
  std::set<BYTE> used;
  for (int y = 0; y < kPanelHeight; ++y)
    for (int x = 0; x < kPanelWidth; ++x) used.insert(pixels[y * RowBytes(kPanelWidth, 8) + x]);
  EXPECT_GT(used.size(), 128u);
}

TEST(PanelBitmap, LoadsAsAn8BitSectionWithItsColourTable) {
  HANDLE loaded = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_PANEL), IMAGE_BITMAP,
                             0, 0, LR_CREATEDIBSECTION);
  ASSERT_NE(loaded, nullptr);
  HBITMAP bitmap = static_cast<HBITMAP>(loaded);
  DIBSECTION section{};
  ASSERT_EQ(GetObjectW(bitmap, sizeof section, &section), static_cast<int>(sizeof section));
  EXPECT_EQ(section.dsBm.bmWidth, kPanelWidth);
  EXPECT_EQ(section.dsBm.bmHeight, kPanelHeight);
  EXPECT_EQ(section.dsBm.bmBitsPixel, 8);
  EXPECT_EQ(section.dsBmih.biBitCount, 8);

  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ previous = SelectObject(dc, bitmap);
  RGBQUAD table[256];
  UINT entries = GetDIBColorTable(dc, 0, 256, table);
  SelectObject(dc, previous);
  DeleteDC(dc);
  DeleteObject(bitmap);
  EXPECT_EQ(entries, 256u);
}

TEST(PanelBitmap, LoadsAsADeviceBitmapOfItsOwnSize) {
  // The frame's picture control shows the bitmap at its own size.
  HBITMAP bitmap = LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_PANEL));
  ASSERT_NE(bitmap, nullptr);
  BITMAP info{};
  ASSERT_NE(GetObjectW(bitmap, sizeof info, &info), 0);
  EXPECT_EQ(info.bmWidth, kPanelWidth);
  EXPECT_EQ(info.bmHeight, kPanelHeight);
  DeleteObject(bitmap);
}

}  // namespace
