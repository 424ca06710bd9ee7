// Test helper (Windows, header-only): the text form of a security identifier ("S-1-1-0").
#pragma once

#include <windows.h>
#include <sddl.h>

#include <string>

namespace ovtest {

// "?" when the system cannot convert it.
inline std::wstring SidText(PSID sid)
{
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text))
        return L"?";
    std::wstring result(text);
    LocalFree(text);
    return result;
}

} // namespace ovtest
