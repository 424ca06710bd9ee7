// The application object and its setup context.
#include "app/install_app.hpp"

#include "engine/uninstall_key.hpp"
#include "engine/uninstall_log.hpp"
#include "support/identity.hpp"

#include <shlwapi.h>

namespace {

// The uninstall log beside `file` (a file path of at most MAX_PATH characters), or empty
// when there is none.
std::wstring LogBeside(const std::wstring& file) {
    if (file.empty()) {
        return {};
    }
    wchar_t buffer[MAX_PATH] = {};
    lstrcpynW(buffer, file.c_str(), MAX_PATH);
    if (!PathRemoveFileSpecW(buffer) || !PathAppendW(buffer, ov::UninstallLogName) || !PathFileExistsW(buffer)) {
        return {};
    }
    return buffer;
}

} // namespace

CInstallApp::CInstallApp() : m_instanceLock(ov::InstanceMutexName()), m_productKeyName(ov::GetUninstallKeyName()) {}

CInstallApp::~CInstallApp() = default; // the instance lock releases and closes the mutex

InstallState CInstallApp::QueryInstallState(std::wstring* versionText) const {
    if (versionText &&
        (m_installState == InstallState::Update || m_installState == InstallState::NewerInstalled)) {
        *versionText = m_installedVersionText;
    }
    return m_installState;
}

bool CInstallApp::DetermineInstallState() {
    const InstalledProduct product = FindInstalledProduct(m_productKeyName);
    if (!product.installed) {
        m_installState = InstallState::Fresh;
        m_installedVersionText.clear();
        return true;
    }
    ov::VersionInfo info;
    info.items = ov::VersionItemAll;
    if (!product.main_program.empty() && !ov::ReadVersionInfo(info, product.main_program.c_str())) {
        return false;
    }
    m_installState = CompareInstalledVersion(ov::own_version_number, info.version_number);
    m_installedVersionText.clear();
    if (m_installState == InstallState::Update || m_installState == InstallState::NewerInstalled) {
        m_installedVersionText = info.display_text;
    }
    return true;
}

void CInstallApp::ApplyDefaultFolders() {
    const SystemFolders folders = MachineFolders();
    if (m_installFolder.empty()) {
        m_installFolder = DefaultInstallFolder(folders);
    }
    if (m_startMenuFolder.empty()) {
        m_startMenuFolder = DefaultStartMenuFolder(folders);
    }
}

void CInstallApp::ReadEarlierFolders() {
    if (m_installState != InstallState::Reinstall && m_installState != InstallState::Update) {
        ov::ReadLog(m_journal, nullptr);
        return;
    }
    // "UninstallString" is a plain file path, as the installation writes it: not unquoted.
    std::wstring log;
    wchar_t uninstaller[MAX_PATH] = {};
    DWORD bytes = sizeof uninstaller;
    const std::wstring key = std::wstring(ov::UninstallKeyPath) + L"\\" + m_productKeyName;
    if (SHGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"UninstallString", nullptr, uninstaller, &bytes) ==
        ERROR_SUCCESS) {
        uninstaller[MAX_PATH - 1] = L'\0';
        log = LogBeside(uninstaller);
    }
    if (log.empty()) {
        log = LogBeside(FindInstalledProduct(m_productKeyName).main_program);
    }
    if (log.empty()) {
        return;
    }
    ov::ReadLog(m_journal, log.c_str());
    m_installFolder = m_journal.previous_install_folder;
    m_startMenuFolder = m_journal.previous_shortcut_folder;
}
