// Windows-1252 ("ANSI") and code page 437 ("OEM") by our own tables.
//
// Conversions between the two go through Unicode: a character both sets hold maps exactly (so it
// survives a round trip); one the target lacks becomes a look-alike from the best-fit lists below
// (mostly a plain letter without its accent, or '+', '-', '|' for line drawing), else '?'.
// Bytes below 0x80 are the same in both sets and always pass unchanged.
#include "platform/codepage.h"

#include <array>

namespace pellucor::platform {

namespace {

constexpr char32_t kUndefined = 0xFFFD;

// Windows-1252 0x80-0x9F; 0xA0-0xFF are U+00A0-U+00FF.
constexpr char32_t kAnsiHigh[32] = {
    0x20AC,     kUndefined, 0x201A, 0x0192, 0x201E, 0x2026,     0x2020, 0x2021,
    0x02C6,     0x2030,     0x0160, 0x2039, 0x0152, kUndefined, 0x017D, kUndefined,
    kUndefined, 0x2018,     0x2019, 0x201C, 0x201D, 0x2022,     0x2013, 0x2014,
    0x02DC,     0x2122,     0x0161, 0x203A, 0x0153, kUndefined, 0x017E, 0x0178,
};

// Code page 437 0x80-0xFF.
constexpr char32_t kOemHigh[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,  // 80
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,  // 88
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,  // 90
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,  // 98
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,  // A0
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,  // A8
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,  // B0
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,  // B8
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,  // C0
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,  // C8
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,  // D0
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,  // D8
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,  // E0
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,  // E8
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,  // F0
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,  // F8
};

struct BestFit {
  char32_t from;
  char to;  // an ASCII look-alike
};

// Windows-1252 characters that code page 437 lacks.
constexpr BestFit kAnsiBestFit[] = {
    {0x20AC, 'E'},  {0x201A, ','},  {0x201E, '"'}, {0x2026, '.'}, {0x2020, '+'},  {0x2021, '+'},
    {0x02C6, '^'},  {0x2030, '%'},  {0x0160, 'S'}, {0x2039, '<'}, {0x0152, 'O'},  {0x017D, 'Z'},
    {0x2018, '\''}, {0x2019, '\''}, {0x201C, '"'}, {0x201D, '"'}, {0x2013, '-'},  {0x2014, '-'},
    {0x02DC, '~'},  {0x2122, 'T'},  {0x0161, 's'}, {0x203A, '>'}, {0x0153, 'o'},  {0x017E, 'z'},
    {0x0178, 'Y'},  {0x00A4, '?'},  {0x00A6, '|'}, {0x00A7, '?'}, {0x00A8, '"'},  {0x00A9, 'c'},
    {0x00AD, '-'},  {0x00AE, 'R'},  {0x00AF, '-'}, {0x00B3, '3'}, {0x00B4, '\''}, {0x00B6, '?'},
    {0x00B8, ','},  {0x00B9, '1'},  {0x00BE, '?'}, {0x00C0, 'A'}, {0x00C1, 'A'},  {0x00C2, 'A'},
    {0x00C3, 'A'},  {0x00C8, 'E'},  {0x00CA, 'E'}, {0x00CB, 'E'}, {0x00CC, 'I'},  {0x00CD, 'I'},
    {0x00CE, 'I'},  {0x00CF, 'I'},  {0x00D0, 'D'}, {0x00D2, 'O'}, {0x00D3, 'O'},  {0x00D4, 'O'},
    {0x00D5, 'O'},  {0x00D7, 'x'},  {0x00D8, 'O'}, {0x00D9, 'U'}, {0x00DA, 'U'},  {0x00DB, 'U'},
    {0x00DD, 'Y'},  {0x00DE, '?'},  {0x00E3, 'a'}, {0x00F0, 'd'}, {0x00F5, 'o'},  {0x00F8, 'o'},
    {0x00FD, 'y'},  {0x00FE, '?'},
};

// Code page 437 characters that Windows-1252 lacks (line drawing, Greek, mathematics).
constexpr BestFit kOemBestFit[] = {
    {0x20A7, 'P'}, {0x2310, '-'}, {0x2591, '?'}, {0x2592, '?'}, {0x2593, '?'}, {0x2502, '|'},
    {0x2524, '+'}, {0x2561, '+'}, {0x2562, '+'}, {0x2556, '+'}, {0x2555, '+'}, {0x2563, '+'},
    {0x2551, '|'}, {0x2557, '+'}, {0x255D, '+'}, {0x255C, '+'}, {0x255B, '+'}, {0x2510, '+'},
    {0x2514, '+'}, {0x2534, '+'}, {0x252C, '+'}, {0x251C, '+'}, {0x2500, '-'}, {0x253C, '+'},
    {0x255E, '+'}, {0x255F, '+'}, {0x255A, '+'}, {0x2554, '+'}, {0x2569, '+'}, {0x2566, '+'},
    {0x2560, '+'}, {0x2550, '-'}, {0x256C, '+'}, {0x2567, '+'}, {0x2568, '+'}, {0x2564, '+'},
    {0x2565, '+'}, {0x2559, '+'}, {0x2558, '+'}, {0x2552, '+'}, {0x2553, '+'}, {0x256B, '+'},
    {0x256A, '+'}, {0x2518, '+'}, {0x250C, '+'}, {0x2588, '?'}, {0x2584, '?'}, {0x258C, '?'},
    {0x2590, '?'}, {0x2580, '?'}, {0x03B1, 'a'}, {0x0393, 'G'}, {0x03C0, 'p'}, {0x03A3, 'S'},
    {0x03C3, 's'}, {0x03C4, 't'}, {0x03A6, 'F'}, {0x0398, 'T'}, {0x03A9, 'O'}, {0x03B4, 'd'},
    {0x221E, '8'}, {0x03C6, 'f'}, {0x03B5, 'e'}, {0x2229, 'n'}, {0x2261, '='}, {0x2265, '>'},
    {0x2264, '<'}, {0x2320, '('}, {0x2321, ')'}, {0x2248, '~'}, {0x2219, '.'}, {0x221A, 'v'},
    {0x207F, 'n'}, {0x25A0, '?'},
};

template <size_t N>
uint8_t Fit(char32_t cp, const BestFit (&list)[N]) {
  for (const BestFit& f : list)
    if (f.from == cp) return static_cast<uint8_t>(f.to);
  return '?';
}

struct Tables {
  std::array<uint8_t, 256> ansi_to_oem{};
  std::array<uint8_t, 256> oem_to_ansi{};
  std::array<uint8_t, 256> upper{};
  std::array<uint8_t, 256> lower{};
  std::array<bool, 256> is_upper{};
  std::array<bool, 256> is_lower{};

