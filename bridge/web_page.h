// The status page served at "/": bridge/web/index.html, embedded at build time
// (embed_page.cmake writes it into web_page_data.cc), so the HTML lives in one file.
#pragma once
#include <string_view>

namespace kelo::bridge {
extern const std::string_view kStatusPage;
}
