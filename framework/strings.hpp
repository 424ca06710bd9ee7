// The framework's string loading: string-table entries from the resource module.
#pragma once

#include <windows.h>

#include <string>

// The module whose resources the framework reads (the program's own module unless set).
HINSTANCE AfxGetResourceHandle();
// Null restores the program's own module.
void AfxSetResourceHandle(HINSTANCE module);

// The string-table entry `id` of the resource module; empty when it has none.
std::wstring AfxLoadString(UINT id);
