// The security module against the real Windows security calls (under Wine): account
// identifiers, access lists, the administrator test, process privileges and file access
// lists written and read back from real files.
//
// Every check reads the result back through the linked advapi32, independently of the
// module's own run-time bound functions.
#include "support/security.hpp"
#include "tests/common/sid_text.hpp"

#include <gtest/gtest.h>

#include <sddl.h>
#include <windows.h>

#include <sstream>
#include <string>
#include <vector>

using ovtest::SidText;

namespace {

// ------------------------------------------------------------------------------------------
// Small tools

// A SID from its text form, freed at the end.
struct sid_from_text {
    PSID sid = nullptr;
    explicit sid_from_text(const wchar_t* text) { ConvertStringSidToSidW(text, &sid); }
    ~sid_from_text() { LocalFree(sid); }
};

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

struct token_handle {
    HANDLE value = nullptr;
    ~token_handle() {
        if (value)
            CloseHandle(value);
    }
};

// ------------------------------------------------------------------------------------------
// Errors and binding

TEST(SecurityErrors, HResultFromWin32) {
    struct row {
        DWORD error;
        HRESULT expected;
    };
    for (const row& r : {row{0, 0}, row{ERROR_ACCESS_DENIED, HRESULT(0x80070005)},
                         row{ERROR_INSUFFICIENT_BUFFER, HRESULT(0x8007007A)},
                         row{0x12345, HRESULT(0x80072345)},
                         row{DWORD(0x80004005), HRESULT(0x80004005)}}) {
        EXPECT_EQ(ov::HResultFromWin32(r.error), r.expected) << r.error;
    }
    const ov::security_error error(E_NOTIMPL);
    EXPECT_EQ(error.hresult(), E_NOTIMPL);
    EXPECT_EQ(&error.code().category(), &ov::hresult_category());
}

TEST(Advapi32Binding, FindsPresentFunctionsAndRefusesMissingOnes) {
    const FARPROC bound = ov::security_detail::BindAdvapi32("OpenProcessToken");
    EXPECT_EQ(bound, GetProcAddress(GetModuleHandleW(L"advapi32.dll"), "OpenProcessToken"));
    EXPECT_NE(bound, nullptr);
    try {
        ov::security_detail::BindAdvapi32("OvNoSuchSecurityFunction");
        ADD_FAILURE() << "a missing function was bound";
    } catch (const ov::security_error& error) {
        EXPECT_EQ(error.hresult(), E_NOTIMPL);
    }
}

// ------------------------------------------------------------------------------------------
// Identifiers and one-entry lists

TEST(WellKnownSid, FixedAccounts) {
    struct row {
        int selector;
        const wchar_t* sid;
    };
    for (const row& r : {row{ov::account_administrators, L"S-1-5-32-544"},
                         row{ov::account_users, L"S-1-5-32-545"},
                         row{ov::account_authenticated_users, L"S-1-5-11"},
                         row{ov::account_everyone, L"S-1-1-0"}, row{6, L"S-1-1-0"},
                         row{-1, L"S-1-1-0"}}) {
        const ov::security_identifier sid = ov::WellKnownSid(r.selector);
        ASSERT_TRUE(sid) << r.selector;
        EXPECT_TRUE(IsValidSid(sid.get()));
        EXPECT_EQ(SidText(sid.get()), r.sid) << r.selector;
        EXPECT_EQ(sid.length(), GetLengthSid(sid.get()));
    }
}

TEST(WellKnownSid, CurrentUserFromTokenAndByName) {
    token_handle token;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token.value));
    DWORD size = 0;
    GetTokenInformation(token.value, TokenUser, nullptr, 0, &size);
    std::vector<DWORD> buffer(size / sizeof(DWORD) + 1);
    ASSERT_TRUE(GetTokenInformation(token.value, TokenUser, buffer.data(),
                                    DWORD(buffer.size() * sizeof(DWORD)), &size));
    const std::wstring expected = SidText(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);

    ov::security_identifier from_token = ov::WellKnownSid(ov::account_token_user);
    EXPECT_EQ(SidText(from_token.get()), expected);

    // Moving hands the memory over.
    ov::security_identifier moved = std::move(from_token);
    EXPECT_FALSE(from_token);
    EXPECT_EQ(SidText(moved.get()), expected);

    ov::security_identifier by_name;
    try {
        by_name = ov::WellKnownSid(ov::account_current_user_by_name);
    } catch (const ov::security_error& error) {
        GTEST_SKIP() << "looking the user up by DOMAIN\\name failed here (HRESULT 0x" << std::hex
                     << error.hresult() << ")";
    }
    EXPECT_EQ(SidText(by_name.get()), expected);
}

