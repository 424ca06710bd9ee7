#include "payload/resource_stream.hpp"

#include "support/language.hpp"

namespace ov {

namespace {

// The bytes of resource (type, name) in `module`, or an empty view.
std::pair<const char*, std::size_t> find_resource_bytes(HMODULE module, LPCWSTR type, LPCWSTR name)
{
    HRSRC info = FindResourceW(module, name, type);
    if (!info)
        return {nullptr, 0};
    HGLOBAL loaded = LoadResource(module, info);
    if (!loaded)
        return {nullptr, 0};
    const DWORD size = SizeofResource(module, info);
    const void* bytes = LockResource(loaded);
    if (size == 0 || !bytes)
        return {nullptr, 0};
    return {static_cast<const char*>(bytes), size};
}

} // namespace

std::unique_ptr<imemstream> open_resource_stream(LPCWSTR type, LPCWSTR name)
{
    HMODULE program = GetModuleHandleW(nullptr);
    HMODULE module = GetResourceModule();
    auto [bytes, size] = find_resource_bytes(module, type, name);
    if (!bytes && module != program)
        std::tie(bytes, size) = find_resource_bytes(program, type, name);
    if (!bytes)
        return std::make_unique<imemstream>();
    return std::make_unique<imemstream>(bytes, size);
}

} // namespace ov
