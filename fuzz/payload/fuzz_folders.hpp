// The folders the payload fuzz targets write into: a scratch folder in the build tree, one per
// process, emptied after every input. Every special folder points inside it, so no input can
// make the extraction write anywhere else.
#pragma once

#include "payload/shell_folder.hpp"

#include <boost/filesystem/directory.hpp>
#include <boost/filesystem/operations.hpp>

#include <cstdlib>
#include <string>

#include <unistd.h>

namespace ov::fuzz {

inline const boost::filesystem::path& scratch_root()
{
    static const boost::filesystem::path root = [] {
        const boost::filesystem::path path =
            boost::filesystem::path(OV_FUZZ_SCRATCH) / std::to_string(getpid());
        boost::filesystem::create_directories(path);
        for (int id : {csidl::personal, csidl::desktop_directory, csidl::common_desktop_directory,
                       csidl::appdata, csidl::common_appdata, csidl::windows, csidl::system,
                       csidl::program_files, csidl::program_files_common, csidl::common_documents})
            set_special_folder(id, path / ("csidl-" + std::to_string(id)));
        std::atexit([] {
            boost::system::error_code ignored;
            boost::filesystem::remove_all(scratch_root(), ignored);
        });
        return path;
    }();
    return root;
}

inline boost::filesystem::path installation_folder() { return scratch_root() / "install"; }

// Removes everything the last input wrote, keeping the root.
inline void clean_scratch()
{
    boost::system::error_code ignored;
    for (boost::filesystem::directory_iterator it(scratch_root(), ignored), end; !ignored && it != end;
         it.increment(ignored))
        boost::filesystem::remove_all(it->path(), ignored);
}

} // namespace ov::fuzz