  Tables() {
    for (int i = 0; i < 256; ++i) {
      const auto c = static_cast<uint8_t>(i);
      ansi_to_oem[i] = c;
      oem_to_ansi[i] = c;
      upper[i] = c;
      lower[i] = c;
    }
    for (int a = 0x80; a < 256; ++a) {
      const char32_t cp = AnsiToUnicode(static_cast<uint8_t>(a));
      uint8_t found = 0;
      for (int o = 0x80; o < 256 && found == 0; ++o)
        if (kOemHigh[o - 0x80] == cp) found = static_cast<uint8_t>(o);
      ansi_to_oem[a] = found != 0 ? found : Fit(cp, kAnsiBestFit);
    }
    for (int o = 0x80; o < 256; ++o) {
      const char32_t cp = kOemHigh[o - 0x80];
      uint8_t found = 0;
      for (int a = 0x80; a < 256 && found == 0; ++a)
        if (AnsiToUnicode(static_cast<uint8_t>(a)) == cp) found = static_cast<uint8_t>(a);
      oem_to_ansi[o] = found != 0 ? found : Fit(cp, kOemBestFit);
    }
    // Letters and their partners: A-Z, the accented capitals 0xC0-0xDE (not 0xD7, the
    // multiplication sign), and S, OE, Z with caron / ligature and Y with diaeresis in 0x8A-0x9F.
    auto pair = [this](int up, int low) {
      upper[low] = static_cast<uint8_t>(up);
      lower[up] = static_cast<uint8_t>(low);
      is_upper[up] = true;
      is_lower[low] = true;
    };
    for (int c = 'A'; c <= 'Z'; ++c) pair(c, c + 0x20);
    for (int c = 0xC0; c <= 0xDE; ++c)
      if (c != 0xD7) pair(c, c + 0x20);
    pair(0x8A, 0x9A);
    pair(0x8C, 0x9C);
    pair(0x8E, 0x9E);
    pair(0x9F, 0xFF);
    // Lower-case letters whose capital Windows-1252 cannot hold: f with hook, micro sign, sharp s.
    for (int c : {0x83, 0xB5, 0xDF}) is_lower[c] = true;
  }
};

const Tables& T() {
  static const Tables tables;
  return tables;
}

void AppendUtf8(char32_t cp, std::string* out) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

char32_t AnsiToUnicode(uint8_t c) {
  if (c >= 0x80 && c < 0xA0) return kAnsiHigh[c - 0x80];
  return c;
}

char32_t OemToUnicode(uint8_t c) {
  return c < 0x80 ? c : kOemHigh[c - 0x80];
}

uint8_t AnsiUpper(uint8_t c) {
  return T().upper[c];
}
uint8_t AnsiLower(uint8_t c) {
  return T().lower[c];
}
bool IsAnsiUpper(uint8_t c) {
  return T().is_upper[c];
}
bool IsAnsiLower(uint8_t c) {
  return T().is_lower[c];
}
void AnsiUpperInPlace(std::string& text) {
  for (char& ch : text) ch = static_cast<char>(AnsiUpper(static_cast<uint8_t>(ch)));
}

uint8_t AnsiToOem(uint8_t c) {
  return T().ansi_to_oem[c];
}
uint8_t OemToAnsi(uint8_t c) {
  return T().oem_to_ansi[c];
}
void AnsiToOemInPlace(std::string& text) {
  for (char& ch : text) ch = static_cast<char>(AnsiToOem(static_cast<uint8_t>(ch)));
}
void OemToAnsiInPlace(std::string& text) {
  for (char& ch : text) ch = static_cast<char>(OemToAnsi(static_cast<uint8_t>(ch)));
}

std::optional<std::string> Utf8ToAnsi(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<uint8_t>(utf8[i]);
    char32_t cp = 0;
    size_t extra = 0;
    char32_t min = 0;
    if (lead < 0x80) {
      out.push_back(static_cast<char>(lead));
      ++i;
      continue;
    } else if ((lead & 0xE0) == 0xC0) {
      cp = lead & 0x1F, extra = 1, min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      cp = lead & 0x0F, extra = 2, min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      cp = lead & 0x07, extra = 3, min = 0x10000;
    } else {
      return std::nullopt;  // a continuation byte or 0xF8-0xFF where a character must start
    }
    if (utf8.size() - i <= extra) return std::nullopt;  // cut off
    for (size_t k = 1; k <= extra; ++k) {
      const auto b = static_cast<uint8_t>(utf8[i + k]);
      if ((b & 0xC0) != 0x80) return std::nullopt;
      cp = (cp << 6) | (b & 0x3F);
    }
    i += extra + 1;
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
    if (cp >= 0xA0 && cp <= 0xFF) {
      out.push_back(static_cast<char>(cp));
      continue;
    }
    bool found = false;
    for (int k = 0; k < 32 && !found; ++k) {
      if (kAnsiHigh[k] == cp && cp != kUndefined) {
        out.push_back(static_cast<char>(0x80 + k));
        found = true;
      }
    }
    if (!found) return std::nullopt;  // not a Windows-1252 character (C1 controls included)
  }
  return out;
}

std::string AnsiToUtf8(std::string_view ansi) {
  std::string out;
  out.reserve(ansi.size());
  for (char ch : ansi) AppendUtf8(AnsiToUnicode(static_cast<uint8_t>(ch)), &out);
  return out;
}

}  // namespace pellucor::platform
