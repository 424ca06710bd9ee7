// Running-instance tracking across real processes: this executable starts copies of itself
// in helper roles (selected by "--helper <role> ...") under the same Wine server.
//
// Like every program of the product family, this executable registers itself in the instance
// semaphore while its static objects are constructed, so the counts below include it.
#include "support/instances.hpp"
#include "tests/common/sid_text.hpp"

#include <gtest/gtest.h>

#include <aclapi.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

using ovtest::SidText;

namespace {

// Exit codes of the helper roles.
constexpr DWORD helper_took_lock = 10;
constexpr DWORD helper_lock_refused = 11;
constexpr DWORD helper_failed = 99;

// A guard against a hung helper, not a measure of speed.
constexpr DWORD hang_guard_ms = 120000;

std::wstring Widen(const char* text) { return std::wstring(text, text + strlen(text)); }

std::wstring UniqueName(const wchar_t* what) {
    static unsigned counter = 0;
    return L"OvTest." + std::wstring(what) + L"." + std::to_wstring(GetCurrentProcessId()) + L"." +
           std::to_wstring(++counter);
}

// ------------------------------------------------------------------------------------------
// Helper roles (run in the child process)

HANDLE OpenNamedEvent(const std::wstring& name) {
    return OpenEventW(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, name.c_str());
}

// hold NAME READY QUIT MODE: takes the mutex, says so, waits for QUIT, then ends according to
// MODE: "release" returns normally (the lock releases), "exit" ends the process without
// releasing, "stay" waits to be terminated.
int HoldRole(const std::wstring& name, const std::wstring& ready_name,
             const std::wstring& quit_name, const std::wstring& mode) {
    HANDLE ready = OpenNamedEvent(ready_name);
    HANDLE quit = OpenNamedEvent(quit_name);
    if (!ready || !quit)
        return helper_failed;
    // A helper that will not end normally leaves no unit in the instance semaphore behind.
    if (mode != L"release")
        ov::UnregisterInstance();
    ov::InstanceLock lock(name);
    if (!lock.TryAcquire())
        return helper_lock_refused;
    SetEvent(ready);
    if (mode == L"stay")
        Sleep(INFINITE);
    WaitForSingleObject(quit, INFINITE);
    if (mode == L"exit")
        ExitProcess(0); // the lock's destructor never runs: the mutex is abandoned
    return 0;
}

// try NAME: answers whether this process can take the mutex.
int TryRole(const std::wstring& name) {
    ov::InstanceLock lock(name);
    const bool taken = lock.TryAcquire();
    if (taken != lock.owned)
        return helper_failed;
    return taken ? helper_took_lock : helper_lock_refused;
}

// registered READY QUIT UNREGISTER: says it runs (it registered at start-up), optionally
// unregisters at once, waits for QUIT and ends normally.
int RegisteredRole(const std::wstring& ready_name, const std::wstring& quit_name,
                   const std::wstring& unregister) {
    HANDLE ready = OpenNamedEvent(ready_name);
    HANDLE quit = OpenNamedEvent(quit_name);
    if (!ready || !quit || !ov::IsInstanceRegistered())
        return helper_failed;
    if (unregister == L"unregister") {
        ov::UnregisterInstance();
        // Unregistered, the process no longer counts itself or anyone, and a second
        // unregistration (the one at exit follows) does nothing.
        if (ov::IsInstanceRegistered() || ov::RunningCount() != 0 || ov::RegisterInstance())
            return helper_failed;
        ov::UnregisterInstance();
    }
    SetEvent(ready);
    WaitForSingleObject(quit, INFINITE);
    return 0;
}

// count: answers RunningCount as seen from the helper.
int CountRole() { return ov::IsInstanceRegistered() ? static_cast<int>(ov::RunningCount()) : -1; }

int RunHelper(const std::vector<std::wstring>& args) {
    const std::wstring& role = args[0];
    if (role == L"hold" && args.size() == 5)
        return HoldRole(args[1], args[2], args[3], args[4]);
    if (role == L"try" && args.size() == 2)
        return TryRole(args[1]);
    if (role == L"registered" && args.size() == 4)
        return RegisteredRole(args[1], args[2], args[3]);
    if (role == L"count" && args.size() == 1)
        return CountRole();
    return helper_failed;
}

// ------------------------------------------------------------------------------------------
// The parent's side

class scoped_handle {
public:
    explicit scoped_handle(HANDLE handle = nullptr) : handle_(handle) {}
    ~scoped_handle() {
        if (handle_)
            CloseHandle(handle_);
    }
    scoped_handle(const scoped_handle&) = delete;
    scoped_handle& operator=(const scoped_handle&) = delete;
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

// An event the helper opens by name.
struct named_event {
    std::wstring name = UniqueName(L"Event");
    scoped_handle handle{CreateEventW(nullptr, TRUE, FALSE, name.c_str())};
};

// A copy of this executable in a helper role; terminated if still running at the end.
class helper_process {
public:
    explicit helper_process(const std::wstring& arguments) {
        wchar_t exe[MAX_PATH];
        GetModuleFileNameW(nullptr, exe, MAX_PATH);
        std::wstring command = L"\"" + std::wstring(exe) + L"\" --helper " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        started_ = CreateProcessW(exe, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                  nullptr, &startup, &info_) != FALSE;
    }
    ~helper_process() {
        if (!started_)
            return;
        if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(info_.hProcess, helper_failed);
            WaitForSingleObject(info_.hProcess, hang_guard_ms);
        }
        CloseHandle(info_.hThread);
        CloseHandle(info_.hProcess);
    }
    helper_process(const helper_process&) = delete;
    helper_process& operator=(const helper_process&) = delete;