TEST(SingleEntryAcl, OneAllowedEntryOfTheExactSize) {
    struct row {
        const wchar_t* sid;
        DWORD mask;
    };
    for (const row& r : {row{L"S-1-1-0", MUTEX_ALL_ACCESS}, row{L"S-1-5-32-544", 3},
                         row{L"S-1-5-21-1-2-3-1000", 0x13019F}}) {
        const sid_from_text sid(r.sid);
        ASSERT_NE(sid.sid, nullptr);
        const ov::access_list acl = ov::SingleEntryAcl(sid.sid, r.mask);
        ASSERT_TRUE(acl);
        EXPECT_TRUE(IsValidAcl(acl.get()));
        EXPECT_EQ(acl.get()->AclRevision, ACL_REVISION);
        EXPECT_EQ(acl.get()->AclSize, 16 + GetLengthSid(sid.sid));
        ASSERT_EQ(acl.get()->AceCount, 1);
        void* entry = nullptr;
        ASSERT_TRUE(GetAce(acl.get(), 0, &entry));
        const auto* ace = static_cast<ACCESS_ALLOWED_ACE*>(entry);
        EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
        EXPECT_EQ(ace->Header.AceFlags, 0);
        EXPECT_EQ(ace->Mask, r.mask);
        EXPECT_EQ(SidText(const_cast<DWORD*>(&ace->SidStart)), r.sid);
    }
}

TEST(ObjectSecurity, DescriptorCarriesTheOneEntryList) {
    const ov::object_security security(ov::account_everyone, SEMAPHORE_ALL_ACCESS);
    EXPECT_EQ(security.attributes.nLength, sizeof(SECURITY_ATTRIBUTES));
    EXPECT_FALSE(security.attributes.bInheritHandle);
    EXPECT_EQ(security.attributes.lpSecurityDescriptor, &security.descriptor);
    EXPECT_TRUE(IsValidSecurityDescriptor(const_cast<SECURITY_DESCRIPTOR*>(&security.descriptor)));
    BOOL present = FALSE, defaulted = TRUE;
    PACL dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(const_cast<SECURITY_DESCRIPTOR*>(&security.descriptor),
                                          &present, &dacl, &defaulted));
    EXPECT_TRUE(present);
    EXPECT_FALSE(defaulted);
    EXPECT_EQ(dacl, security.acl.get());
}

// ------------------------------------------------------------------------------------------
// Administrator test

bool DirectAdministratorMembership() {
    const sid_from_text administrators(L"S-1-5-32-544");
    BOOL member = FALSE;
    if (!CheckTokenMembership(nullptr, administrators.sid, &member))
        return false;
    return member != FALSE;
}

TEST(IsAdministrator, AgreesWithTheTokenAndBothMethodsAgree) {
    const bool expected = DirectAdministratorMembership();
    EXPECT_EQ(ov::IsAdministrator(), expected);
    EXPECT_EQ(ov::security_detail::IsAdministratorByMembership(), expected);
    EXPECT_EQ(ov::security_detail::IsAdministratorByAccessCheck(), expected);
    // The access-check method impersonates only for its own duration.
    HANDLE thread_token = nullptr;
    EXPECT_FALSE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &thread_token));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_TOKEN));
    if (thread_token)
        CloseHandle(thread_token);
}

TEST(IsAdministrator, AnswersNoUnderATokenWithoutAdministrators) {
    if (!DirectAdministratorMembership())
        GTEST_SKIP() << "this user is no administrator; the test needs one to restrict";
    // A copy of the process token in which Administrators only denies, worn by this thread.
    token_handle process;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, &process.value));
    const sid_from_text administrators(L"S-1-5-32-544");
    SID_AND_ATTRIBUTES disable{administrators.sid, 0};
    token_handle restricted;
    if (!CreateRestrictedToken(process.value, 0, 1, &disable, 0, nullptr, 0, nullptr,
                               &restricted.value))
        GTEST_SKIP() << "CreateRestrictedToken is refused here (error " << GetLastError() << ")";
    token_handle impersonation;
    ASSERT_TRUE(DuplicateTokenEx(restricted.value, TOKEN_QUERY | TOKEN_IMPERSONATE, nullptr,
                                 SecurityImpersonation, TokenImpersonation, &impersonation.value));
    ASSERT_TRUE(SetThreadToken(nullptr, impersonation.value));
    const bool direct = DirectAdministratorMembership();
    const bool answer = ov::IsAdministrator();
    ASSERT_TRUE(RevertToSelf());
    if (direct)
        GTEST_SKIP() << "Wine ignores deny-only groups of a restricted token: CheckTokenMembership "
                        "still reports Administrators, so the non-administrator path cannot be "
                        "reached (Wine's user is always an administrator)";
    EXPECT_FALSE(answer);
    EXPECT_TRUE(ov::IsAdministrator()); // and yes again once the thread wears its own token
}

