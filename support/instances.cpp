// Running-instance tracking: the instance mutex and the instance semaphore.
#include "support/instances.hpp"

#include "support/identity.hpp"
#include "support/security.hpp"

#include <cstdlib>
#include <memory>

namespace ov {

namespace {

// The product's name, a dot and these GUIDs name the two objects, which the product's own
// programs share with the setup program.
constexpr wchar_t MutexGuid[] = L".{5ead623c-dfcd-474d-8e3c-e6978cac039e}";
constexpr wchar_t SemaphoreGuid[] = L".{a3526b56-ca7c-4e16-8a26-da7758a378fd}";

// The system version, asked once per process.
struct system_version {
    bool known = false;
    DWORD platform = 0;
    DWORD major = 0;
};

const system_version& SystemVersion() {
    static system_version version;
    if (!version.known) {
        OSVERSIONINFOEXW extended{};
        extended.dwOSVersionInfoSize = sizeof extended;
        if (GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&extended))) {
            version.platform = extended.dwPlatformId;
            version.major = extended.dwMajorVersion;
        } else {
            OSVERSIONINFOW basic{};
            basic.dwOSVersionInfoSize = sizeof basic;
            if (GetVersionExW(&basic)) {
                version.platform = basic.dwPlatformId;
                version.major = basic.dwMajorVersion;
            }
        }
        version.known = true;
    }
    return version;
}

// Creates or opens a named object with a DACL giving Everyone `mask`. The create call's last
// error (ERROR_ALREADY_EXISTS for an existing object) survives the clean-up.
template <class Create>
HANDLE CreateOpenObject(const std::wstring& name, DWORD mask, Create create) {
    const std::wstring full_name = MakeGlobalName(name);
    std::unique_ptr<object_security> security;
    try {
        security = std::make_unique<object_security>(account_everyone, mask);
    } catch (...) { // security_error or bad_alloc: nothing is created
        SetLastError(ERROR_CAN_NOT_COMPLETE);
        return nullptr;
    }
    const HANDLE handle = create(&security->attributes, full_name.c_str());
    const DWORD error = GetLastError();
    security.reset();
    SetLastError(error);
    return handle;
}

// This process's registration in the instance semaphore. Constant-initialised, so it is in
// place before any dynamic initialiser runs.
struct InstanceRegistration {
    HANDLE handle = nullptr;
    int held_units = 0;      // units this process added and has not taken back (0 or 1 here;
                             // signed so that a unit owed to the semaphore could be kept too)
    bool attempted = false;  // RegisterInstance ran
    bool registered = false; // the semaphore was obtained and the unit added; false again
                             // once the unregistration closed the handle
};
constinit InstanceRegistration g_registration;

} // namespace

std::wstring InstanceMutexName() { return std::wstring(product_name) + MutexGuid; }

std::wstring InstanceSemaphoreName() {
    return std::wstring(product_name) + SemaphoreGuid;
}

std::wstring MakeGlobalName(const std::wstring& name) {
    const system_version& version = SystemVersion();
    if (version.platform == VER_PLATFORM_WIN32_NT && version.major >= 5)
        return L"Global\\" + name;
    return name;
}

HANDLE CreateOpenMutex(const std::wstring& name) {
    return CreateOpenObject(name, MUTEX_ALL_ACCESS,
                            [](SECURITY_ATTRIBUTES* attributes, const wchar_t* full_name) {
                                return CreateMutexW(attributes, FALSE, full_name);
                            });
}

HANDLE CreateOpenSemaphore(LONG initial_count, LONG maximum_count, const std::wstring& name) {
    return CreateOpenObject(name, SEMAPHORE_ALL_ACCESS,
                            [=](SECURITY_ATTRIBUTES* attributes, const wchar_t* full_name) {
                                return CreateSemaphoreW(attributes, initial_count, maximum_count,
                                                        full_name);
                            });
}

// ---------------------------------------------------------------------------------------
// InstanceLock

InstanceLock::InstanceLock(const std::wstring& name) : handle(CreateOpenMutex(name)) {}

InstanceLock::~InstanceLock() {
    if (owned)
        ReleaseMutex(handle);
    if (handle)
        CloseHandle(handle);
}

bool InstanceLock::TryAcquire() {
    if (!handle) {
        owned = false;
        return false;
    }
    // Waiting again would count the mutex twice, and the one release in the destructor would
    // then leave it held by this thread.
    if (owned)
        return true;
    const DWORD result = WaitForSingleObject(handle, 0);
    owned = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
    return owned;
}

// ---------------------------------------------------------------------------------------
// Registration in the instance semaphore

bool RegisterInstance() {
    InstanceRegistration& r = g_registration;
    if (r.attempted)
        return r.registered;
    r.attempted = true;
    std::atexit(UnregisterInstance);
    r.handle = CreateOpenSemaphore(0, 0x7FFFFFFF, InstanceSemaphoreName());
    if (r.handle && ReleaseSemaphore(r.handle, 1, nullptr)) {
        r.held_units = 1;
        r.registered = true;
    }
    return r.registered;
}

bool IsInstanceRegistered() { return g_registration.registered; }

unsigned RunningCount() {
    InstanceRegistration& r = g_registration;
    LONG previous = 0;
    if (!r.handle || !ReleaseSemaphore(r.handle, 1, &previous))
        return 0;
    WaitForSingleObject(r.handle, 0); // take the unit back; a failure changes nothing we use
    return static_cast<unsigned>(previous);
}

void UnregisterInstance() {
    InstanceRegistration& r = g_registration;
    // Already unregistered (a direct call before the one at exit), or never registered.
    if (!r.handle)
        return;
    if (r.held_units > 0) {
        int taken = 0;
        while (taken < r.held_units && WaitForSingleObject(r.handle, 0) == WAIT_OBJECT_0)
            ++taken;
        if (taken == r.held_units) {
            r.held_units = 0;
        } else if (taken > 0) {
            ReleaseSemaphore(r.handle, taken, nullptr); // leave the units where they were
        }
    }
    if (r.held_units < 0 && ReleaseSemaphore(r.handle, -r.held_units, nullptr))
        r.held_units = 0;
    CloseHandle(r.handle);
    r.handle = nullptr;
    // Without the handle nothing can be counted any more.
    r.registered = false;
}

namespace {
// The registration among the static initialisers.
[[maybe_unused]] const bool registered_at_start = RegisterInstance();
} // namespace

} // namespace ov
