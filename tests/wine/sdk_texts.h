#pragma once
// Texts of the Wine test programs: arguments in the ANSI code page as UTF-16, and BSTRs
// that live as long as one call.

#include "platform/win/windows_api_win.h"

#include <oleauto.h>

#include <string>

inline std::wstring Wide(const char* text) {
  const int units = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), units);
  wide.resize(static_cast<std::size_t>(units > 0 ? units - 1 : 0));
  return wide;
}

class Bstr {
 public:
  explicit Bstr(const std::wstring& text)
      : value_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { SysFreeString(value_); }
  BSTR get() const { return value_; }

 private:
  BSTR value_;
};