// ------------------------------------------------------------------------------------------
// Privileges

// The privileges of the process token: LUID and attributes, in the token's order.
std::vector<LUID_AND_ATTRIBUTES> ProcessPrivileges() {
    token_handle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token.value))
        return {};
    DWORD size = 0;
    GetTokenInformation(token.value, TokenPrivileges, nullptr, 0, &size);
    std::vector<DWORD> buffer(size / sizeof(DWORD) + 1);
    if (!GetTokenInformation(token.value, TokenPrivileges, buffer.data(),
                             DWORD(buffer.size() * sizeof(DWORD)), &size))
        return {};
    const auto* privileges = reinterpret_cast<TOKEN_PRIVILEGES*>(buffer.data());
    return {privileges->Privileges, privileges->Privileges + privileges->PrivilegeCount};
}

std::string Describe(const std::vector<LUID_AND_ATTRIBUTES>& privileges) {
    std::ostringstream text;
    for (const auto& p : privileges)
        text << p.Luid.LowPart << ":" << p.Attributes << " ";
    return text.str();
}

// The attributes of a privilege in the process token; -1 when the token does not hold it.
long long PrivilegeAttributes(const wchar_t* name) {
    LUID luid{};
    if (!LookupPrivilegeValueW(nullptr, name, &luid))
        return -1;
    for (const auto& p : ProcessPrivileges())
        if (p.Luid.LowPart == luid.LowPart && p.Luid.HighPart == luid.HighPart)
            return p.Attributes;
    return -1;
}

TEST(EnablePrivilege, SwitchesBackupAndRestoreOnAndOff) {
    for (const wchar_t* name : {L"SeBackupPrivilege", L"SeRestorePrivilege"}) {
        SCOPED_TRACE(Narrow(name));
        const long long initial = PrivilegeAttributes(name);
        ASSERT_GE(initial, 0) << "the account does not hold the privilege";
        // Twice each way: switching to the state it already has is a separate path.
        for (const bool enable : {true, true, false, false, true}) {
            EXPECT_TRUE(ov::EnablePrivilege(name, enable)) << enable;
            const long long now = PrivilegeAttributes(name);
            EXPECT_EQ((now & SE_PRIVILEGE_ENABLED) != 0, enable) << "attributes " << now;
        }
        ASSERT_TRUE(ov::EnablePrivilege(name, (initial & SE_PRIVILEGE_ENABLED) != 0));
        EXPECT_EQ(PrivilegeAttributes(name), initial);
    }
}

TEST(EnablePrivilege, UnknownNameAnswersFalseAndChangesNothing) {
    const auto before = ProcessPrivileges();
    ASSERT_FALSE(before.empty());
    EXPECT_FALSE(ov::EnablePrivilege(L"SeNoSuchThingPrivilege", true));
    EXPECT_FALSE(ov::EnablePrivilege(L"", true));
    EXPECT_EQ(Describe(ProcessPrivileges()), Describe(before));
}

TEST(EnablePrivilege, PrivilegeNotHeldAnswersFalseAndChangesNothing) {
    const wchar_t* not_held = nullptr;
    for (const wchar_t* name :
         {L"SeCreateTokenPrivilege", L"SeTcbPrivilege", L"SeAssignPrimaryTokenPrivilege",
          L"SeLockMemoryPrivilege", L"SeMachineAccountPrivilege", L"SeRelabelPrivilege",
          L"SeTrustedCredManAccessPrivilege", L"SeSyncAgentPrivilege"}) {
        LUID luid{};
        if (LookupPrivilegeValueW(nullptr, name, &luid) && PrivilegeAttributes(name) < 0) {
            not_held = name;
            break;
        }
    }
    if (!not_held)
        GTEST_SKIP() << "this account holds every privilege tried";
    const auto before = ProcessPrivileges();
    EXPECT_FALSE(ov::EnablePrivilege(not_held, true)) << Narrow(not_held);
    EXPECT_FALSE(ov::EnablePrivilege(not_held, false)) << Narrow(not_held);
    EXPECT_EQ(Describe(ProcessPrivileges()), Describe(before));
}

