// Test helper (Windows, header-only): points the process's temporary directory (the TMP and
// TEMP variables that GetTempPathW reads) at another folder for one scope.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ovtest {

class TempDirectoryOverride {
public:
    explicit TempDirectoryOverride(const std::wstring& folder)
    {
        for (const wchar_t* name : {L"TMP", L"TEMP"}) {
            std::wstring value(32767, L'\0');
            const DWORD length = GetEnvironmentVariableW(name, value.data(), 32767);
            value.resize(length);
            saved_.push_back({name, length ? std::optional<std::wstring>(value) : std::nullopt});
            SetEnvironmentVariableW(name, folder.c_str());
        }
    }
    ~TempDirectoryOverride()
    {
        for (const auto& [name, value] : saved_)
            SetEnvironmentVariableW(name.c_str(), value ? value->c_str() : nullptr);
    }
    TempDirectoryOverride(const TempDirectoryOverride&) = delete;
    TempDirectoryOverride& operator=(const TempDirectoryOverride&) = delete;

private:
    std::vector<std::pair<std::wstring, std::optional<std::wstring>>> saved_;
};

} // namespace ovtest
