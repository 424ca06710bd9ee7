#include "tools/ovpack/text.hpp"

#include <stdexcept>

namespace ov::tools {

bool utf16_from_utf8(std::string_view utf8, std::u16string& utf16)
{
  utf16.clear();
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    char32_t value;
    std::size_t length;
    if (lead < 0x80) {
      value = lead;
      length = 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      value = lead & 0x1F;
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      value = lead & 0x0F;
      length = 3;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      value = lead & 0x07;
      length = 4;
    } else {
      return false;
    }
    if (utf8.size() - i < length)
      return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(utf8[i + k]);
      if ((next & 0xC0) != 0x80)
        return false;
      value = (value << 6) | (next & 0x3F);
    }
    // Overlong three- and four-byte forms, surrogates and values beyond Unicode.
    if ((length == 3 && value < 0x800) || (length == 4 && (value < 0x10000 || value > 0x10FFFF)) ||
        (value >= 0xD800 && value <= 0xDFFF))
      return false;
    if (value >= 0x10000) {
      value -= 0x10000;
      utf16.push_back(static_cast<char16_t>(0xD800 + (value >> 10)));
      utf16.push_back(static_cast<char16_t>(0xDC00 + (value & 0x3FF)));
    } else {
      utf16.push_back(static_cast<char16_t>(value));
    }
    i += length;
  }
  return true;
}

std::string utf8_from_utf16(std::u16string_view utf16)
{
  std::string utf8;
  utf8.reserve(utf16.size());
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    char32_t value = utf16[i];
    if (value >= 0xD800 && value <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
        utf16[i + 1] <= 0xDFFF) {
      value = 0x10000 + ((value - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
      ++i;
    } else if (value >= 0xD800 && value <= 0xDFFF) {
      value = 0xFFFD;
    }
    if (value < 0x80) {
      utf8.push_back(static_cast<char>(value));
    } else if (value < 0x800) {
      utf8.push_back(static_cast<char>(0xC0 | (value >> 6)));
      utf8.push_back(static_cast<char>(0x80 | (value & 0x3F)));
    } else if (value < 0x10000) {
      utf8.push_back(static_cast<char>(0xE0 | (value >> 12)));
      utf8.push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
      utf8.push_back(static_cast<char>(0x80 | (value & 0x3F)));
    } else {
      utf8.push_back(static_cast<char>(0xF0 | (value >> 18)));
      utf8.push_back(static_cast<char>(0x80 | ((value >> 12) & 0x3F)));
      utf8.push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
      utf8.push_back(static_cast<char>(0x80 | (value & 0x3F)));
    }
  }
  return utf8;
}

boost::filesystem::path path_from_utf8(const std::string& utf8)
{
#ifdef _WIN32
  std::u16string utf16;
  if (!utf16_from_utf8(utf8, utf16))
    throw std::invalid_argument("not valid UTF-8: " + utf8);
  return boost::filesystem::path(std::wstring(utf16.begin(), utf16.end()));
#else
  return boost::filesystem::path(utf8);
#endif
}

std::string utf8_from_path(const boost::filesystem::path& path)
{
#ifdef _WIN32
  const std::wstring& wide = path.native();
  return utf8_from_utf16(std::u16string(wide.begin(), wide.end()));
#else
  return path.native();
#endif
}

} // namespace ov::tools
