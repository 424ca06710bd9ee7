// Placeholders in the destination directories of the archive.
//
// A destination directory may begin with a component in angle brackets standing for a folder
// known only at installation time ("<InstallPath>", "<CommonData>"...). Components are
// separated by backslashes (slashes are accepted too). Only the first component is examined.
#pragma once

#include <boost/filesystem/path.hpp>

namespace ov {

// The folders an extraction is given.
struct placeholder_folders {
    boost::filesystem::path installation; // "<InstallPath>"
    boost::filesystem::path sample;       // "<SamplePath>": absolute, relative to the all-users desktop, or empty
    boost::filesystem::path temporary;    // "<Temporary>" (the installation folder when empty)
};

// Replaces a leading placeholder of `directory` (the directory as stored in the archive) by
// its folder and appends the remaining components with the path joining rule. A directory
// without a leading placeholder is returned unchanged. Throws compress code 7 when a special
// folder cannot be had, and when the first component has the placeholder form but is no
// known placeholder (such a directory would otherwise land relative to the current folder).
boost::filesystem::path expand_placeholders(const boost::filesystem::path& directory,
                                            const placeholder_folders& folders);

} // namespace ov
