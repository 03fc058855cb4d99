#pragma once

// UTF-8 and the UTF-16 of the Windows wide APIs (Windows only).
#include <string>
#include <string_view>

namespace v36 {

// A wide text as UTF-8; `length` characters, or up to the terminating zero
// when it is -1. Unpaired surrogates become U+FFFD.
std::string utf8FromWide(const wchar_t* text, int length = -1);
// A UTF-8 text as UTF-16 for the wide APIs.
std::wstring wideFromUtf8(std::string_view text);

}  // namespace v36
