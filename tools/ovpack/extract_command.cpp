// ovpack extract ARCHIVE --map PLACEHOLDER=DIR ...
// Places the archive's files with extract_payload, as the installer's file placement does,
// with the folders the placeholders stand for given on the command line. Like the installer,
// it first checks the whole bzip2 stream, so that a damaged archive writes nothing.
#include "payload/compress_error.hpp"
#include "payload/extract.hpp"
#include "payload/file_stream.hpp"
#include "payload/payload_extractor.hpp"
#include "payload/shell_folder.hpp"
#include "tools/ovpack/archive_header.hpp"
#include "tools/ovpack/commands.hpp"
#include "tools/ovpack/console.hpp"
#include "tools/ovpack/failure.hpp"
#include "tools/ovpack/text.hpp"

#include <boost/filesystem/operations.hpp>

#include <map>
#include <optional>

namespace ov::tools {

namespace {

namespace fs = boost::filesystem;

// The placeholders --map accepts, and the special folder each one stands for (none for the
// three folders the installation itself supplies).
struct placeholder_name {
  const char* name;
  std::optional<int> special_folder;
};

const placeholder_name placeholders[] = {
    {"<InstallPath>", std::nullopt},          {"<SamplePath>", std::nullopt},
    {"<Temporary>", std::nullopt},            {"<ProgramFiles>", csidl::program_files},
    {"<ProgramCommon>", csidl::program_files_common}, {"<CommonData>", csidl::common_appdata},
    {"<UserData>", csidl::appdata},           {"<CommonDocuments>", csidl::common_documents},
    {"<Documents>", csidl::personal},         {"<CommonDesktop>", csidl::common_desktop_directory},
    {"<Desktop>", csidl::desktop_directory},  {"<WinDir>", csidl::windows},
    {"<System>", csidl::system},
};

const placeholder_name* find_placeholder(const std::string& name)
{
  for (const placeholder_name& p : placeholders)
    if (name == p.name)
      return &p;
  return nullptr;
}

struct extract_options {
  std::string archive;
  std::map<std::string, fs::path> folders; // placeholder -> absolute folder
};

extract_options parse_arguments(const arguments& args)
{
  extract_options options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string map;
    if (args[i] == "--map") {
      if (++i == args.size())
        throw usage_error("--map needs PLACEHOLDER=DIR");
      map = args[i];
    } else if (args[i].rfind("--map=", 0) == 0) {
      map = args[i].substr(6);
    } else if (args[i].rfind("--", 0) == 0 || !options.archive.empty()) {
      throw usage_error("unexpected argument \"" + args[i] + "\"");
    } else {
      options.archive = args[i];
      continue;
    }
    const std::size_t equals = map.find('=');
    if (equals == std::string::npos || equals + 1 == map.size())
      throw usage_error("--map needs PLACEHOLDER=DIR, got \"" + map + "\"");
    const std::string name = map.substr(0, equals);
    if (!find_placeholder(name))
      throw usage_error("unknown placeholder \"" + name + "\"");
    if (options.folders.count(name))
      throw usage_error("placeholder \"" + name + "\" is mapped twice");
    options.folders[name] = fs::absolute(path_from_utf8(map.substr(equals + 1)));
  }
  if (options.archive.empty())
    throw usage_error("extract needs an archive");
  return options;
}

// Every placeholder the archive uses must have been given: one that is missing would resolve
// to some other folder of this machine, or fail half-way.
void check_placeholders(const extract_options& options)
{
  archive_stream archive(path_from_utf8(options.archive));
  const payload_header header = archive.read_header();
  for (std::size_t i = 0; i < header.entries.size(); ++i) {
    const std::string destination = utf8_from_utf16(header.entries[i].destination);
    const std::string first = destination.substr(0, destination.find_first_of("\\/"));
    if (first.size() < 2 || first.front() != '<' || first.back() != '>' || options.folders.count(first))
      continue;
    const std::string entry = " (entry " + std::to_string(i + 1) + ", \"" + destination + "\")";
    throw command_failure(options.archive,
                          (find_placeholder(first) ? "no --map gives the folder of " : "unknown placeholder ") +
                              first + entry,
                          make_error_code(compress_errc::unexpected_error));
  }
}

fs::path folder_of(const extract_options& options, const char* placeholder)
{
  const auto found = options.folders.find(placeholder);
  return found == options.folders.end() ? fs::path() : found->second;
}

} // namespace

int extract_command(const arguments& args)
{
  const extract_options options = parse_arguments(args);
  const fs::path archive = path_from_utf8(options.archive);
  check_placeholders(options);

  clear_special_folders();
  for (const auto& [name, folder] : options.folders)
    if (const auto special = find_placeholder(name)->special_folder)
      set_special_folder(*special, folder);

  std::size_t files = 0;
  std::optional<extraction_failure> failure;
  std::uint64_t total = 0;
  progress_bar bar("extracting");
  auto observer = [&](const notification& n) {
    if (n.get_if<notification::start>()) {
      // The installer's pre-check: nothing is written from a damaged stream.
      input_file_stream check(archive);
      if (!check.is_open() || !verify_payload(check))
        throw std::system_error(make_error_code(compress_errc::unknown_error));
    } else if (const auto* p = n.get_if<notification::progress>()) {
      bar.update(p->position, p->total);
    } else if (n.get_if<notification::file_end>()) {
      ++files;
    } else if (const auto* f = n.get_if<notification::finished>()) {
      total = f->total;
    } else if (const auto* e = n.get_if<notification::error>()) {
      failure = e->failure;
    }
    return notification::result::proceed;
  };

  input_file_stream source(archive);
  if (!source.is_open())
    throw command_failure(options.archive, "cannot open the archive", last_file_error());
  const bool placed = extract_payload(source, folder_of(options, "<InstallPath>"), folder_of(options, "<SamplePath>"),
                                      folder_of(options, "<Temporary>"), observer);
  bar.finish();
  if (!placed) {
    const std::string where = failure && !failure->path.empty() ? utf8_from_path(failure->path) : options.archive;
    const std::error_code code = failure ? failure->code : make_error_code(compress_errc::unexpected_error);
    const char* what = code == make_error_code(compress_errc::unknown_error) ? "the bzip2 stream is damaged or incomplete; nothing was written"
                                                                               : "extraction failed";
    throw command_failure(where, what, code);
  }
  write_out(options.archive + ": " + std::to_string(files) + " files placed, " + std::to_string(total) +
            " bytes decompressed\n");
  return exit_success;
}

} // namespace ov::tools
