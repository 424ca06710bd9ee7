// Test helper (Windows, header-only): runs a command line and returns what it wrote to its
// standard output, for checking the machine with the system's own tools (reg.exe...).
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace ovtest {

struct ProcessOutput {
    DWORD exit_code = 0;
    std::string output; // the bytes as written (the tools write the console code page)
};

// Empty when the process cannot be started.
inline std::optional<ProcessOutput> RunAndCapture(std::wstring command_line)
{
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE read_end = nullptr;
    HANDLE write_end = nullptr;
    if (!CreatePipe(&read_end, &write_end, &inheritable, 0))
        return std::nullopt;
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = write_end;
    startup.hStdError = write_end;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                        nullptr, nullptr, &startup, &process);
    CloseHandle(write_end);
    if (!started) {
        CloseHandle(read_end);
        return std::nullopt;
    }
    ProcessOutput result;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(read_end, buffer, sizeof buffer, &read, nullptr) && read > 0)
        result.output.append(buffer, read);
    CloseHandle(read_end);
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &result.exit_code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return result;
}

} // namespace ovtest
