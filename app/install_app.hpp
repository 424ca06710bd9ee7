// The application object: one static CInstallApp owns the setup context, the choices and
// findings that the wizard pages and the installation sequence read and write directly.
#pragma once

#include "app/install_state.hpp"
#include "engine/journal.hpp"
#include "framework/winapp.hpp"
#include "support/instances.hpp"

#include <string>

class CInstallApp : public CWinApp {
public:
    // Empty texts, flags false, state Fresh, journal empty; the instance mutex created or
    // opened under its global name, not owned.
    CInstallApp();
    ~CInstallApp() override;

    // --- The setup context. The application title is the framework's m_pszAppName. ---
    InstallState m_installState = InstallState::Fresh; // decided once at start-up
    std::wstring m_installedVersionText;  // the installed product's display text (Update, NewerInstalled)
    ov::InstanceLock m_instanceLock;      // one setup program at a time
    std::wstring m_installFolder;
    std::wstring m_startMenuFolder;
    std::wstring m_tempFolder;            // set by each installation run
    bool m_startMenuShortcut = false;
    bool m_desktopShortcut = false;
    bool m_advancedMethod = false;        // false: the quick installation
    ov::InstallJournal m_journal;
    bool m_installDone = false;

    // The subkey of the Uninstall key that records an installation of the product: the
    // Uninstall key name ("Vestrilo 1"). Tests point it at a key of their own.
    std::wstring m_productKeyName;

    // The installation state; for Update and NewerInstalled, first copies the installed
    // version text into `versionText` when one is given (otherwise it is left untouched).
    InstallState QueryInstallState(std::wstring* versionText = nullptr) const;

    // Decides the installation state from the installed product (see FindInstalledProduct)
    // and the version resource of its main program. False, with the state left as it was,
    // when that program's version resource cannot be read in full.
    bool DetermineInstallState();

    // Fills the installation folder and the start-menu folder where they are still empty.
    void ApplyDefaultFolders();

    // The folders of the earlier installation, for Reinstall and Update: reads the uninstall
    // log beside the installed uninstaller ("UninstallString"), else beside the installed main
    // program, into the journal, and proposes its folders. For Fresh and NewerInstalled the
    // journal reads no log.
    void ReadEarlierFolders();
};