    bool started() const { return started_; }

    // Waits until the helper signals `event`; false (with its exit code) if it ended first.
    ::testing::AssertionResult WaitFor(const named_event& event) const {
        const HANDLE handles[2] = {event.handle.get(), info_.hProcess};
        const DWORD result = WaitForMultipleObjects(2, handles, FALSE, hang_guard_ms);
        if (result == WAIT_OBJECT_0)
            return ::testing::AssertionSuccess();
        DWORD code = 0;
        GetExitCodeProcess(info_.hProcess, &code);
        return ::testing::AssertionFailure()
               << "helper did not get ready (wait result " << result << ", exit code " << code
               << ")";
    }

    // Waits for the end of the helper and answers its exit code.
    DWORD ExitCode() const {
        if (WaitForSingleObject(info_.hProcess, hang_guard_ms) != WAIT_OBJECT_0)
            return STILL_ACTIVE;
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(info_.hProcess, &code);
        return code;
    }

    void Terminate() const {
        TerminateProcess(info_.hProcess, 1);
        WaitForSingleObject(info_.hProcess, hang_guard_ms);
    }

private:
    PROCESS_INFORMATION info_{};
    bool started_ = false;
};

DWORD TryInHelper(const std::wstring& name) {
    helper_process helper(L"try " + name);
    if (!helper.started())
        return helper_failed;
    return helper.ExitCode();
}

// The DACL of a kernel object, as the system reports it.
struct object_dacl {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PACL dacl = nullptr;
    DWORD error = 0;
    explicit object_dacl(HANDLE object) {
        error = GetSecurityInfo(object, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                nullptr, &dacl, nullptr, &descriptor);
    }
    ~object_dacl() { LocalFree(descriptor); }
};

// ------------------------------------------------------------------------------------------
// Names

TEST(MakeGlobalName, PrefixesGlobalOnNt5AndLater) {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    ASSERT_TRUE(GetVersionExW(&version));
    const bool global = version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 5;
    for (const std::wstring name : {L"Vestrilo.{x}", L"", L"a b\\c"}) {
        EXPECT_EQ(ov::MakeGlobalName(name), global ? L"Global\\" + name : name);
    }
}

TEST(InstanceNames, AreProductNameDotGuid) {
    EXPECT_EQ(ov::InstanceMutexName(), L"Vestrilo.{5ead623c-dfcd-474d-8e3c-e6978cac039e}");
    EXPECT_EQ(ov::InstanceSemaphoreName(), L"Vestrilo.{a3526b56-ca7c-4e16-8a26-da7758a378fd}");
}

// ------------------------------------------------------------------------------------------
// Creating and opening the objects

struct object_kind {
    const char* label;
    HANDLE (*create)(const std::wstring&);
    HANDLE (*open)(const std::wstring&);
    DWORD full_access;
};

const object_kind object_kinds[] = {
    {"mutex", [](const std::wstring& n) { return ov::CreateOpenMutex(n); },
     [](const std::wstring& n) { return OpenMutexW(SYNCHRONIZE, FALSE, n.c_str()); },
     MUTEX_ALL_ACCESS},
    {"semaphore", [](const std::wstring& n) { return ov::CreateOpenSemaphore(0, 10, n); },
     [](const std::wstring& n) { return OpenSemaphoreW(SYNCHRONIZE, FALSE, n.c_str()); },
     SEMAPHORE_ALL_ACCESS},
};

TEST(CreateOpenObjects, CreateThenOpenKeepsTheLastError) {
    for (const object_kind& kind : object_kinds) {
        SCOPED_TRACE(kind.label);
        const std::wstring name = UniqueName(L"Object");
        SetLastError(ERROR_INVALID_DATA);
        scoped_handle first(kind.create(name));
        const DWORD first_error = GetLastError();
        ASSERT_NE(first.get(), nullptr);
        EXPECT_EQ(first_error, static_cast<DWORD>(ERROR_SUCCESS));

        scoped_handle second(kind.create(name));
        const DWORD second_error = GetLastError();
        ASSERT_NE(second.get(), nullptr);
        EXPECT_EQ(second_error, static_cast<DWORD>(ERROR_ALREADY_EXISTS));

        // Both handles reach one object, under its global name.
        scoped_handle opened(kind.open(L"Global\\" + name));
        EXPECT_NE(opened.get(), nullptr) << GetLastError();
    }
}

TEST(CreateOpenObjects, DaclGivesEveryoneFullAccessOnly) {
    for (const object_kind& kind : object_kinds) {
        SCOPED_TRACE(kind.label);
        scoped_handle object(kind.create(UniqueName(L"Object")));
        ASSERT_NE(object.get(), nullptr);
        const object_dacl read(object.get());
        ASSERT_EQ(read.error, static_cast<DWORD>(ERROR_SUCCESS));
        ASSERT_NE(read.dacl, nullptr);
        ASSERT_EQ(read.dacl->AceCount, 1);
        void* entry = nullptr;
        ASSERT_TRUE(GetAce(read.dacl, 0, &entry));
        const auto* ace = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
        EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
        EXPECT_EQ(ace->Header.AceFlags, 0);
        EXPECT_EQ(ace->Mask, kind.full_access);
        EXPECT_EQ(SidText(const_cast<DWORD*>(&ace->SidStart)), L"S-1-1-0");
    }
}

TEST(CreateOpenObjects, UnusableNameGivesNull) {
    // A name below a folder that does not exist in the object namespace.
    SetLastError(ERROR_SUCCESS);
    HANDLE handle = ov::CreateOpenMutex(L"NoSuchFolder\\" + UniqueName(L"Object"));
    EXPECT_EQ(handle, nullptr);
    EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));

    ov::InstanceLock lock(L"NoSuchFolder\\" + UniqueName(L"Lock"));
    EXPECT_EQ(lock.handle, nullptr);
    EXPECT_FALSE(lock.TryAcquire());
    EXPECT_FALSE(lock.owned);
}

