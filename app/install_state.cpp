// Installation state and default folders.
#include "app/install_state.hpp"

#include "engine/uninstall_key.hpp"
#include "support/identity.hpp"

#include <shlobj.h>
#include <shlwapi.h>

#include <cwctype>
#include <vector>

namespace {

// A string value of the product's key, any length; nothing when missing or not a string.
bool ReadStringValue(const std::wstring& key, const wchar_t* name, std::wstring& value) {
    DWORD type = 0;
    DWORD size = 0;
    if (SHGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), name, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return false;
    }
    // SHGetValueW may need more room for an expanded REG_EXPAND_SZ; ask until it fits.
    for (int attempt = 0; attempt < 4; ++attempt) {
        std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 2, L'\0');
        DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        const LONG result = SHGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), name, &type, buffer.data(), &bytes);
        if (result == ERROR_SUCCESS) {
            buffer.back() = L'\0';
            value = buffer.data();
            return true;
        }
        if (result != ERROR_MORE_DATA) {
            return false;
        }
        size = bytes;
    }
    return false;
}

bool IsFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// `base` + maker folder + Uninstall key name, or empty when it does not fit MAX_PATH.
std::wstring ProductFolderBelow(const std::wstring& base) {
    if (base.empty() || base.size() >= MAX_PATH) {
        return {};
    }
    wchar_t buffer[MAX_PATH + 1] = {};
    base.copy(buffer, base.size());
    if (!PathAppendW(buffer, ov::maker_folder) || !PathAppendW(buffer, ov::GetUninstallKeyName().c_str())) {
        return {};
    }
    return buffer;
}

} // namespace

InstallState CompareInstalledVersion(std::uint64_t own, std::uint64_t installed) {
    if (installed == 0 || installed == own) {
        return InstallState::Reinstall;
    }
    return own > installed ? InstallState::Update : InstallState::NewerInstalled;
}

std::wstring IconFileOf(const std::wstring& display_icon) {
    std::wstring text = display_icon;
    while (!text.empty() && std::iswspace(text.back())) {
        text.pop_back();
    }
    while (!text.empty() && std::iswspace(text.front())) {
        text.erase(0, 1);
    }
    if (!text.empty() && text.front() == L'"') {
        const std::size_t close = text.find(L'"', 1);
        return text.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1);
    }
    // A trailing ",N" or ",-N" is the icon's index, not part of the file name.
    const std::size_t comma = text.rfind(L',');
    if (comma != std::wstring::npos) {
        std::size_t at = comma + 1;
        if (at < text.size() && text[at] == L'-') {
            ++at;
        }
        bool digits = at < text.size();
        for (std::size_t i = at; i < text.size(); ++i) {
            digits = digits && text[i] >= L'0' && text[i] <= L'9';
        }
        if (digits) {
            text.resize(comma);
        }
    }
    return text;
}

InstalledProduct FindInstalledProduct(const std::wstring& key_name) {
    InstalledProduct product;
    const std::wstring key = std::wstring(ov::UninstallKeyPath) + L"\\" + key_name;
    HKEY handle = nullptr;
    if (key_name.empty() || RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) {
        return product;
    }
    RegCloseKey(handle);
    product.installed = true;
    ReadStringValue(key, L"UninstallString", product.uninstaller);

    std::wstring icon;
    if (ReadStringValue(key, L"DisplayIcon", icon)) {
        const std::wstring program = IconFileOf(icon);
        if (!program.empty() && IsFile(program)) {
            product.main_program = program;
            return product;
        }
    }
    const std::size_t slash = product.uninstaller.find_last_of(L"\\/");
    if (slash != std::wstring::npos) {
        const std::wstring beside = product.uninstaller.substr(0, slash + 1) + ov::product_name + L".exe";
        if (IsFile(beside)) {
            product.main_program = beside;
        }
    }
    return product;
}

SystemFolders MachineFolders() {
    SystemFolders folders;
    folders.special = [](int csidl, std::wstring& path) {
        wchar_t buffer[MAX_PATH + 1] = {};
        if (!SHGetSpecialFolderPathW(nullptr, buffer, csidl, FALSE)) {
            return false;
        }
        path = buffer;
        return true;
    };
    folders.program_files_value = [](std::wstring& path) {
        wchar_t buffer[MAX_PATH + 1] = {};
        DWORD bytes = sizeof buffer;
        DWORD type = 0;
        if (SHGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion", L"ProgramFilesDir", &type,
                        buffer, &bytes) != ERROR_SUCCESS ||
            (type != REG_SZ && type != REG_EXPAND_SZ)) {
            return false;
        }
        buffer[MAX_PATH] = L'\0';
        path = buffer;
        return true;
    };
    folders.windows_folder = [] {
        wchar_t buffer[MAX_PATH + 1] = {};
        const UINT length = GetSystemWindowsDirectoryW(buffer, MAX_PATH + 1);
        return length != 0 && length <= MAX_PATH ? std::wstring(buffer) : std::wstring();
    };
    return folders;
}

std::wstring DefaultInstallFolder(const SystemFolders& folders) {
    std::wstring base;
    if (!folders.special(CSIDL_PROGRAM_FILES, base) || base.empty()) {
        if (!folders.program_files_value(base) || base.empty()) {
            const std::wstring windows = folders.windows_folder();
            if (windows.empty() || windows.size() >= MAX_PATH) {
                return {};
            }
            wchar_t root[MAX_PATH + 1] = {};
            windows.copy(root, windows.size());
            PathStripToRootW(root);
            if (!PathAppendW(root, L"Program Files")) {
                return {};
            }
            base = root;
        }
    }
    return ProductFolderBelow(base);
}

std::wstring DefaultStartMenuFolder(const SystemFolders& folders) {
    std::wstring base;
    if (!folders.special(CSIDL_COMMON_PROGRAMS, base) || base.empty()) {
        if (!folders.special(CSIDL_PROGRAMS, base)) {
            base.clear();
        }
    }
    return ProductFolderBelow(base);
}
