#include "framework/strings.hpp"

namespace {
HINSTANCE g_resourceModule = nullptr;
}

HINSTANCE AfxGetResourceHandle() {
  return g_resourceModule ? g_resourceModule : ::GetModuleHandleW(nullptr);
}

void AfxSetResourceHandle(HINSTANCE module) { g_resourceModule = module; }

std::wstring AfxLoadString(UINT id) {
  // With a buffer size of 0 LoadStringW answers a pointer into the resource itself, so the
  // entry is read whole whatever its length.
  const wchar_t* text = nullptr;
  int length = ::LoadStringW(AfxGetResourceHandle(), id, reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || !text) return {};
  return std::wstring(text, static_cast<size_t>(length));
}
