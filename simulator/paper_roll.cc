#include "simulator/paper_roll.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

namespace kelo::sim {
namespace {

// Code points of Windows-1252 bytes 0x80 to 0x9F (0 where the code page leaves a hole).
constexpr char16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void AppendUtf8(std::string* out, uint32_t cp) {
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

struct Style {
  char align = 'l';
  bool wide = false;
};

}  // namespace

std::string Cp1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    uint32_t cp = c;
    if (c >= 0x80 && c < 0xA0) cp = kHigh[c - 0x80] ? kHigh[c - 0x80] : '?';
    AppendUtf8(&out, cp);
  }
  return out;
}

std::string Columns(std::string_view left, std::string_view right, int width) {
  const size_t w = static_cast<size_t>(width);
  std::string r(right.substr(0, w));
  size_t room = w > r.size() ? w - r.size() : 0;
  if (room > 0 && !r.empty()) --room;  // at least one blank between the two parts
  std::string line(left.substr(0, room));
  line.append(w - line.size() - r.size(), ' ');
  line += r;
  return line;
}

std::string Centered(std::string_view text, int width) {
  const size_t w = static_cast<size_t>(width);
  std::string t(text.substr(0, w));
  std::string line((w - t.size()) / 2, ' ');
  line += t;
  return line;
}

std::vector<std::string> RenderPrintLine(std::string_view line, int width,
                                         const std::function<std::string(int)>& logo) {
  std::vector<std::string> out;
  Style style;
  std::string text;
  bool had_command = false;
  auto flush_text = [&](bool force) {
    if (text.empty() && !force) return;
    std::string body = text;
    if (style.wide) {
      std::string spaced;
      for (size_t i = 0; i < body.size(); ++i) {
        if (i) spaced.push_back(' ');
        spaced.push_back(body[i]);
      }
      body = spaced;
    }
    const size_t w = static_cast<size_t>(width);
    size_t pos = 0;
    do {
      std::string piece = body.substr(pos, w);
      pos += w;
      if (style.align == 'c') {
        piece = Centered(piece, width);
      } else if (style.align == 'r') {
        piece = std::string(w - piece.size(), ' ') + piece;
      }
      while (!piece.empty() && piece.back() == ' ') piece.pop_back();
      out.push_back(piece);
    } while (pos < body.size());
    text.clear();
  };

  size_t i = 0;
  while (i < line.size()) {
    const unsigned char c = static_cast<unsigned char>(line[i]);
    if (c == 0x1B && i + 1 < line.size() && line[i + 1] == '|') {
      // ESC | [!] [digits] [lower-case letters] upper-case letter
      size_t j = i + 2;
      const size_t limit = std::min(line.size(), i + 16);
      while (j < limit && !std::isupper(static_cast<unsigned char>(line[j]))) ++j;
      if (j >= limit) {  // not a sequence after all: print the rest as text
        text.push_back(' ');
        ++i;
        continue;
      }
      const std::string body(line.substr(i + 2, j - i - 2));
      const char final_letter = line[j];
      i = j + 1;
      had_command = true;
      int number = 0;
      size_t k = 0;
      while (k < body.size() && std::isdigit(static_cast<unsigned char>(body[k])) &&
             number < 1000) {
        number = number * 10 + (body[k] - '0');
        ++k;
      }
      const std::string letters = body.substr(k);
      switch (final_letter) {
        case 'A':  // alignment
          if (!letters.empty()) style.align = letters[0];
          break;
        case 'C':  // character size and attributes
          if (number == 2 || number == 4) style.wide = true;
          if (number == 1) style.wide = false;
          break;
        case 'F':  // feed lines
          flush_text(false);
          for (int n = 0; n < std::max(1, std::min(number, 20)); ++n) out.emplace_back();
          break;
        case 'B':  // stored logo
          flush_text(false);
          out.push_back(logo ? logo(number) : "[logo " + std::to_string(number) + "]");
          break;
        case 'N':  // back to normal print
          style = Style{};
          break;
        case 'P':  // paper cut inside a print line
          flush_text(false);
          out.push_back(std::string(static_cast<size_t>(width) / 2 - 3, '-') + " cut " +
                        std::string(static_cast<size_t>(width) / 2 - 2, '-'));
          break;
        default:  // bold, underline, colours and the like do not show on a text roll
          break;
      }
      continue;
    }
    text.push_back(c < 0x20 || c == 0x7F ? ' ' : static_cast<char>(c));
    ++i;
  }
  flush_text(!had_command);
  return out;
}

PaperRoll::~PaperRoll() {
  if (mirror_) std::fclose(mirror_);
}

bool PaperRoll::MirrorTo(const std::string& path, std::string* error) {
  std::FILE* f = std::fopen(path.c_str(), "a");
  if (!f) {
    if (error) *error = "cannot open paper file " + path + ": " + std::strerror(errno);
    return false;
  }
  if (mirror_) std::fclose(mirror_);
  mirror_ = f;
  return true;
}

void PaperRoll::Print(std::string_view line) {
  std::string utf8 = Cp1252ToUtf8(line);
  if (mirror_) {
    std::fwrite(utf8.data(), 1, utf8.size(), mirror_);
    std::fputc('\n', mirror_);
    std::fflush(mirror_);  // someone may be reading the roll while we print
  }
  lines_.push_back(std::move(utf8));
  ++total_;
  if (lines_.size() > kMaxLines) lines_.pop_front();
}

void PaperRoll::Feed(int lines) {
  for (int i = 0; i < lines; ++i) Print("");
}

std::vector<std::string> PaperRoll::LinesSince(size_t mark) const {
  const size_t first_kept = total_ - lines_.size();
  const size_t from = mark > first_kept ? mark - first_kept : 0;
  if (from >= lines_.size()) return {};
  return {lines_.begin() + static_cast<std::ptrdiff_t>(from), lines_.end()};
}

std::string PaperRoll::Text() const {
  std::string out;
  for (const auto& l : lines_) {
    out += l;
    out += '\n';
  }
  return out;
}

void PaperRoll::Clear() {
  lines_.clear();
  total_ = 0;
}

}  // namespace kelo::sim