// ------------------------------------------------------------------------------------------
// The instance mutex between processes

TEST(InstanceLock, SecondProcessCannotTakeItUntilTheFirstLetsGo) {
    const std::wstring name = UniqueName(L"Lock");
    {
        ov::InstanceLock lock(name);
        ASSERT_NE(lock.handle, nullptr);
        EXPECT_FALSE(lock.owned);
        ASSERT_TRUE(lock.TryAcquire());
        EXPECT_TRUE(lock.owned);
        EXPECT_EQ(TryInHelper(name), helper_lock_refused);
    } // released and closed here
    EXPECT_EQ(TryInHelper(name), helper_took_lock);
}

TEST(InstanceLock, TakenTwiceIsStillLetGoOnce) {
    const std::wstring name = UniqueName(L"Lock");
    // A second handle keeps the mutex in existence after the lock closes its own.
    scoped_handle keeper(ov::CreateOpenMutex(name));
    ASSERT_NE(keeper.get(), nullptr);
    {
        ov::InstanceLock lock(name);
        ASSERT_TRUE(lock.TryAcquire());
        ASSERT_TRUE(lock.TryAcquire());
        EXPECT_TRUE(lock.owned);
        EXPECT_EQ(TryInHelper(name), helper_lock_refused);
    } // one release: the mutex must be free now, not still held by this thread
    EXPECT_EQ(TryInHelper(name), helper_took_lock);
}

TEST(InstanceLock, HeldByAnotherProcessIsRefusedThenTaken) {
    const std::wstring name = UniqueName(L"Lock");
    named_event ready, quit;
    helper_process helper(L"hold " + name + L" " + ready.name + L" " + quit.name + L" release");
    ASSERT_TRUE(helper.started());
    ASSERT_TRUE(helper.WaitFor(ready));

    ov::InstanceLock lock(name);
    EXPECT_FALSE(lock.TryAcquire());
    EXPECT_FALSE(lock.owned);

    SetEvent(quit.handle.get());
    ASSERT_EQ(helper.ExitCode(), 0u);
    EXPECT_TRUE(lock.TryAcquire());
    EXPECT_TRUE(lock.owned);
}