// ------------------------------------------------------------------------------------------
// File access

// One entry of an access list in a comparable text form: type, flags, mask, account.
struct entry {
    BYTE type;
    BYTE flags;
    DWORD mask;
    const wchar_t* sid;
};

std::string EntryText(BYTE type, BYTE flags, DWORD mask, const std::wstring& sid) {
    std::ostringstream text;
    text << (type == ACCESS_ALLOWED_ACE_TYPE ? "allow" : type == ACCESS_DENIED_ACE_TYPE ? "deny" : "?")
         << " flags=0x" << std::hex << int(flags) << " mask=0x" << mask << " " << Narrow(sid);
    return text.str();
}

std::vector<std::string> EntryTexts(const std::vector<entry>& entries) {
    std::vector<std::string> texts;
    for (const entry& e : entries)
        texts.push_back(EntryText(e.type, e.flags, e.mask, e.sid));
    return texts;
}

// The entries of a list in text form, in order.
std::vector<std::string> EntriesOf(PACL acl) {
    std::vector<std::string> entries;
    for (DWORD i = 0; acl && i < acl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(acl, i, &ace))
            return {"unreadable entry"};
        const auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        entries.push_back(EntryText(allowed->Header.AceType, allowed->Header.AceFlags,
                                    allowed->Mask,
                                    SidText(const_cast<DWORD*>(&allowed->SidStart))));
    }
    return entries;
}

// A list built by the system's own functions from entries.
struct built_acl {
    std::vector<DWORD> buffer = std::vector<DWORD>(256);
    bool ok = false;
    PACL get() { return reinterpret_cast<PACL>(buffer.data()); }
    explicit built_acl(const std::vector<entry>& entries) {
        if (!InitializeAcl(get(), DWORD(buffer.size() * sizeof(DWORD)), ACL_REVISION))
            return;
        for (const entry& e : entries) {
            const sid_from_text sid(e.sid);
            const BOOL added =
                e.type == ACCESS_ALLOWED_ACE_TYPE
                    ? AddAccessAllowedAceEx(get(), ACL_REVISION, e.flags, e.mask, sid.sid)
                    : AddAccessDeniedAceEx(get(), ACL_REVISION, e.flags, e.mask, sid.sid);
            if (!added)
                return;
        }
        ok = true;
    }
};

// A file's list as read back: present, its entries, and the descriptor's control bits.
struct file_dacl {
    bool read = false;
    bool present = false;
    std::vector<std::string> entries;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
};

file_dacl ReadFileDacl(const std::wstring& path) {
    file_dacl result;
    DWORD size = 0;
    GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &size);
    std::vector<DWORD> buffer(size / sizeof(DWORD) + 1);
    if (!GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, buffer.data(),
                          DWORD(buffer.size() * sizeof(DWORD)), &size))
        return result;
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    DWORD revision = 0;
    if (!GetSecurityDescriptorDacl(buffer.data(), &present, &dacl, &defaulted) ||
        !GetSecurityDescriptorControl(buffer.data(), &result.control, &revision))
        return result;
    result.read = true;
    result.present = present && dacl;
    if (result.present)
        result.entries = EntriesOf(dacl);
    return result;
}

// Writes a list (or no list at all) with the given control bits to a file.
bool WriteFileDacl(const std::wstring& path, const std::vector<entry>* entries,
                   SECURITY_DESCRIPTOR_CONTROL control) {
    built_acl acl(entries ? *entries : std::vector<entry>{});
    if (!acl.ok)
        return false;
    SECURITY_DESCRIPTOR descriptor;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, entries ? acl.get() : nullptr, FALSE);
    if (control)
        SetSecurityDescriptorControl(&descriptor, control, control);
    return SetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, &descriptor) != FALSE;
}

