#pragma once
// UTF-8, the project's text everywhere, to and from the UTF-16 of the wide
// Win32 calls.

#include <string>
#include <string_view>

std::wstring WideText(std::string_view utf8);
std::string Utf8Text(std::wstring_view wide);
