// Shell shortcuts through the shell's link object (IShellLinkW saved with IPersistFile).
#include "engine/shortcuts.hpp"

#include "support/identity.hpp"
#include "support/language.hpp"

#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>

namespace ov {
namespace {

constexpr UINT TextUninstallShortcut = TextBaseId + 13; // "Uninstall %1"

// Makes one shortcut as an action of the journal.
bool MakeOneShortcut(InstallJournal& journal, JournalEntryKind kind, const std::wstring& target,
                     const std::wstring& folder, const std::wstring& title)
{
    journal.BeginShortcut(kind, folder);
    std::wstring created;
    if (CreateShortcut(target, folder, title, &created)) {
        journal.Complete(true, created);
        return true;
    }
    journal.ClosePending(false);
    return false;
}

} // namespace

bool CreateShortcut(const std::wstring& target, const std::wstring& folder,
                    const std::optional<std::wstring>& title, std::wstring* created_path)
{
    // Longer paths would be cut by the MAX_PATH buffers and name another program.
    if (target.size() >= MAX_PATH || folder.size() >= MAX_PATH)
        return false;
    // An empty or relative folder (no desktop folder known) would put the link in whatever
    // the current folder happens to be.
    if (folder.empty() || PathIsRelativeW(folder.c_str()))
        return false;
    wchar_t working_folder[MAX_PATH];
    lstrcpynW(working_folder, target.c_str(), MAX_PATH);
    if (!PathRemoveFileSpecW(working_folder))
        return false;

    std::wstring name;
    if (title) {
        name = *title;
    } else {
        wchar_t file_name[MAX_PATH];
        lstrcpynW(file_name, PathFindFileNameW(target.c_str()), MAX_PATH);
        PathRemoveExtensionW(file_name);
        name = file_name;
    }

    wchar_t link[MAX_PATH];
    lstrcpynW(link, folder.c_str(), MAX_PATH);
    if (name.size() >= MAX_PATH || !PathAppendW(link, name.c_str()))
        return false;
    // ".lnk" must fit too; the buffer has no room to cut it.
    const std::wstring link_path = std::wstring(link) + L".lnk";
    if (link_path.size() >= MAX_PATH)
        return false;

    const HRESULT init = CoInitialize(nullptr);
    if (init != S_OK && init != S_FALSE)
        return false;
    IShellLinkW* shell_link = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&shell_link));
    if (SUCCEEDED(hr)) {
        shell_link->SetPath(target.c_str());
        shell_link->SetWorkingDirectory(working_folder);
        IPersistFile* persist = nullptr;
        hr = shell_link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist));
        if (SUCCEEDED(hr)) {
            hr = persist->Save(link_path.c_str(), TRUE);
            persist->Release();
        }
        shell_link->Release();
    }
    CoUninitialize();
    if (FAILED(hr))
        return false;
    if (created_path)
        *created_path = link_path;
    return true;
}

std::wstring ShellSpecialFolder(HWND owner, int csidl)
{
    wchar_t path[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(owner, path, csidl, FALSE))
        return {};
    return path;
}

std::wstring DesktopShortcutFolder(HWND owner, const SpecialFolderLookup& lookup)
{
    std::wstring folder = lookup(owner, CSIDL_COMMON_DESKTOPDIRECTORY);
    if (folder.empty())
        folder = lookup(owner, CSIDL_DESKTOPDIRECTORY);
    return folder;
}

ShortcutPlan ProductShortcutPlan(const std::wstring& program_path, const std::wstring& uninstaller_path,
                                 const std::wstring& start_menu_folder, bool start_menu, bool desktop)
{
    ShortcutPlan plan;
    plan.program_path = program_path;
    plan.uninstaller_path = uninstaller_path;
    plan.start_menu_folder = start_menu_folder;
    plan.start_menu = start_menu;
    plan.desktop = desktop;
    plan.program_title = GetProductText(false);
    plan.uninstall_title = LoadText(TextUninstallShortcut, {GetProductText(true)});
    return plan;
}

bool MakeShortcuts(InstallJournal& journal, const ShortcutPlan& plan, HWND owner)
{
    bool ok = true;
    if (plan.start_menu) {
        ok &= MakeOneShortcut(journal, JournalEntryKind::ProgramShortcut, plan.program_path,
                              plan.start_menu_folder, plan.program_title);
        ok &= MakeOneShortcut(journal, JournalEntryKind::UninstallShortcut, plan.uninstaller_path,
                              plan.start_menu_folder, plan.uninstall_title);
    }
    if (plan.desktop) {
        const std::wstring folder = plan.desktop_folder.empty() ? DesktopShortcutFolder(owner) : plan.desktop_folder;
        ok &= MakeOneShortcut(journal, JournalEntryKind::DesktopShortcut, plan.program_path, folder,
                              plan.program_title);
    }
    return ok;
}

} // namespace ov
