#pragma once

#include <string>

namespace orvel::win32 {

// The core speaks UTF-8, the Windows API UTF-16.
std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);

}  // namespace orvel::win32
