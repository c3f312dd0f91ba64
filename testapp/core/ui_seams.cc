#include "testapp/core/ui_seams.h"

namespace kelo::testapp {

std::vector<std::pair<std::string, std::string>> ParseDialogFilter(std::string_view filter) {
  std::vector<std::string> pieces;
  size_t pos = 0;
  while (pos <= filter.size()) {
    const size_t bar = filter.find('|', pos);
    const size_t end = bar == std::string_view::npos ? filter.size() : bar;
    pieces.emplace_back(filter.substr(pos, end - pos));
    if (bar == std::string_view::npos) break;
    pos = bar + 1;
  }
  if (!pieces.empty() && pieces.back().empty()) pieces.pop_back();  // the trailing "|"
  std::vector<std::pair<std::string, std::string>> out;
  for (size_t i = 0; i < pieces.size(); i += 2) {
    out.emplace_back(pieces[i], i + 1 < pieces.size() ? pieces[i + 1] : "*");
  }
  return out;
}

}  // namespace kelo::testapp
