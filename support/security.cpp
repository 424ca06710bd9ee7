// The security module. Every advapi32 function goes through a wrapper that binds it on first
// use and turns its failure into a security_error; the public operations catch those.
#include "support/security.hpp"

#include <cstddef>
#include <cstdio>
#include <new>
#include <vector>

namespace ov {

// ---------------------------------------------------------------------------------------
// Errors

namespace {

class hresult_category_impl : public std::error_category {
public:
    const char* name() const noexcept override { return "HRESULT"; }
    std::string message(int value) const override {
        char text[32];
        std::snprintf(text, sizeof text, "HRESULT 0x%08lX", static_cast<unsigned long>(value));
        return text;
    }
};

[[noreturn]] void Throw(HRESULT hr) { throw security_error(hr); }

// A Windows call failed: its last error as HRESULT. A call that fails without setting an
// error still has to fail, so 0 becomes E_FAIL.
[[noreturn]] void ThrowLastError() {
    const HRESULT hr = HResultFromWin32(GetLastError());
    Throw(hr == S_OK ? E_FAIL : hr);
}

} // namespace

const std::error_category& hresult_category() noexcept {
    static const hresult_category_impl category;
    return category;
}

security_error::security_error(HRESULT hr)
    : std::system_error(static_cast<int>(hr), hresult_category()) {}

HRESULT HResultFromWin32(DWORD error) noexcept {
    const auto value = static_cast<HRESULT>(error);
    return value > 0 ? static_cast<HRESULT>((error & 0xFFFF) | 0x80070000) : value;
}

// ---------------------------------------------------------------------------------------
// Run-time binding of advapi32

namespace {

HMODULE g_advapi32 = nullptr; // found once, kept for the life of the process

HMODULE Advapi32() {
    if (g_advapi32)
        return g_advapi32;
    HMODULE module = GetModuleHandleW(L"advapi32.dll");
    if (!module) {
        wchar_t folder[MAX_PATH];
        const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
        if (length > 0 && length < MAX_PATH) {
            std::wstring path(folder, length);
            path += L"\\advapi32.dll";
            module = LoadLibraryW(path.c_str());
        }
        if (!module)
            module = LoadLibraryW(L"advapi32.dll");
        if (!module)
            Throw(E_UNEXPECTED);
    }
    g_advapi32 = module;
    return module;
}

// One advapi32 function, looked up by name on first use.
template <class Function>
class advapi32_function {
public:
    explicit constexpr advapi32_function(const char* name) : name_(name) {}
    Function* operator()() {
        if (!address_)
            address_ = reinterpret_cast<Function*>(
                reinterpret_cast<void*>(security_detail::BindAdvapi32(name_)));
        return address_;
    }

private:
    const char* name_;
    Function* address_ = nullptr;
};

advapi32_function<decltype(::OpenProcessToken)> p_OpenProcessToken{"OpenProcessToken"};
advapi32_function<decltype(::OpenThreadToken)> p_OpenThreadToken{"OpenThreadToken"};
advapi32_function<decltype(::GetTokenInformation)> p_GetTokenInformation{"GetTokenInformation"};
advapi32_function<decltype(::GetFileSecurityW)> p_GetFileSecurityW{"GetFileSecurityW"};
advapi32_function<decltype(::SetFileSecurityW)> p_SetFileSecurityW{"SetFileSecurityW"};
advapi32_function<decltype(::LookupPrivilegeValueW)> p_LookupPrivilegeValueW{"LookupPrivilegeValueW"};
advapi32_function<decltype(::AdjustTokenPrivileges)> p_AdjustTokenPrivileges{"AdjustTokenPrivileges"};
advapi32_function<decltype(::AllocateAndInitializeSid)> p_AllocateAndInitializeSid{"AllocateAndInitializeSid"};
advapi32_function<decltype(::CopySid)> p_CopySid{"CopySid"};
advapi32_function<decltype(::LookupAccountNameW)> p_LookupAccountNameW{"LookupAccountNameW"};
advapi32_function<decltype(::GetAce)> p_GetAce{"GetAce"};
advapi32_function<decltype(::AddAce)> p_AddAce{"AddAce"};
advapi32_function<decltype(::AddAccessAllowedAce)> p_AddAccessAllowedAce{"AddAccessAllowedAce"};
advapi32_function<decltype(::InitializeAcl)> p_InitializeAcl{"InitializeAcl"};
advapi32_function<decltype(::GetAclInformation)> p_GetAclInformation{"GetAclInformation"};
advapi32_function<decltype(::InitializeSecurityDescriptor)> p_InitializeSecurityDescriptor{"InitializeSecurityDescriptor"};
advapi32_function<decltype(::GetSecurityDescriptorDacl)> p_GetSecurityDescriptorDacl{"GetSecurityDescriptorDacl"};
advapi32_function<decltype(::SetSecurityDescriptorDacl)> p_SetSecurityDescriptorDacl{"SetSecurityDescriptorDacl"};
advapi32_function<decltype(::SetSecurityDescriptorGroup)> p_SetSecurityDescriptorGroup{"SetSecurityDescriptorGroup"};
advapi32_function<decltype(::SetSecurityDescriptorOwner)> p_SetSecurityDescriptorOwner{"SetSecurityDescriptorOwner"};
advapi32_function<decltype(::GetSecurityDescriptorControl)> p_GetSecurityDescriptorControl{"GetSecurityDescriptorControl"};
advapi32_function<decltype(::SetSecurityDescriptorControl)> p_SetSecurityDescriptorControl{"SetSecurityDescriptorControl"};
advapi32_function<decltype(::CheckTokenMembership)> p_CheckTokenMembership{"CheckTokenMembership"};
advapi32_function<decltype(::AccessCheck)> p_AccessCheck{"AccessCheck"};
advapi32_function<decltype(::ImpersonateSelf)> p_ImpersonateSelf{"ImpersonateSelf"};
advapi32_function<decltype(::IsValidSid)> p_IsValidSid{"IsValidSid"};
advapi32_function<decltype(::GetLengthSid)> p_GetLengthSid{"GetLengthSid"};
advapi32_function<decltype(::EqualSid)> p_EqualSid{"EqualSid"};
advapi32_function<decltype(::FreeSid)> p_FreeSid{"FreeSid"};
advapi32_function<decltype(::IsValidSecurityDescriptor)> p_IsValidSecurityDescriptor{"IsValidSecurityDescriptor"};
advapi32_function<decltype(::RevertToSelf)> p_RevertToSelf{"RevertToSelf"};

void Check(BOOL result) {
    if (!result)
        ThrowLastError();
}

// ---- Wrappers: each throws on failure -------------------------------------------------

HANDLE OpenProcessTokenFor(DWORD access) {
    HANDLE token = nullptr;
    Check(p_OpenProcessToken()(GetCurrentProcess(), access, &token));
    return token;
}

// The thread's token for querying, or the process token when the thread has none.
HANDLE OpenThreadTokenForQuery() {
    HANDLE token = nullptr;
    if (p_OpenThreadToken()(GetCurrentThread(), TOKEN_QUERY, TRUE, &token))
        return token;
    if (GetLastError() != ERROR_NO_TOKEN)
        ThrowLastError();
    return OpenProcessTokenFor(TOKEN_QUERY);
}

// The TOKEN_USER block of a token, in a DWORD-aligned buffer.
std::vector<DWORD> GetTokenUserInformation(HANDLE token) {
    DWORD size = 0;
    if (!p_GetTokenInformation()(token, TokenUser, nullptr, 0, &size) &&
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        ThrowLastError();
    std::vector<DWORD> buffer((size + sizeof(DWORD) - 1) / sizeof(DWORD) + 1);
    Check(p_GetTokenInformation()(token, TokenUser, buffer.data(),
                                  static_cast<DWORD>(buffer.size() * sizeof(DWORD)), &size));
    return buffer;
}

// The file's security descriptor holding its discretionary list.
std::vector<DWORD> GetFileDaclDescriptor(const std::wstring& path) {
    DWORD size = 0;
    if (!p_GetFileSecurityW()(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &size) &&
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        ThrowLastError();
    std::vector<DWORD> buffer((size + sizeof(DWORD) - 1) / sizeof(DWORD) + 1);
    Check(p_GetFileSecurityW()(path.c_str(), DACL_SECURITY_INFORMATION, buffer.data(),
                               static_cast<DWORD>(buffer.size() * sizeof(DWORD)), &size));
    return buffer;
}

void SetFileDacl(const std::wstring& path, PSECURITY_DESCRIPTOR descriptor) {
    Check(p_SetFileSecurityW()(path.c_str(), DACL_SECURITY_INFORMATION, descriptor));
}

LUID LookupPrivilege(const std::wstring& name) {
    LUID luid{};
    Check(p_LookupPrivilegeValueW()(nullptr, name.c_str(), &luid));
    return luid;
}

// AdjustTokenPrivileges answers true even when a privilege was not assigned; the last error
// then tells.
void AdjustPrivileges(HANDLE token, TOKEN_PRIVILEGES* state, TOKEN_PRIVILEGES* previous,
                      DWORD previous_size) {
    DWORD returned = 0;
    SetLastError(ERROR_SUCCESS);
    Check(p_AdjustTokenPrivileges()(token, FALSE, state, previous ? previous_size : 0, previous,
                                    previous ? &returned : nullptr));
    if (GetLastError() != ERROR_SUCCESS)
        ThrowLastError();
}

void InitializeDescriptor(SECURITY_DESCRIPTOR* descriptor) {
    Check(p_InitializeSecurityDescriptor()(descriptor, SECURITY_DESCRIPTOR_REVISION));
}

DWORD LengthOf(PSID sid) { return p_GetLengthSid()(sid); }

bool Equal(PSID a, PSID b) { return p_EqualSid()(a, b) != FALSE; }

// Closes a token handle when the scope ends.
struct token_handle {
    HANDLE value = nullptr;
    ~token_handle() {
        if (value)
            CloseHandle(value);
    }
};

} // namespace

FARPROC security_detail::BindAdvapi32(const char* name) {
    const FARPROC address = GetProcAddress(Advapi32(), name);
    if (!address)
        Throw(E_NOTIMPL);
    return address;
}

// ---------------------------------------------------------------------------------------
// Identifiers and access lists

security_identifier::security_identifier(security_identifier&& other) noexcept
    : sid_(other.sid_), from_allocate_(other.from_allocate_) {
    other.sid_ = nullptr;
}

security_identifier& security_identifier::operator=(security_identifier&& other) noexcept {
    if (this != &other) {
        reset();
        sid_ = other.sid_;
        from_allocate_ = other.from_allocate_;
        other.sid_ = nullptr;
    }
    return *this;
}

security_identifier::~security_identifier() { reset(); }

void security_identifier::reset() noexcept {
    if (!sid_)
        return;
    if (from_allocate_) {
        try {
            p_FreeSid()(sid_);
        } catch (const security_error&) {
            // FreeSid missing while AllocateAndInitializeSid exists: nothing we can free with.
        }
    } else {
        delete[] static_cast<DWORD*>(sid_);
    }
    sid_ = nullptr;
}

DWORD security_identifier::length() const { return sid_ ? LengthOf(sid_) : 0; }

security_identifier security_identifier::from_allocated(PSID sid) noexcept {
    security_identifier result;
    result.sid_ = sid;
    result.from_allocate_ = true;
    return result;
}

security_identifier security_identifier::copy_of(PSID sid) {
    if (!sid || !p_IsValidSid()(sid))
        Throw(E_UNEXPECTED);
    const DWORD length = LengthOf(sid);
    security_identifier result;
    auto* buffer = new (std::nothrow) DWORD[(length + sizeof(DWORD) - 1) / sizeof(DWORD)];
    if (!buffer)
        Throw(E_OUTOFMEMORY);
    result.sid_ = buffer;
    result.from_allocate_ = false;
    Check(p_CopySid()(length, result.sid_, sid));
    return result;
}

access_list::access_list(DWORD size)
    : buffer_(new (std::nothrow) DWORD[(size + sizeof(DWORD) - 1) / sizeof(DWORD)]()),
      size_(size) {
    if (!buffer_)
        Throw(E_OUTOFMEMORY);
}

namespace {

security_identifier AllocateSid(SID_IDENTIFIER_AUTHORITY authority, BYTE count, DWORD first,
                                DWORD second = 0) {
    PSID sid = nullptr;
    Check(p_AllocateAndInitializeSid()(&authority, count, first, second, 0, 0, 0, 0, 0, 0, &sid));
    return security_identifier::from_allocated(sid);
}

// The logged-on user's account, looked up by its DOMAIN\name.
security_identifier CurrentUserByName() {
    wchar_t folder[MAX_PATH];
    const UINT folder_length = GetSystemDirectoryW(folder, MAX_PATH);
    if (folder_length == 0 || folder_length >= MAX_PATH)
        ThrowLastError();
    const std::wstring path = std::wstring(folder, folder_length) + L"\\Secur32.dll";
    HMODULE secur32 = LoadLibraryW(path.c_str());
    if (!secur32)
        ThrowLastError();
    struct library {
        HMODULE module;
        ~library() { FreeLibrary(module); }
    } holder{secur32};

    using GetUserNameExW_function = BOOLEAN WINAPI(int, LPWSTR, PULONG);
    constexpr int name_sam_compatible = 2;
    auto* get_user_name = reinterpret_cast<GetUserNameExW_function*>(
        reinterpret_cast<void*>(GetProcAddress(secur32, "GetUserNameExW")));
    if (!get_user_name)
        Throw(E_NOTIMPL);
    ULONG name_length = 0;
    get_user_name(name_sam_compatible, nullptr, &name_length);
    if (name_length == 0)
        ThrowLastError();
    std::wstring name(name_length, L'\0');
    if (!get_user_name(name_sam_compatible, name.data(), &name_length))
        ThrowLastError();
    name.resize(name_length);

    DWORD sid_size = 0, domain_size = 0;
    SID_NAME_USE use{};
    if (!p_LookupAccountNameW()(nullptr, name.c_str(), nullptr, &sid_size, nullptr, &domain_size,
                                &use) &&
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        ThrowLastError();
    std::vector<DWORD> sid((sid_size + sizeof(DWORD) - 1) / sizeof(DWORD) + 1);
    std::wstring domain(domain_size + 1, L'\0');
    sid_size = static_cast<DWORD>(sid.size() * sizeof(DWORD));
    domain_size = static_cast<DWORD>(domain.size());
    Check(p_LookupAccountNameW()(nullptr, name.c_str(), sid.data(), &sid_size, domain.data(),
                                 &domain_size, &use));
    if (use != SidTypeUser)
        Throw(E_UNEXPECTED);
    return security_identifier::copy_of(sid.data());
}

security_identifier TokenUserSid() {
    token_handle token{OpenThreadTokenForQuery()};
    const std::vector<DWORD> information = GetTokenUserInformation(token.value);
    const auto* user = reinterpret_cast<const TOKEN_USER*>(information.data());
    return security_identifier::copy_of(user->User.Sid);
}

} // namespace

security_identifier WellKnownSid(int selector) {
    const SID_IDENTIFIER_AUTHORITY nt_authority = SECURITY_NT_AUTHORITY;
    const SID_IDENTIFIER_AUTHORITY world_authority = SECURITY_WORLD_SID_AUTHORITY;
    switch (selector) {
    case account_administrators:
        return AllocateSid(nt_authority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS);
    case account_users:
        return AllocateSid(nt_authority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS);
    case account_authenticated_users:
        return AllocateSid(nt_authority, 1, SECURITY_AUTHENTICATED_USER_RID);
    case account_current_user_by_name:
        return CurrentUserByName();
    case account_token_user:
        return TokenUserSid();
    default:
        return AllocateSid(world_authority, 1, SECURITY_WORLD_RID);
    }
}

access_list SingleEntryAcl(PSID sid, DWORD mask) {
    const DWORD size = 16 + LengthOf(sid);
    access_list acl(size);
    Check(p_InitializeAcl()(acl.get(), size, ACL_REVISION));
    Check(p_AddAccessAllowedAce()(acl.get(), ACL_REVISION, mask, sid));
    return acl;
}

object_security::object_security(int account, DWORD mask)
    : sid(WellKnownSid(account)), acl(SingleEntryAcl(sid.get(), mask)) {
    InitializeDescriptor(&descriptor);
    Check(p_SetSecurityDescriptorDacl()(&descriptor, TRUE, acl.get(), FALSE));
    attributes.nLength = sizeof attributes;
    attributes.lpSecurityDescriptor = &descriptor;
    attributes.bInheritHandle = FALSE;
}

// ---------------------------------------------------------------------------------------
// Administrator test

bool security_detail::IsAdministratorByMembership() {
    const security_identifier administrators = WellKnownSid(account_administrators);
    BOOL member = FALSE;
    Check(p_CheckTokenMembership()(nullptr, administrators.get(), &member));
    return member != FALSE;
}

bool security_detail::IsAdministratorByAccessCheck() {
    // Impersonating gives the thread a token AccessCheck accepts; without it the process
    // token is used and the check fails, which answers false.
    bool impersonating = false;
    try {
        Check(p_ImpersonateSelf()(SecurityImpersonation));
        impersonating = true;
    } catch (const security_error&) {
    }
    struct revert {
        bool active;
        ~revert() {
            if (active) {
                try {
                    p_RevertToSelf()();
                } catch (const security_error&) {
                }
            }
        }
    } reverter{impersonating};

    token_handle token{OpenThreadTokenForQuery()};
    const security_identifier administrators = WellKnownSid(account_administrators);
    constexpr DWORD read_access = 1, write_access = 2;
    const access_list acl = SingleEntryAcl(administrators.get(), read_access | write_access);

    SECURITY_DESCRIPTOR descriptor;
    InitializeDescriptor(&descriptor);
    Check(p_SetSecurityDescriptorDacl()(&descriptor, TRUE, acl.get(), FALSE));
    Check(p_SetSecurityDescriptorGroup()(&descriptor, administrators.get(), FALSE));
    Check(p_SetSecurityDescriptorOwner()(&descriptor, administrators.get(), FALSE));
    if (!p_IsValidSecurityDescriptor()(&descriptor))
        Throw(E_UNEXPECTED);

    GENERIC_MAPPING mapping{read_access, write_access, 0, read_access | write_access};
    DWORD privileges[5] = {}; // a PRIVILEGE_SET of 20 bytes
    DWORD privileges_size = sizeof privileges;
    DWORD granted = 0;
    BOOL status = FALSE;
    Check(p_AccessCheck()(&descriptor, token.value, read_access, &mapping,
                          reinterpret_cast<PPRIVILEGE_SET>(privileges), &privileges_size,
                          &granted, &status));
    return status != FALSE;
}

bool IsAdministrator() noexcept {
    try {
        return security_detail::IsAdministratorByMembership();
    } catch (...) {
    }
    try {
        return security_detail::IsAdministratorByAccessCheck();
    } catch (...) {
        return false;
    }
}

// ---------------------------------------------------------------------------------------
// Privileges

bool EnablePrivilege(const std::wstring& privilege, bool enable) noexcept {
    try {
        token_handle token{OpenProcessTokenFor(TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY)};
        const LUID luid = LookupPrivilege(privilege);

        // A first adjustment with attributes 0 reports the privilege's current attributes;
        // it fails, changing nothing, when the account does not hold the privilege.
        TOKEN_PRIVILEGES request{};
        request.PrivilegeCount = 1;
        request.Privileges[0].Luid = luid;
        request.Privileges[0].Attributes = 0;
        TOKEN_PRIVILEGES previous{};
        AdjustPrivileges(token.value, &request, &previous, sizeof previous);

        // Only privileges whose state changed are reported: none means it was disabled.
        DWORD attributes = previous.PrivilegeCount > 0 ? previous.Privileges[0].Attributes : 0;
        if (enable)
            attributes |= SE_PRIVILEGE_ENABLED;
        else
            attributes &= ~static_cast<DWORD>(SE_PRIVILEGE_ENABLED);
        request.Privileges[0].Attributes = attributes;
        AdjustPrivileges(token.value, &request, nullptr, 0);
        return true;
    } catch (...) {
        return false;
    }
}

// ---------------------------------------------------------------------------------------
// File access

namespace {

// The identifier an entry is about, or null for entry types that carry none we know.
PSID SidOfAce(const ACE_HEADER* header) {
    const auto* bytes = reinterpret_cast<const BYTE*>(header);
    DWORD offset = 0;
    switch (header->AceType) {
    case ACCESS_ALLOWED_ACE_TYPE:
    case ACCESS_DENIED_ACE_TYPE:
    case SYSTEM_AUDIT_ACE_TYPE:
    case SYSTEM_ALARM_ACE_TYPE:
    case ACCESS_ALLOWED_CALLBACK_ACE_TYPE:
    case ACCESS_DENIED_CALLBACK_ACE_TYPE:
    case SYSTEM_AUDIT_CALLBACK_ACE_TYPE:
        offset = offsetof(ACCESS_ALLOWED_ACE, SidStart);
        break;
    case ACCESS_ALLOWED_OBJECT_ACE_TYPE:
    case ACCESS_DENIED_OBJECT_ACE_TYPE:
    case SYSTEM_AUDIT_OBJECT_ACE_TYPE:
    case SYSTEM_ALARM_OBJECT_ACE_TYPE:
    case ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE:
    case ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE:
    case SYSTEM_AUDIT_CALLBACK_OBJECT_ACE_TYPE: {
        const auto* object = reinterpret_cast<const ACCESS_ALLOWED_OBJECT_ACE*>(header);
        offset = offsetof(ACCESS_ALLOWED_OBJECT_ACE, ObjectType);
        if (object->Flags & ACE_OBJECT_TYPE_PRESENT)
            offset += sizeof(GUID);
        if (object->Flags & ACE_INHERITED_OBJECT_TYPE_PRESENT)
            offset += sizeof(GUID);
        break;
    }
    default:
        return nullptr;
    }
    // The fixed part of a SID (revision, count, authority) must lie inside the entry.
    if (offset + 8 > header->AceSize)
        return nullptr;
    PSID sid = const_cast<BYTE*>(bytes + offset);
    const DWORD sub_authorities = reinterpret_cast<const SID*>(sid)->SubAuthorityCount;
    if (offset + 8 + 4 * sub_authorities > header->AceSize)
        return nullptr;
    return sid;
}

bool IsEntryFor(const ACE_HEADER* header, PSID sid) {
    const PSID entry_sid = SidOfAce(header);
    return entry_sid && Equal(entry_sid, sid);
}

void GrantFileAccessOrThrow(const std::wstring& path, DWORD mask) {
    const security_identifier users = WellKnownSid(account_users);

    std::vector<DWORD> old_descriptor = GetFileDaclDescriptor(path);
    BOOL present = FALSE, defaulted = FALSE;
    PACL old_list = nullptr;
    Check(p_GetSecurityDescriptorDacl()(old_descriptor.data(), &present, &old_list, &defaulted));
    const access_list new_list =
        security_detail::ListGrantingAccess(present ? old_list : nullptr, users.get(), mask);

    SECURITY_DESCRIPTOR descriptor;
    InitializeDescriptor(&descriptor);
    Check(p_SetSecurityDescriptorDacl()(&descriptor, TRUE, new_list.get(), FALSE));
    SECURITY_DESCRIPTOR_CONTROL old_control = 0;
    DWORD revision = 0;
    Check(p_GetSecurityDescriptorControl()(old_descriptor.data(), &old_control, &revision));
    const SECURITY_DESCRIPTOR_CONTROL control = security_detail::InheritanceControlFor(old_control);
    if (control)
        Check(p_SetSecurityDescriptorControl()(&descriptor, control, control));
    SetFileDacl(path, &descriptor);
}

} // namespace

access_list security_detail::ListGrantingAccess(PACL old_list, PSID sid, DWORD mask) {
    ACL_SIZE_INFORMATION old_size{};
    old_size.AclBytesInUse = sizeof(ACL); // an empty list
    if (old_list)
        Check(p_GetAclInformation()(old_list, &old_size, sizeof old_size, AclSizeInformation));

    const DWORD new_size = old_size.AclBytesInUse + 8 + LengthOf(sid);
    access_list new_list(new_size);
    Check(p_InitializeAcl()(new_list.get(), new_size, ACL_REVISION));

    // The explicit entries come first, the inherited ones last; the new entry goes between.
    const DWORD count = old_list ? old_size.AceCount : 0;
    auto copy_entry = [&](const ACE_HEADER* header) {
        if (!IsEntryFor(header, sid))
            Check(p_AddAce()(new_list.get(), ACL_REVISION, MAXDWORD,
                             const_cast<ACE_HEADER*>(header), header->AceSize));
    };
    DWORD index = 0;
    for (; index < count; ++index) {
        void* entry = nullptr;
        Check(p_GetAce()(old_list, index, &entry));
        const auto* header = static_cast<const ACE_HEADER*>(entry);
        if (header->AceFlags & INHERITED_ACE)
            break;
        copy_entry(header);
    }
    Check(p_AddAccessAllowedAce()(new_list.get(), ACL_REVISION, mask, sid));
    for (; index < count; ++index) {
        void* entry = nullptr;
        Check(p_GetAce()(old_list, index, &entry));
        copy_entry(static_cast<const ACE_HEADER*>(entry));
    }
    return new_list;
}

SECURITY_DESCRIPTOR_CONTROL security_detail::InheritanceControlFor(
    SECURITY_DESCRIPTOR_CONTROL old_control) noexcept {
    if (old_control & SE_DACL_AUTO_INHERITED)
        return SE_DACL_AUTO_INHERIT_REQ | SE_DACL_AUTO_INHERITED;
    if (old_control & SE_DACL_PROTECTED)
        return SE_DACL_PROTECTED;
    return 0;
}

bool GrantFileAccess(const std::wstring& path, DWORD mask) noexcept {
    try {
        GrantFileAccessOrThrow(path, mask);
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace ov
