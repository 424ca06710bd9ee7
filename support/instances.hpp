// Running-instance tracking between processes: the instance mutex, which one setup program at
// a time can own, and the instance semaphore, in which every running process of the product
// family holds one unit (so its count is the number of such processes).
//
// Both objects are machine-wide ("Global\" names on NT 5.0 and later) and carry a DACL that
// gives Everyone full access, so a process of any user can open them.
//
// This process registers itself in the instance semaphore while static objects are being
// constructed and takes its unit back when it ends normally.
#pragma once

#include <windows.h>

#include <string>

namespace ov {

// The names of the two objects, without the "Global\" prefix: product name, a dot and a GUID.
std::wstring InstanceMutexName();
std::wstring InstanceSemaphoreName();

// "Global\" + name on Windows NT 5.0 and later, the name unchanged otherwise. The system
// version is asked once per process.
std::wstring MakeGlobalName(const std::wstring& name);

// Creates or opens the named mutex (not owned) / semaphore under its global name, with a DACL
// granting Everyone full access to it. An existing object is opened and GetLastError() then
// answers ERROR_ALREADY_EXISTS. Null when the object could not be made; when the security
// descriptor could not be built, nothing is created and the last error is
// ERROR_CAN_NOT_COMPLETE.
HANDLE CreateOpenMutex(const std::wstring& name);
HANDLE CreateOpenSemaphore(LONG initial_count, LONG maximum_count, const std::wstring& name);

// One named mutex and whether this process owns it through this object.
// The installation lets go of it directly (ReleaseMutex on `handle`, `owned` = false) while
// the installed program registers itself, and takes it back with TryAcquire.
class InstanceLock {
public:
    explicit InstanceLock(const std::wstring& name); // handle = CreateOpenMutex(name)
    ~InstanceLock();                                  // releases if owned, closes the handle
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Takes the mutex without waiting. True (and owned) when the wait answered WAIT_OBJECT_0
    // or WAIT_ABANDONED (the previous owner ended without releasing it). While owned, it
    // answers true without waiting again.
    bool TryAcquire();

    HANDLE handle = nullptr;
    bool owned = false;
};

// Adds this process's unit to the instance semaphore (once per process; later calls add
// nothing and answer IsInstanceRegistered()). Runs by itself among the static initialisers; the start-up sequence may
// call it earlier to fix its place in the order. Arranges the unregistration at exit.
bool RegisterInstance();

// Whether the registration worked (the semaphore was obtained and the unit added) and the
// process has not unregistered since.
bool IsInstanceRegistered();

// Number of processes registered in the instance semaphore, this one included; 0 when the
// semaphore cannot be counted. Meaningful only when IsInstanceRegistered().
unsigned RunningCount();

// Takes this process's units back and closes the semaphore; afterwards IsInstanceRegistered()
// is false and RunningCount() 0, and further calls do nothing. Runs by itself at normal exit
// (return from main, exit()); ExitProcess skips it, so a path that ends the process that way
// calls it first, or the unit stays in the semaphore like that of a terminated process.
void UnregisterInstance();

} // namespace ov
