#include "bridge/json_input.h"

#include <vector>

namespace kelo::bridge {
namespace {

using Json = nlohmann::json;

// Builds the tree like nlohmann's own DOM parser, except for floats (kept as text) and the
// depth limit.
class ExactBuilder {
 public:
  explicit ExactBuilder(Json* root) : root_(root) {}

  bool null() { return Put(Json(nullptr)); }
  bool boolean(bool v) { return Put(Json(v)); }
  bool number_integer(Json::number_integer_t v) { return Put(Json(v)); }
  bool number_unsigned(Json::number_unsigned_t v) { return Put(Json(v)); }
  bool number_float(Json::number_float_t, const Json::string_t& text) {
    return Put(Json::binary(Json::binary_t::container_type(text.begin(), text.end())));
  }
  bool string(Json::string_t& v) { return Put(Json(std::move(v))); }
  bool binary(Json::binary_t& v) { return Put(Json::binary(std::move(v))); }
  bool start_object(std::size_t) { return Open(Json::object()); }
  bool key(Json::string_t& k) {
    key_ = std::move(k);
    return true;
  }
  bool end_object() { return Close(); }
  bool start_array(std::size_t) { return Open(Json::array()); }
  bool end_array() { return Close(); }
  bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& e) {
    error_ = "bad JSON at byte " + std::to_string(position) + ": " + e.what();
    return false;
  }

  const std::string& error() const { return error_; }

 private:
  // Places a value in the container being built (or as the root); returns where it lives.
  Json* Place(Json value) {
    if (stack_.empty()) {
      *root_ = std::move(value);
      return root_;
    }
    Json& top = *stack_.back();
    if (top.is_array()) {
      top.push_back(std::move(value));
      return &top.back();
    }
    Json& slot = top[key_];
    slot = std::move(value);
    return &slot;
  }
  bool Put(Json value) {
    Place(std::move(value));
    return true;
  }
  bool Open(Json value) {
    if (static_cast<int>(stack_.size()) >= kMaxJsonDepth) {
      error_ = "JSON nested deeper than " + std::to_string(kMaxJsonDepth) + " levels";
      return false;
    }
    stack_.push_back(Place(std::move(value)));
    return true;
  }
  bool Close() {
    stack_.pop_back();
    return true;
  }

  Json* root_;
  std::vector<Json*> stack_;
  std::string key_;
  std::string error_;
};

}  // namespace

bool ParseJsonExact(std::string_view text, nlohmann::json* out, std::string* error) {
  Json root;
  ExactBuilder builder(&root);
  const bool ok = Json::sax_parse(text.begin(), text.end(), &builder, Json::input_format_t::json,
                                  /*strict=*/true,
                                  /*ignore_comments=*/false);
  if (!ok) {
    *error = builder.error().empty() ? "bad JSON" : builder.error();
    return false;
  }
  *out = std::move(root);
  return true;
}

bool NumberText(const nlohmann::json& value, std::string* text) {
  if (value.is_binary()) {
    const auto& bytes = value.get_binary();
    text->assign(bytes.begin(), bytes.end());
    return true;
  }
  if (value.is_number_integer()) {
    *text = value.is_number_unsigned() ? std::to_string(value.get<uint64_t>())
                                       : std::to_string(value.get<int64_t>());
    return true;
  }
  return false;
}

}  // namespace kelo::bridge
