// The payload resource of the running program (Windows only).
#pragma once

#include "payload/memstream.hpp"

#include <windows.h>

#include <memory>

namespace ov {

// Resource type and name of the payload archive.
inline constexpr WORD payload_resource_type = 260;
inline constexpr WORD payload_resource_name = 134;

// A read-only stream over the bytes of resource (type, name), read in place. Looked up in the
// language catalogue's resource module first, then in the program's own module. A missing,
// unloadable or empty resource gives an empty stream; never fails.
std::unique_ptr<imemstream> open_resource_stream(LPCWSTR type, LPCWSTR name);

} // namespace ov
