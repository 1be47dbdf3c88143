// SPDX-License-Identifier: MIT
#pragma once
// UTF-8 inside the program, UTF-16 at every Win32 call: the conversions, and
// a short text for a Win32 error code.
#include <string>

std::wstring widen(const std::string& s);  // invalid UTF-8 becomes U+FFFD
std::string narrow(const std::wstring& s); // lone surrogates become U+FFFD
std::string winerror(unsigned long code);  // "No such file or directory", ...
