#include "bridge/document.h"

#include <set>

#include "bridge/json_input.h"

namespace kelo::bridge {
namespace {

using Json = nlohmann::json;

bool Fail(FieldError* error, std::string field, std::string message) {
  error->field = std::move(field);
  error->message = std::move(message);
  return false;
}

bool CheckKeys(const Json& object, const std::set<std::string>& allowed, const std::string& where,
               FieldError* error) {
  for (const auto& [key, value] : object.items()) {
    if (!allowed.count(key)) {
      return Fail(error, where.empty() ? key : where + "." + key, "unknown field");
    }
  }
  return true;
}

bool ReadText(const Json& value, const std::string& field, bool may_be_empty, std::string* out,
              FieldError* error) {
  if (!value.is_string()) return Fail(error, field, "must be a string");
  const std::string& text = value.get_ref<const std::string&>();
  if (!may_be_empty && text.empty()) return Fail(error, field, "must not be empty");
  if (text.size() > kMaxTextBytes) {
    return Fail(error, field, "longer than " + std::to_string(kMaxTextBytes) + " bytes");
  }
  for (const unsigned char c : text) {
    if (c < 0x20 || c == 0x7f) return Fail(error, field, "contains a control character");
  }
  *out = text;
  return true;
}

// An amount: a decimal string or a JSON number, at most two decimals, above zero (or zero
// when allowed) and within kMaxCents.
bool ReadAmount(const Json& value, const std::string& field, bool zero_ok, int64_t* cents,
                FieldError* error) {
  std::string text;
  if (value.is_string()) {
    text = value.get<std::string>();
  } else if (!NumberText(value, &text)) {
    return Fail(error, field, "must be an amount (a string like \"1.20\" or a number)");
  }
  if (!ParseCents(text, cents)) {
    return Fail(error, field, "must be an amount with at most two decimals, up to 99999999.99");
  }
  if (*cents < 0 || (*cents == 0 && !zero_ok)) {
    return Fail(error, field, zero_ok ? "must not be negative" : "must be above zero");
  }
  return true;
}

bool ReadWhole(const Json& value, const std::string& field, int64_t lo, int64_t hi, int32_t* out,
               FieldError* error) {
  if (!value.is_number_integer()) return Fail(error, field, "must be a whole number");
  const bool in_range = value.is_number_unsigned()
                            ? value.get<uint64_t>() <= static_cast<uint64_t>(hi) &&
                                  static_cast<int64_t>(value.get<uint64_t>()) >= lo
                            : value.get<int64_t>() >= lo && value.get<int64_t>() <= hi;
  if (!in_range) {
    return Fail(error, field, "must be from " + std::to_string(lo) + " to " + std::to_string(hi));
  }
  *out = static_cast<int32_t>(value.get<int64_t>());
  return true;
}

bool ReadItem(const Json& v, const std::string& at, ReceiptItem* item, FieldError* error) {
  if (!v.is_object()) return Fail(error, at, "must be an object");
  if (!CheckKeys(v, {"description", "price", "quantity", "vat", "department"}, at, error)) {
    return false;
  }
  if (!v.contains("description")) return Fail(error, at + ".description", "missing");
  if (!ReadText(v["description"], at + ".description", false, &item->description, error)) {
    return false;
  }
  if (!v.contains("price")) return Fail(error, at + ".price", "missing");
  if (!ReadAmount(v["price"], at + ".price", false, &item->price_cents, error)) return false;
  if (v.contains("quantity") &&
      !ReadWhole(v["quantity"], at + ".quantity", 1, kMaxQuantity, &item->quantity, error)) {
    return false;
  }
  if (item->LineCents() > kMaxCents) return Fail(error, at + ".price", "line amount too large");
  const bool has_vat = v.contains("vat");
  const bool has_department = v.contains("department");
  if (has_vat == has_department) {
    return Fail(error, at + ".vat", "give exactly one of vat and department");
  }
  if (has_vat) return ReadWhole(v["vat"], at + ".vat", 1, 9, &item->vat, error);
  return ReadWhole(v["department"], at + ".department", 1, 9999, &item->department, error);
}

bool ReadAdjustment(const Json& v, const std::string& at, ReceiptAdjustment* adj,
                    FieldError* error) {
  if (!v.is_object()) return Fail(error, at, "must be an object");
  if (!CheckKeys(v, {"kind", "amount", "percent", "description"}, at, error)) return false;
  if (!v.contains("kind")) return Fail(error, at + ".kind", "missing");
  if (!v["kind"].is_string()) return Fail(error, at + ".kind", "must be a string");
  const std::string kind = v["kind"].get<std::string>();
  if (kind != "discount" && kind != "surcharge") {
    return Fail(error, at + ".kind", "must be \"discount\" or \"surcharge\"");
  }
  adj->discount = kind == "discount";
  const bool has_amount = v.contains("amount");
  if (has_amount == v.contains("percent")) {
    return Fail(error, at + ".amount", "give exactly one of amount and percent");
  }
  adj->percent = !has_amount;
  if (has_amount) {
    if (!ReadAmount(v["amount"], at + ".amount", false, &adj->value, error)) return false;
  } else {
    if (!ReadAmount(v["percent"], at + ".percent", false, &adj->value, error)) return false;
    if (adj->value > 10000) return Fail(error, at + ".percent", "must be at most 100.00");
  }
  return !v.contains("description") ||
         ReadText(v["description"], at + ".description", true, &adj->description, error);
}

bool ReadPayment(const Json& v, const std::string& at, ReceiptPayment* pay, FieldError* error) {
  if (!v.is_object()) return Fail(error, at, "must be an object");
  if (!CheckKeys(v, {"description", "amount"}, at, error)) return false;
  if (!v.contains("description")) return Fail(error, at + ".description", "missing");
  if (!ReadText(v["description"], at + ".description", false, &pay->description, error)) {
    return false;
  }
  if (!v.contains("amount")) return Fail(error, at + ".amount", "missing");
  return ReadAmount(v["amount"], at + ".amount", false, &pay->amount_cents, error);
}

bool ReadArray(const Json& root, const char* key, bool required, const Json** out,
               FieldError* error) {
  const auto it = root.find(key);
  if (it == root.end()) {
    if (required) return Fail(error, key, "missing");
    *out = nullptr;
    return true;
  }
  if (!it->is_array()) return Fail(error, key, "must be an array");
  if (it->size() > kMaxItems) {
    return Fail(error, key, "more than " + std::to_string(kMaxItems) + " entries");
  }
  *out = &*it;
  return true;
}

int64_t MulDivRound(int64_t a, int64_t b, int64_t c) {
  const __int128 p = static_cast<__int128>(a) * b;
  const __int128 half = c / 2;
  return static_cast<int64_t>(p >= 0 ? (p + half) / c : (p - half) / c);
}

// The receipt's figures the way the printer works them out: the items, then each adjustment
// on the subtotal as it stands (a percentage of it, rounded half away from zero to the
// cent), then the payments. False, naming the field, when the subtotal leaves (0,
// kMaxCents] or the payments do not cover the total.
bool WorkOutFigures(const ReceiptDocument& doc, ReceiptFigures* figures, FieldError* error) {
  int64_t subtotal = 0;
  for (const ReceiptItem& item : doc.items) {
    subtotal += item.LineCents();
    if (subtotal > kMaxCents) return Fail(error, "items", "total too large");
  }
  for (size_t i = 0; i < doc.adjustments.size(); ++i) {
    const ReceiptAdjustment& adj = doc.adjustments[i];
    const int64_t value = adj.percent ? MulDivRound(subtotal, adj.value, 10000) : adj.value;
    subtotal += adj.discount ? -value : value;
    if (subtotal <= 0 || subtotal > kMaxCents) {
      return Fail(error, "adjustments[" + std::to_string(i) + "]",
                  "takes the subtotal out of range");
    }
  }
  int64_t paid = 0;
  for (const ReceiptPayment& pay : doc.payments) {
    paid += pay.amount_cents;
    if (paid > kMaxCents) return Fail(error, "payments", "total too large");
  }
  if (paid < subtotal) {
    return Fail(error, "payments",
                "pay " + FormatCents(paid) + " of a total of " + FormatCents(subtotal));
  }
  if (figures) *figures = {subtotal, paid, paid - subtotal};
  return true;
}

}  // namespace

bool ParseCents(std::string_view text, int64_t* cents) {
  bool negative = false;
  if (!text.empty() && text.front() == '-') {
    negative = true;
    text.remove_prefix(1);
  }
  const size_t dot = text.find('.');
  const std::string_view whole = text.substr(0, dot);
  const std::string_view frac =
      dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
  if (whole.empty() || whole.size() > 8) return false;
  if (dot != std::string_view::npos && (frac.empty() || frac.size() > 2)) return false;
  int64_t value = 0;
  for (const char c : whole) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  int64_t hundredths = 0;
  for (size_t i = 0; i < 2; ++i) {
    hundredths *= 10;
    if (i < frac.size()) {
      if (frac[i] < '0' || frac[i] > '9') return false;
      hundredths += frac[i] - '0';
    }
  }
  value = value * 100 + hundredths;
  *cents = negative ? -value : value;
  return true;
}

std::string FormatCents(int64_t cents) {
  const bool negative = cents < 0;
  const uint64_t magnitude =
      negative ? static_cast<uint64_t>(-(cents + 1)) + 1 : static_cast<uint64_t>(cents);
  std::string frac = std::to_string(magnitude % 100);
  if (frac.size() < 2) frac.insert(0, "0");
  return (negative ? "-" : "") + std::to_string(magnitude / 100) + "." + frac;
}

bool ReadReceiptDocument(const nlohmann::json& root, ReceiptDocument* out, FieldError* error) {
  if (!root.is_object()) return Fail(error, "(body)", "must be a JSON object");
  if (!CheckKeys(root, {"refund", "reference", "items", "adjustments", "messages", "payments"}, "",
                 error)) {
    return false;
  }
  ReceiptDocument doc;
  if (root.contains("refund")) {
    if (!root["refund"].is_boolean()) return Fail(error, "refund", "must be true or false");
    doc.refund = root["refund"].get<bool>();
  }
  if (root.contains("reference")) {
    if (!doc.refund) return Fail(error, "reference", "only for a refund");
    if (!ReadText(root["reference"], "reference", false, &doc.reference, error)) return false;
  }
  const Json* items = nullptr;
  if (!ReadArray(root, "items", true, &items, error)) return false;
  if (items->empty()) return Fail(error, "items", "must not be empty");
  for (size_t i = 0; i < items->size(); ++i) {
    ReceiptItem item;
    if (!ReadItem((*items)[i], "items[" + std::to_string(i) + "]", &item, error)) return false;
    doc.items.push_back(std::move(item));
  }
  const Json* adjustments = nullptr;
  if (!ReadArray(root, "adjustments", false, &adjustments, error)) return false;
  for (size_t i = 0; adjustments && i < adjustments->size(); ++i) {
    ReceiptAdjustment adj;
    if (!ReadAdjustment((*adjustments)[i], "adjustments[" + std::to_string(i) + "]", &adj, error)) {
      return false;
    }
    doc.adjustments.push_back(std::move(adj));
  }
  const Json* messages = nullptr;
  if (!ReadArray(root, "messages", false, &messages, error)) return false;
  for (size_t i = 0; messages && i < messages->size(); ++i) {
    std::string text;
    if (!ReadText((*messages)[i], "messages[" + std::to_string(i) + "]", true, &text, error)) {
      return false;
    }
    doc.messages.push_back(std::move(text));
  }
  const Json* payments = nullptr;
  if (!ReadArray(root, "payments", true, &payments, error)) return false;
  if (payments->empty()) return Fail(error, "payments", "must not be empty");
  for (size_t i = 0; i < payments->size(); ++i) {
    ReceiptPayment pay;
    if (!ReadPayment((*payments)[i], "payments[" + std::to_string(i) + "]", &pay, error)) {
      return false;
    }
    doc.payments.push_back(std::move(pay));
  }
  // The whole must make a receipt the printer can finish.
  if (!WorkOutFigures(doc, nullptr, error)) return false;
  *out = std::move(doc);
  return true;
}

bool ParseReceiptDocument(std::string_view body, ReceiptDocument* out, FieldError* error) {
  Json root;
  std::string why;
  if (!ParseJsonExact(body, &root, &why)) return Fail(error, "(body)", why);
  return ReadReceiptDocument(root, out, error);
}

ReceiptFigures ComputeFigures(const ReceiptDocument& doc) {
  ReceiptFigures figures;
  FieldError ignored;
  WorkOutFigures(doc, &figures, &ignored);
  return figures;
}

}  // namespace kelo::bridge
