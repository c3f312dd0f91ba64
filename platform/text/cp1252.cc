#include "platform/text/cp1252.h"

#include <cstdint>
#include <cstdio>

namespace kelo::platform {
namespace {

// Code points of the bytes 0x80..0x9F. The five bytes Windows leaves unassigned (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) stand for the C1 control of the same value so that they survive a round trip.
constexpr char32_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

int ToCp1252(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  for (int i = 0; i < 32; ++i) {
    if (kHigh[i] == cp) return 0x80 + i;
  }
  return -1;
}

// Base letters of Latin Extended-A (U+0100..U+017F); '?' where there is no single base letter
// (ligatures, eng) and where Windows-1252 has the letter itself (never looked up).
constexpr std::string_view kLatinExtendedA =
    "AaAaAa"
    "CcCcCcCc"
    "DdDd"
    "EeEeEeEeEe"
    "GgGgGgGg"
    "HhHh"
    "IiIiIiIiIi"
    "??"
    "Jj"
    "Kkk"
    "LlLlLlLlLl"
    "NnNnNnn??"
    "OoOoOo"
    "??"
    "RrRrRr"
    "SsSsSsSs"
    "TtTtTt"
    "UuUuUuUuUuUu"
    "Ww"
    "YyY"
    "ZzZzZz"
    "s";
static_assert(kLatinExtendedA.size() == 0x80, "one entry per code point U+0100..U+017F");

// Latin Extended-B letters in use in European languages: pinyin/Romanian vowels and the
// Romanian comma-below letters.
struct Fold {
  char32_t from;
  char to;
};
constexpr Fold kLatinExtendedB[] = {
    {0x01CD, 'A'}, {0x01CE, 'a'}, {0x01CF, 'I'}, {0x01D0, 'i'}, {0x01D1, 'O'}, {0x01D2, 'o'},
    {0x01D3, 'U'}, {0x01D4, 'u'}, {0x0218, 'S'}, {0x0219, 's'}, {0x021A, 'T'}, {0x021B, 't'},
};

// The base letter of a Latin letter with no Windows-1252 form, or '?'.
char FoldLatin(char32_t cp) {
  if (cp >= 0x100 && cp < 0x180) return kLatinExtendedA[cp - 0x100];
  for (const Fold& f : kLatinExtendedB) {
    if (f.from == cp) return f.to;
  }
  return '?';
}

void AppendUtf8(std::string* out, char32_t cp) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {  // every code point of the table is below 0x10000
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Decodes one well-formed UTF-8 sequence at s[i]. Returns its length, or 0 when the bytes there
// are not a well-formed sequence (overlong forms, surrogates and values above U+10FFFF included).
size_t DecodeOne(std::string_view s, size_t i, char32_t* cp) {
  auto b = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
  uint8_t c = b(i);
  size_t len;
  char32_t v;
  char32_t min;
  if (c < 0x80) {
    *cp = c;
    return 1;
  } else if (c >= 0xC2 && c <= 0xDF) {
    len = 2, v = c & 0x1F, min = 0x80;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3, v = c & 0x0F, min = 0x800;
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4, v = c & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (i + len > s.size()) return 0;
  for (size_t k = 1; k < len; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) return 0;
    v = (v << 6) | (b(i + k) & 0x3F);
  }
  if (v < min || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return 0;
  *cp = v;
  return len;
}

}  // namespace

namespace {

// Converts utf8; a malformed byte becomes '?' (lenient) or stops the conversion.
Cp1252Text Convert(std::string_view utf8, bool lenient) {
  Cp1252Text out;
  out.text.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    char32_t cp = 0;
    size_t len = DecodeOne(utf8, i, &cp);
    if (len == 0) {
      if (!lenient) {
        out.text.clear();
        out.valid_utf8 = false;
        out.invalid_offset = i;
        return out;
      }
      out.text.push_back('?');  // one '?' per byte that does not start a well-formed sequence
      ++i;
      continue;
    }
    const int byte = ToCp1252(cp);
    if (byte >= 0) {
      out.text.push_back(static_cast<char>(byte));
    } else {
      const char written = FoldLatin(cp);
      out.text.push_back(written);
      out.replaced.push_back({cp, written});
    }
    i += len;
  }
  return out;
}

}  // namespace

Cp1252Text ConvertUtf8ToCp1252(std::string_view utf8) {
  return Convert(utf8, false);
}

std::string Utf8ToCp1252(std::string_view utf8) {
  return Convert(utf8, true).text;
}

std::string DescribeReplacements(const std::vector<TextReplacement>& replaced) {
  std::string out;
  char buf[32];
  for (const TextReplacement& r : replaced) {
    std::snprintf(buf, sizeof buf, "%sU+%04X '%c'", out.empty() ? "" : ", ",
                  static_cast<unsigned>(r.code_point), r.written);
    out += buf;
  }
  return out;
}

std::string Cp1252ToUtf8(std::string_view cp1252) {
  std::string out;
  out.reserve(cp1252.size() + cp1252.size() / 2);
  for (char ch : cp1252) {
    uint8_t c = static_cast<uint8_t>(ch);
    AppendUtf8(&out, (c >= 0x80 && c <= 0x9F) ? kHigh[c - 0x80] : char32_t{c});
  }
  return out;
}

}  // namespace kelo::platform
