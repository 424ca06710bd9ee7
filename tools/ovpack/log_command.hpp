// ovpack log FILE: what the installer's uninstall log reader takes from a log, for support
// staff. UTF-8 on stdout, one item per line, tab-separated:
//   version<TAB>N, title<TAB>TEXT, install<TAB>FOLDER, shortcuts<TAB>FOLDER
// (each only when the reader got as far as its line; folders as written), then one line per
// entry read: INDEX<TAB>KIND<TAB>VALUE<TAB>OK<TAB>PATH (index from 0, value -1 for ff, ok 0
// or 1, the path as written, also the registry text of kinds 5 and 6). Where the reader
// stopped before the end of the file is said on stderr. Exit 0 whatever the reader stopped at,
// 1 when the file cannot be opened.
#pragma once

#include "tools/ovpack/commands.hpp"

namespace ov::tools {

int log_command(const arguments& args); // log_command.cpp

} // namespace ov::tools