TEST(InstanceLock, AbandonedByItsOwnerCanBeTaken) {
    struct ending {
        const char* label;
        const wchar_t* mode;
        bool terminate; // else the helper ends itself without releasing
    };
    for (const ending& end : {ending{"owner exits", L"exit", false},
                              ending{"owner terminated", L"stay", true}}) {
        SCOPED_TRACE(end.label);
        const std::wstring name = UniqueName(L"Lock");
        named_event ready, quit;
        helper_process helper(L"hold " + name + L" " + ready.name + L" " + quit.name + L" " +
                              end.mode);
        ASSERT_TRUE(helper.started());
        ASSERT_TRUE(helper.WaitFor(ready));
        ov::InstanceLock lock(name);
        ASSERT_FALSE(lock.TryAcquire()); // still owned by the living helper
        if (end.terminate) {
            helper.Terminate();
        } else {
            SetEvent(quit.handle.get());
            ASSERT_EQ(helper.ExitCode(), 0u);
        }
        EXPECT_TRUE(lock.TryAcquire());
        EXPECT_TRUE(lock.owned);
        // Now properly owned: another process is refused again.
        EXPECT_EQ(TryInHelper(name), helper_lock_refused);
    }
}

TEST(InstanceLock, LetGoThroughItsHandleAndRetaken) {
    // The installation releases the lock while the installed program registers itself.
    const std::wstring name = UniqueName(L"Lock");
    ov::InstanceLock lock(name);
    ASSERT_TRUE(lock.TryAcquire());
    ASSERT_TRUE(ReleaseMutex(lock.handle));
    lock.owned = false;
    EXPECT_EQ(TryInHelper(name), helper_took_lock);
    EXPECT_TRUE(lock.TryAcquire());
    EXPECT_EQ(TryInHelper(name), helper_lock_refused);
}

// ------------------------------------------------------------------------------------------
// The instance semaphore between processes

TEST(InstanceRegistration, ThisProcessAloneCountsOne) {
    ASSERT_TRUE(ov::IsInstanceRegistered());
    EXPECT_EQ(ov::RunningCount(), 1u) << "is another program of the family running?";
    // Counting takes its unit back, and registering again adds none.
    EXPECT_EQ(ov::RunningCount(), 1u);
    EXPECT_TRUE(ov::RegisterInstance());
    EXPECT_EQ(ov::RunningCount(), 1u);
}

TEST(InstanceRegistration, HelperCountsWhileRunningAndNotAfterItEnds) {
    named_event ready, quit;
    helper_process helper(L"registered " + ready.name + L" " + quit.name + L" stay-registered");
    ASSERT_TRUE(helper.started());
    ASSERT_TRUE(helper.WaitFor(ready));
    EXPECT_EQ(ov::RunningCount(), 2u);
    // The helper sees both as well.
    {
        helper_process counter(L"count");
        ASSERT_TRUE(counter.started());
        EXPECT_EQ(counter.ExitCode(), 3u); // this process, the waiting helper and itself
    }
    SetEvent(quit.handle.get());
    ASSERT_EQ(helper.ExitCode(), 0u);
    EXPECT_EQ(ov::RunningCount(), 1u);
}

TEST(InstanceRegistration, UnregisteredHelperNoLongerCounts) {
    named_event ready, quit;
    helper_process helper(L"registered " + ready.name + L" " + quit.name + L" unregister");
    ASSERT_TRUE(helper.started());
    ASSERT_TRUE(helper.WaitFor(ready));
    EXPECT_EQ(ov::RunningCount(), 1u); // the helper still runs, but has taken its unit back
    SetEvent(quit.handle.get());
    ASSERT_EQ(helper.ExitCode(), 0u);
    EXPECT_EQ(ov::RunningCount(), 1u);
}

TEST(InstanceRegistration, TerminatedHelperLeavesItsUnit) {
    named_event ready, quit;
    helper_process helper(L"registered " + ready.name + L" " + quit.name + L" stay-registered");
    ASSERT_TRUE(helper.started());
    ASSERT_TRUE(helper.WaitFor(ready));
    helper.Terminate();
    // An abnormal end skips the unregistration: the count stays one too high while the
    // semaphore exists.
    EXPECT_EQ(ov::RunningCount(), 2u);

    // Take the stray unit back so the other tests count from one again.
    scoped_handle semaphore(OpenSemaphoreW(SYNCHRONIZE, FALSE,
                                           ov::MakeGlobalName(ov::InstanceSemaphoreName()).c_str()));
    ASSERT_NE(semaphore.get(), nullptr);
    EXPECT_EQ(WaitForSingleObject(semaphore.get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(ov::RunningCount(), 1u);
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::string(argv[1]) == "--helper") {
        std::vector<std::wstring> args;
        for (int i = 2; i < argc; ++i)
            args.push_back(Widen(argv[i]));
        return RunHelper(args);
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
