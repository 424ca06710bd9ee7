// The security module: administrator test, process privileges, file access for the built-in
// Users group, and the well-known account identifiers and one-entry access lists that the
// named instance objects carry.
//
// Every advapi32 function is bound at run time, on first use, so that the program still
// starts on systems that lack some of them. Inside the module failures are thrown as
// security_error (an HRESULT); the public operations IsAdministrator, EnablePrivilege and
// GrantFileAccess catch them and answer false. WellKnownSid and SingleEntryAcl pass them on.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <system_error>

namespace ov {

// The error category of HRESULT values (message: the system's text for the code).
const std::error_category& hresult_category() noexcept;

// A failure inside the security module: an HRESULT in hresult_category().
class security_error : public std::system_error {
public:
    explicit security_error(HRESULT hr);
    HRESULT hresult() const noexcept { return static_cast<HRESULT>(code().value()); }
};

// HRESULT of a Windows error number: (error & 0xFFFF) | 0x80070000 when the number is above
// 0, the number itself otherwise.
HRESULT HResultFromWin32(DWORD error) noexcept;

// Selectors of WellKnownSid. Any other value selects Everyone.
enum well_known_account : int {
    account_everyone = 0,             // S-1-1-0
    account_administrators = 1,       // S-1-5-32-544
    account_users = 2,                // S-1-5-32-545
    account_authenticated_users = 3,  // S-1-5-11
    account_current_user_by_name = 4, // the logged-on user, looked up by its DOMAIN\name
    account_token_user = 5,           // the user of the thread's (else the process's) token
};

// An account identifier that owns its memory (freed with FreeSid or as an ordinary
// allocation, whichever made it). Move-only.
class security_identifier {
public:
    security_identifier() noexcept = default;
    security_identifier(security_identifier&& other) noexcept;
    security_identifier& operator=(security_identifier&& other) noexcept;
    security_identifier(const security_identifier&) = delete;
    security_identifier& operator=(const security_identifier&) = delete;
    ~security_identifier();

    PSID get() const noexcept { return sid_; }
    DWORD length() const; // GetLengthSid; 0 when empty
    explicit operator bool() const noexcept { return sid_ != nullptr; }

    // Takes over a SID made by AllocateAndInitializeSid.
    static security_identifier from_allocated(PSID sid) noexcept;
    // Copies any valid SID into ordinary memory.
    static security_identifier copy_of(PSID sid);

private:
    void reset() noexcept;
    PSID sid_ = nullptr;
    bool from_allocate_ = false; // release with FreeSid, else delete[]
};

// A discretionary access list in its own DWORD-aligned buffer. Move-only.
class access_list {
public:
    access_list() noexcept = default;
    explicit access_list(DWORD size); // zeroed buffer of that many bytes, not initialised
    PACL get() const noexcept { return reinterpret_cast<PACL>(buffer_.get()); }
    DWORD size() const noexcept { return size_; }
    explicit operator bool() const noexcept { return buffer_ != nullptr; }

private:
    std::unique_ptr<DWORD[]> buffer_;
    DWORD size_ = 0;
};

// Whether the current user belongs to the built-in Administrators group: CheckTokenMembership,
// or where that is missing or fails, an access check against a descriptor that only lets
// Administrators in. Any other failure answers false.
bool IsAdministrator() noexcept;

// Switches a privilege of the process token on or off ("SeBackupPrivilege",
// "SeRestorePrivilege", ...). False when the name is unknown, the account does not hold the
// privilege, or the token cannot be adjusted; the token is then unchanged.
bool EnablePrivilege(const std::wstring& privilege, bool enable) noexcept;

// Gives the built-in Users group exactly the access `mask` on the file: any entry for Users is
// replaced by one allowed entry placed after the file's own entries and before the inherited
// ones; the automatic inheritance or protection of the list is kept. Throws nothing.
bool GrantFileAccess(const std::wstring& path, DWORD mask) noexcept;

// The access mask the installation grants on shared data files: read, write and delete
// without execute.
constexpr DWORD SharedFileAccess = 0x13019F;

// The identifier of a well-known account (see well_known_account). Throws security_error.
security_identifier WellKnownSid(int selector);

// An access list with one allowed entry for `sid` with `mask`. Throws security_error.
access_list SingleEntryAcl(PSID sid, DWORD mask);

// The security a named kernel object is created with: a DACL with one allowed entry for a
// well-known account (see WellKnownSid) and a mask, in a descriptor and security attributes
// (not inheritable) that point into this object, so it stays where it is made.
// Throws security_error.
struct object_security {
    object_security(int account, DWORD mask);
    object_security(const object_security&) = delete;
    object_security& operator=(const object_security&) = delete;

    security_identifier sid;
    access_list acl;
    SECURITY_DESCRIPTOR descriptor{};
    SECURITY_ATTRIBUTES attributes{};
};

namespace security_detail {
// Finds an advapi32 function by name (the module is found or loaded once): throws
// security_error E_NOTIMPL when it is missing, E_UNEXPECTED when advapi32 cannot be loaded.
FARPROC BindAdvapi32(const char* name);
// The two methods of IsAdministrator on their own; they throw on failure.
bool IsAdministratorByMembership();
bool IsAdministratorByAccessCheck();
// The list GrantFileAccess writes: `old_list` (null: none) without the entries for `sid`, and
// one allowed entry for `sid` with `mask` after the list's own entries and before the
// inherited ones.
access_list ListGrantingAccess(PACL old_list, PSID sid, DWORD mask);
// The control bits of the new descriptor: automatic inheritance (0x500) kept, else protection.
SECURITY_DESCRIPTOR_CONTROL InheritanceControlFor(SECURITY_DESCRIPTOR_CONTROL old_control) noexcept;
} // namespace security_detail

} // namespace ov