// A scratch folder in the temporary folder, removed with everything in it.
class scratch_folder {
public:
    scratch_folder() {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        path_ = std::wstring(temp) + L"ov-security-" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~scratch_folder() {
        for (const std::wstring& file : files_)
            DeleteFileW(file.c_str());
        RemoveDirectoryW(path_.c_str());
    }
    std::wstring NewFile(const std::wstring& name) {
        const std::wstring file = path_ + L"\\" + name;
        HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
        files_.push_back(file);
        return file;
    }
    const std::wstring& path() const { return path_; }

private:
    std::wstring path_;
    std::vector<std::wstring> files_;
};

constexpr BYTE inherited = INHERITED_ACE;
constexpr BYTE folder_inherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
constexpr BYTE allow = ACCESS_ALLOWED_ACE_TYPE;
constexpr BYTE deny = ACCESS_DENIED_ACE_TYPE;
constexpr DWORD full = FILE_ALL_ACCESS;
constexpr DWORD read_execute = FILE_GENERIC_READ | FILE_GENERIC_EXECUTE;
const wchar_t* const users = L"S-1-5-32-545";
const wchar_t* const admins = L"S-1-5-32-544";
const wchar_t* const system_account = L"S-1-5-18";
const wchar_t* const everyone = L"S-1-1-0";

struct grant_case {
    const char* label;
    bool has_list;
    std::vector<entry> before;
    SECURITY_DESCRIPTOR_CONTROL control;
    DWORD mask;
    std::vector<entry> after;
    SECURITY_DESCRIPTOR_CONTROL control_kept; // the bits of `control` that must stay
};

const std::vector<grant_case>& GrantCases() {
    static const std::vector<grant_case> cases = {
        {"automatically inherited list with own and inherited Users entries",
         true,
         {{allow, folder_inherit, full, admins},
          {allow, 0, read_execute, users},
          {deny, 0, FILE_WRITE_DATA, everyone},
          {allow, inherited, full, system_account},
          {allow, inherited, read_execute, users},
          {allow, inherited | OBJECT_INHERIT_ACE, full, admins}},
         SE_DACL_AUTO_INHERITED,
         ov::SharedFileAccess,
         {{allow, folder_inherit, full, admins},
          {deny, 0, FILE_WRITE_DATA, everyone},
          {allow, 0, ov::SharedFileAccess, users},
          {allow, inherited, full, system_account},
          {allow, inherited | OBJECT_INHERIT_ACE, full, admins}},
         SE_DACL_AUTO_INHERITED},
        {"protected list",
         true,
         {{allow, 0, full, system_account}, {allow, 0, read_execute, users}, {allow, 0, full, admins}},
         SE_DACL_PROTECTED,
         read_execute | DELETE,
         {{allow, 0, full, system_account}, {allow, 0, full, admins},
          {allow, 0, read_execute | DELETE, users}},
         SE_DACL_PROTECTED},
        {"denying Users entry replaced, no inherited entries",
         true,
         {{deny, 0, DELETE, users}, {allow, 0, full, admins}},
         0,
         ov::SharedFileAccess,
         {{allow, 0, full, admins}, {allow, 0, ov::SharedFileAccess, users}},
         0},
        {"only inherited entries",
         true,
         {{allow, inherited, full, system_account}, {allow, inherited, full, users}},
         SE_DACL_AUTO_INHERITED,
         ov::SharedFileAccess,
         {{allow, 0, ov::SharedFileAccess, users}, {allow, inherited, full, system_account}},
         SE_DACL_AUTO_INHERITED},
        {"empty list", true, {}, 0, ov::SharedFileAccess,
         {{allow, 0, ov::SharedFileAccess, users}}, 0},
        {"no list at all", false, {}, 0, ov::SharedFileAccess,
         {{allow, 0, ov::SharedFileAccess, users}}, 0},
    };
    return cases;
}

// The list itself, built from real lists by the system's functions.
class GrantListCase : public ::testing::TestWithParam<size_t> {};

TEST_P(GrantListCase, PlacesOneUsersEntryBetweenOwnAndInheritedEntries) {
    const grant_case& c = GrantCases()[GetParam()];
    SCOPED_TRACE(c.label);
    built_acl old_list(c.before);
    ASSERT_TRUE(old_list.ok);
    const sid_from_text users_sid(users);
    const ov::access_list granted =
        ov::security_detail::ListGrantingAccess(c.has_list ? old_list.get() : nullptr,
                                                users_sid.sid, c.mask);
    ASSERT_TRUE(granted);
    EXPECT_TRUE(IsValidAcl(granted.get()));
    EXPECT_EQ(EntriesOf(granted.get()), EntryTexts(c.after));

    // Granting again to the result changes nothing: still exactly one Users entry.
    const ov::access_list again =
        ov::security_detail::ListGrantingAccess(granted.get(), users_sid.sid, c.mask);
    EXPECT_EQ(EntriesOf(again.get()), EntryTexts(c.after));
}

INSTANTIATE_TEST_SUITE_P(Lists, GrantListCase, ::testing::Range<size_t>(0, GrantCases().size()));

TEST(GrantFileAccess, KeepsAutomaticInheritanceElseProtection) {
    struct row {
        SECURITY_DESCRIPTOR_CONTROL old_control, expected;
    };
    for (const row& r :
         {row{0, 0}, row{SE_DACL_PRESENT, 0},
          row{SE_DACL_AUTO_INHERITED, SE_DACL_AUTO_INHERIT_REQ | SE_DACL_AUTO_INHERITED},
          row{SE_DACL_PROTECTED, SE_DACL_PROTECTED},
          row{SE_DACL_AUTO_INHERITED | SE_DACL_PROTECTED,
              SE_DACL_AUTO_INHERIT_REQ | SE_DACL_AUTO_INHERITED},
          row{SE_DACL_AUTO_INHERIT_REQ, 0}, row{SE_SACL_AUTO_INHERITED | SE_SACL_PROTECTED, 0}}) {
        EXPECT_EQ(ov::security_detail::InheritanceControlFor(r.old_control), r.expected)
            << std::hex << r.old_control;
    }
}

// The whole operation on real files, read back through GetFileSecurityW.
class GrantFileCase : public ::testing::TestWithParam<size_t> {};

TEST_P(GrantFileCase, WritesTheListToTheFile) {
    const grant_case& c = GrantCases()[GetParam()];
    SCOPED_TRACE(c.label);
    scratch_folder folder;
    const std::wstring file = folder.NewFile(L"shared.dat");
    ASSERT_TRUE(WriteFileDacl(file, c.has_list ? &c.before : nullptr, c.control))
        << GetLastError();

    // Judge the module only where the system keeps what is written.
    const file_dacl written = ReadFileDacl(file);
    ASSERT_TRUE(written.read);
    if ((c.has_list && written.entries != EntryTexts(c.before)) ||
        (!c.has_list && written.present))
        GTEST_SKIP() << "this system does not keep a file's access list (Wine 8 turns it into "
                        "Unix permission bits and reads back a list made from them)";
    if ((written.control & c.control) != c.control)
        GTEST_SKIP() << "this system does not keep the list's control bits 0x" << std::hex
                     << c.control << " (read back 0x" << written.control << ")";

    ASSERT_TRUE(ov::GrantFileAccess(file, c.mask));
    const file_dacl granted = ReadFileDacl(file);
    ASSERT_TRUE(granted.read);
    EXPECT_TRUE(granted.present);
    EXPECT_EQ(granted.entries, EntryTexts(c.after));
    EXPECT_EQ(granted.control & c.control_kept, c.control_kept);
    if (!(c.control & SE_DACL_PROTECTED)) {
        EXPECT_EQ(granted.control & SE_DACL_PROTECTED, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, GrantFileCase, ::testing::Range<size_t>(0, GrantCases().size()));

TEST(GrantFileAccess, SucceedsOnAFileWithItsDefaultListAndKeepsItsContent) {
    scratch_folder folder;
    const std::wstring file = folder.NewFile(L"data.bin");
    {
        HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(handle, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(handle, "abc", 3, &written, nullptr);
        CloseHandle(handle);
    }
    const file_dacl before = ReadFileDacl(file);
    ASSERT_TRUE(before.read);
    ASSERT_TRUE(ov::GrantFileAccess(file, ov::SharedFileAccess));
    const file_dacl after = ReadFileDacl(file);
    ASSERT_TRUE(after.read);
    // The file's own entries are all still there, in their order.
    std::vector<std::string> kept;
    for (const std::string& e : after.entries)
        if (e.find(Narrow(users)) == std::string::npos)
            kept.push_back(e);
    std::vector<std::string> expected_kept;
    for (const std::string& e : before.entries)
        if (e.find(Narrow(users)) == std::string::npos)
            expected_kept.push_back(e);
    EXPECT_EQ(kept, expected_kept);

    HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    char content[4] = {};
    DWORD read = 0;
    ReadFile(handle, content, 3, &read, nullptr);
    CloseHandle(handle);
    EXPECT_EQ(std::string(content, read), "abc");
}

TEST(GrantFileAccess, MissingFileAnswersFalseAndCreatesNothing) {
    scratch_folder folder;
    const std::wstring missing = folder.path() + L"\\missing.dat";
    EXPECT_FALSE(ov::GrantFileAccess(missing, ov::SharedFileAccess));
    EXPECT_EQ(GetFileAttributesW(missing.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(ov::GrantFileAccess(L"", ov::SharedFileAccess));
}

} // namespace
