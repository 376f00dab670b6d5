// The two single-byte character sets of the system: "ANSI" is Windows-1252, "OEM" is code page
// 437. Runtime strings are Windows-1252 bytes; these tables are our own (256 entries each).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pellucor::platform {

// Windows-1252 letters folded the way the system's CharUpperA/CharLowerA fold them (including
// the accented letters of 0xC0-0xFF, with 0xFF and 0x9A/0x9C/0x9E mapped to their partners).
uint8_t AnsiUpper(uint8_t c);
uint8_t AnsiLower(uint8_t c);
bool IsAnsiUpper(uint8_t c);
bool IsAnsiLower(uint8_t c);
void AnsiUpperInPlace(std::string& text);

// ANSI <-> OEM: characters without a counterpart become the nearest look-alike or '?' the way
// the system's best-fit conversion does; pure ASCII passes unchanged.
uint8_t AnsiToOem(uint8_t c);
uint8_t OemToAnsi(uint8_t c);
void AnsiToOemInPlace(std::string& text);
void OemToAnsiInPlace(std::string& text);

// UTF-8 <-> Windows-1252 for the boundaries with the terminal, the desktop and files named by the
// user. Utf8ToAnsi returns std::nullopt when the text holds a character Windows-1252 cannot hold
// (or is not valid UTF-8); nothing is ever stored mangled.
std::optional<std::string> Utf8ToAnsi(std::string_view utf8);
std::string AnsiToUtf8(std::string_view ansi);
// The Unicode code point of a Windows-1252 byte (0xFFFD for the five undefined bytes).
char32_t AnsiToUnicode(uint8_t c);
// The Unicode code point of a code page 437 byte (bytes below 0x80 are ASCII).
char32_t OemToUnicode(uint8_t c);

}  // namespace pellucor::platform
