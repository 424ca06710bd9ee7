#include "tools/ovpack/manifest.hpp"

#include "payload/file_stream.hpp"
#include "payload/payload_header.hpp"
#include "tools/ovpack/failure.hpp"
#include "tools/ovpack/text.hpp"

#include <algorithm>
#include <sstream>
#include <string_view>

namespace ov::tools {

namespace {

std::vector<std::string_view> split(std::string_view text, std::string_view separators)
{
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find_first_of(separators, start);
    parts.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos)
      return parts;
    start = end + 1;
  }
}

bool parse_kind(std::string_view text, std::uint32_t& kind)
{
  if (text.empty() || text.size() > 3 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return false;
  kind = static_cast<std::uint32_t>(std::stoul(std::string(text)));
  return kind <= max_entry_kind;
}

// A source whose file name the installer can create (the installer refuses the others).
bool valid_file_name(const std::u16string& source)
{
  try {
    entry_file_name(source);
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

class line_checker {
public:
  line_checker(std::string where) : where_(std::move(where)) {}

  [[noreturn]] void refuse(const std::string& what) const { throw command_failure(where_, what, invalid_input()); }

  manifest_entry parse(std::string_view text, std::size_t line, const boost::filesystem::path& folder) const
  {
    const std::vector<std::string_view> fields = split(text, "\t");
    if (fields.size() != 3)
      refuse("malformed line: expected KIND<TAB>DESTINATION<TAB>SOURCE, found " + std::to_string(fields.size()) +
             " field(s)");
    manifest_entry entry;
    entry.line = line;
    if (!parse_kind(fields[0], entry.kind))
      refuse("bad kind \"" + std::string(fields[0]) + "\": expected a number from 0 to " +
             std::to_string(max_entry_kind));

    std::u16string ignored;
    entry.destination = std::string(fields[1]);
    if (!utf16_from_utf8(entry.destination, ignored))
      refuse("malformed line: the destination is not valid UTF-8");
    if (entry.destination.empty())
      refuse("malformed line: empty destination directory");
    for (std::string_view component : split(entry.destination, "\\/"))
      if (component == "..")
        refuse("destination \"" + entry.destination + "\" leaves its folder (\"..\")");

    std::string source(fields[2]);
    std::replace(source.begin(), source.end(), '\\', '/');
    std::u16string source16;
    if (!utf16_from_utf8(source, source16))
      refuse("malformed line: the source is not valid UTF-8");
    if (!valid_file_name(source16))
      refuse("source \"" + std::string(fields[2]) + "\" does not end in a valid file name");
    entry.source = source;
    const boost::filesystem::path relative = path_from_utf8(source);
    entry.source_file = relative.is_absolute() ? relative : folder / relative;
    return entry;
  }

private:
  std::string where_;
};

} // namespace

std::vector<manifest_entry> read_manifest(const boost::filesystem::path& manifest)
{
  const std::string name = utf8_from_path(manifest);
  input_file_stream stream(manifest);
  if (!stream.is_open())
    throw command_failure(name, "cannot open the manifest", last_file_error());
  std::ostringstream content;
  content << stream.rdbuf();
  // Copying from the buffer leaves the stream's state alone: a failed read shows only in the
  // recorded error.
  if (stream.bad() || recorded_file_error())
    throw command_failure(name, "cannot read the manifest", last_file_error());
  std::string text = content.str();
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
    text.erase(0, 3);

  const boost::filesystem::path folder = manifest.parent_path();
  std::vector<manifest_entry> entries;
  std::size_t line = 0;
  for (std::string_view row : split(text, "\n")) {
    ++line;
    if (!row.empty() && row.back() == '\r')
      row.remove_suffix(1);
    if (row.empty() || row.front() == '#')
      continue;
    entries.push_back(line_checker(name + ":" + std::to_string(line)).parse(row, line, folder));
  }
  return entries;
}

} // namespace ov::tools
