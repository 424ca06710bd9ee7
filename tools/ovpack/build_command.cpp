// ovpack build MANIFEST ARCHIVE
#include "tools/ovpack/archive_writer.hpp"
#include "tools/ovpack/commands.hpp"
#include "tools/ovpack/console.hpp"
#include "tools/ovpack/manifest.hpp"
#include "tools/ovpack/text.hpp"

namespace ov::tools {

int build_command(const arguments& args)
{
  if (args.size() != 2)
    throw usage_error("build takes a manifest and an archive");
  const boost::filesystem::path manifest = path_from_utf8(args[0]);
  const boost::filesystem::path archive = path_from_utf8(args[1]);
  const std::vector<manifest_entry> entries = read_manifest(manifest);

  progress_bar bar("building");
  const archive_summary summary =
      write_archive(entries, args[0], archive, [&](std::uint64_t done, std::uint64_t total) { bar.update(done, total); });
  bar.finish();
  write_out(args[1] + ": " + std::to_string(summary.entries) + " entries, header " +
            std::to_string(summary.header_size) + " bytes, " + std::to_string(summary.total) +
            " bytes decompressed\n");
  return exit_success;
}

} // namespace ov::tools
