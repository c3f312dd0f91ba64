// The automation face of the unit: the method table and Invoke, which converts the
// arguments (UTF-8 text to Windows-1252 and back, by-reference values) and calls the method.
#include <array>
#include <optional>

#include "platform/text/cp1252.h"
#include "service/fiscal_printer_unit.h"

namespace kelo::service {

using automation::HRESULT;
using automation::Variant;
using automation::VarType;

const std::vector<std::string>& CFiscalPrinterUnit::MethodTable() {
  // The order fixes the dispatch identifiers (identifier = position + 1).
  static const std::vector<std::string> names = {
      "CheckHealth",                 // 1
      "ClaimDevice",                 // 2
      "ClearInput",                  // 3
      "ClearInputProperties",        // 4
      "ClearOutput",                 // 5
      "CloseService",                // 6
      "COFreezeEvents",              // 7
      "CompareFirmwareVersion",      // 8
      "DirectIO",                    // 9
      "GetOpenResult",               // 10
      "OpenService",                 // 11
      "ReleaseDevice",               // 12
      "ResetStatistics",             // 13
      "RetrieveStatistics",          // 14
      "UpdateFirmware",              // 15
      "UpdateStatistics",            // 16
      "GetPropertyNumber",           // 17
      "GetPropertyString",           // 18
      "SetPropertyNumber",           // 19
      "SetPropertyString",           // 20
      "beginFiscalDocument",         // 21
      "beginFiscalReceipt",          // 22
      "beginFixedOutput",            // 23
      "beginInsertion",              // 24
      "beginItemList",               // 25
      "beginNonFiscal",              // 26
      "beginRemoval",                // 27
      "beginTraining",               // 28
      "clearError",                  // 29
      "endFiscalDocument",           // 30
      "endFiscalReceipt",            // 31
      "endFixedOutput",              // 32
      "endInsertion",                // 33
      "endItemList",                 // 34
      "endNonFiscal",                // 35
      "endRemoval",                  // 36
      "endTraining",                 // 37
      "getData",                     // 38
      "getDate",                     // 39
      "getTotalizer",                // 40
      "getVatEntry",                 // 41
      "printDuplicateReceipt",       // 42
      "printFiscalDocumentLine",     // 43
      "printFixedOutput",            // 44
      "printNormal",                 // 45
      "printPeriodicTotalsReport",   // 46
      "printPowerLossReport",        // 47
      "printRecCash",                // 48
      "printRecItem",                // 49
      "printRecItemAdjustment",      // 50
      "printRecItemFuel",            // 51
      "printRecItemFuelVoid",        // 52
      "printRecMessage",             // 53
      "printRecNotPaid",             // 54
      "printRecPackageAdjustment",   // 55
      "printRecPackageAdjustVoid",   // 56
      "printRecRefund",              // 57
      "printRecRefundVoid",          // 58
      "printRecSubtotal",            // 59
      "printRecSubtotalAdjustment",  // 60
      "printRecSubtotalAdjustVoid",  // 61
      "printRecTaxID",               // 62
      "printRecVoidItem",            // 63
      "printReport",                 // 64
      "printXReport",                // 65
      "printZReport",                // 66
      "resetPrinter",                // 67
      "setCurrency",                 // 68
      "setDate",                     // 69
      "setHeaderLine",               // 70
      "setPOSID",                    // 71
      "setStoreFiscalID",            // 72
      "setTrailerLine",              // 73
      "setVatTable",                 // 74
      "setVatValue",                 // 75
      "verifyItem",                  // 76
      "printRecVoid",                // 77
      "printRecTotal",               // 78
      "printRecItemVoid",            // 79
      "printRecItemAdjustmentVoid",  // 80
  };
  return names;
}

namespace {

// Reads the arguments of one call; the first conversion failure is remembered and makes
// the call fail with DISP_E_TYPEMISMATCH before the method runs.
class Args {
 public:
  explicit Args(std::span<Variant> args) : args_(args) {}

  int32_t Long(size_t i) {
    int32_t v = 0;
    Check(args_[i].ToLong(&v));
    return v;
  }
  bool Bool(size_t i) {
    bool v = false;
    Check(args_[i].ToBool(&v));
    return v;
  }
  int64_t Cy(size_t i) {
    automation::Currency v;
    Check(args_[i].ToCurrency(&v));
    return v.raw;
  }
  // Text in: UTF-8 to Windows-1252.
  std::string Text(size_t i) {
    std::string v;
    Check(args_[i].ToText(&v));
    return ConvertTextArgument(v, i, &text_notes_);
  }
  const std::vector<TextArgumentNote>& text_notes() const { return text_notes_; }
  automation::IDispatch* Dispatch(size_t i) {
    if (args_[i].type() == VarType::Empty) return nullptr;
    Check(args_[i].ToDispatch(&dispatch_));
    return dispatch_.Get();
  }
  bool ok() const { return automation::Succeeded(hr_); }
  HRESULT hr() const { return hr_; }

 private:
  void Check(HRESULT hr) {
    if (automation::Failed(hr) && ok()) hr_ = hr;
  }
  std::span<Variant> args_;
  HRESULT hr_ = automation::S_OK;
  automation::ComPtr<automation::IDispatch> dispatch_;
  std::vector<TextArgumentNote> text_notes_;
};

// A long by reference: the caller's elements (never beyond their count), or one scratch
// element when the caller passed a plain value or an empty array.
class LongOut {
 public:
  explicit LongOut(const Variant& v) {
    if (v.LongPtr() && v.LongCount() > 0) {
      data_ = std::span<int32_t>(v.LongPtr(), v.LongCount());
    } else {
      v.ToLong(&scratch_);
      data_ = std::span<int32_t>(&scratch_, 1);
    }
  }
  int32_t* first() { return data_.data(); }
  std::span<int32_t> span() { return data_; }

 private:
  int32_t scratch_ = 0;
  std::span<int32_t> data_;
};

// A text by reference: converted to Windows-1252 for the method and written back as UTF-8
// only when the method changed it (so an untouched argument stays byte for byte).
class TextOut {
 public:
  explicit TextOut(const Variant& v) : target_(v.TextPtr()) {
    std::string utf8;
    if (target_) {
      utf8 = *target_;
    } else {
      v.ToText(&utf8);
    }
    before_ = platform::Utf8ToCp1252(utf8);
    value_ = before_;
  }
  ~TextOut() {
    if (target_ && value_ != before_) *target_ = platform::Cp1252ToUtf8(value_);
  }
  std::string* get() { return &value_; }

 private:
  std::string* target_;
  std::string before_;
  std::string value_;
};

constexpr std::array<uint8_t, 80> kArgCounts = {
    1, 1, 0, 0, 0, 0, 1, 2, 3, 0,  // 1-10
    3, 0, 1, 1, 1, 1, 1, 1, 2, 2,  // 11-20
    1, 1, 2, 1, 1, 0, 1, 0, 0, 0,  // 21-30
    1, 0, 0, 0, 0, 0, 0, 3, 1, 3,  // 31-40
    3, 0, 1, 3, 2, 2, 0, 1, 6, 4,  // 41-50
    8, 4, 1, 2, 3, 2, 3, 3, 1, 3,  // 51-60
    2, 1, 6, 3, 0, 0, 0, 1, 1, 3,  // 61-70
    2, 1, 3, 0, 2, 2, 1, 3, 6, 4,  // 71-80
};

}  // namespace

HRESULT CFiscalPrinterUnit::Invoke(automation::DispId id, automation::InvokeKind /*kind*/,
                                   std::span<Variant> args, Variant* result) {
  if (id < 1 || id > static_cast<automation::DispId>(kArgCounts.size())) {
    return automation::DISP_E_MEMBERNOTFOUND;
  }
  if (args.size() != kArgCounts[static_cast<size_t>(id - 1)]) {
    return automation::DISP_E_BADPARAMCOUNT;
  }
  Args a(args);
  std::optional<int32_t> rc;  // the long result of the methods that have one
  auto run = [&](auto&& call) {
    if (!a.ok()) return;
    rc = a.text_notes().empty() ? 0 : CheckTextArguments(MethodTable()[id - 1], a.text_notes());
    if (*rc == 0) rc = call();
  };

  switch (id) {
    case 1: {
      int32_t level = a.Long(0);
      run([&] { return CheckHealth(level); });
      break;
    }
    case 2: {
      int32_t timeout = a.Long(0);
      run([&] { return ClaimDevice(timeout); });
      break;
    }
    case 3:
      run([&] { return ClearInput(); });
      break;
    case 4:
      run([&] { return ClearInputProperties(); });
      break;
    case 5:
      run([&] { return ClearOutput(); });
      break;
    case 6:
      run([&] { return CloseService(); });
      break;
    case 7: {
      bool freeze = a.Bool(0);
      run([&] { return COFreezeEvents(freeze); });
      break;
    }
    case 8: {
      std::string file = a.Text(0);
      LongOut out(args[1]);
      run([&] { return CompareFirmwareVersion(file, out.first()); });
      break;
    }
    case 9: {
      int32_t command = a.Long(0);
      LongOut data(args[1]);
      TextOut text(args[2]);
      run([&] { return DirectIO(command, data.span(), text.get()); });
      break;
    }
    case 10:
      run([&] { return GetOpenResult(); });
      break;
    case 11: {
      std::string device_class = a.Text(0);
      std::string device_name = a.Text(1);
      automation::IDispatch* control = a.Dispatch(2);
      run([&] { return OpenService(device_class, device_name, control); });
      break;
    }
    case 12:
      run([&] { return ReleaseDevice(); });
      break;
    case 13: {
      std::string s = a.Text(0);
      run([&] { return ResetStatistics(s); });
      break;
    }
    case 14: {
      TextOut s(args[0]);
      run([&] { return RetrieveStatistics(s.get()); });
      break;
    }
    case 15: {
      std::string s = a.Text(0);
      run([&] { return UpdateFirmware(s); });
      break;
    }
    case 16: {
      std::string s = a.Text(0);
      run([&] { return UpdateStatistics(s); });
      break;
    }
    case 17: {
      int32_t index = a.Long(0);
      run([&] { return GetPropertyNumber(index); });
      break;
    }
    case 18: {
      int32_t index = a.Long(0);
      if (!a.ok()) break;
      const std::string value = GetPropertyString(index);
      if (result) *result = Variant::Text(platform::Cp1252ToUtf8(value));
      return automation::S_OK;
    }
    case 19: {
      int32_t index = a.Long(0);
      int32_t value = a.Long(1);
      if (!a.ok()) break;
      SetPropertyNumber(index, value);
      if (result) *result = Variant();
      return automation::S_OK;
    }
    case 20: {
      int32_t index = a.Long(0);
      std::string value = a.Text(1);
      if (!a.ok()) break;
      SetPropertyString(index, value);
      if (result) *result = Variant();
      return automation::S_OK;
    }
    case 21: {
      int32_t amount = a.Long(0);
      run([&] { return beginFiscalDocument(amount); });
      break;
    }
    case 22: {
      bool header = a.Bool(0);
      run([&] { return beginFiscalReceipt(header); });
      break;
    }
    case 23: {
      int32_t station = a.Long(0);
      int32_t type = a.Long(1);
      run([&] { return beginFixedOutput(station, type); });
      break;
    }
    case 24: {
      int32_t timeout = a.Long(0);
      run([&] { return beginInsertion(timeout); });
      break;
    }
    case 25: {
      int32_t vat = a.Long(0);
      run([&] { return beginItemList(vat); });
      break;
    }
    case 26:
      run([&] { return beginNonFiscal(); });
      break;
    case 27: {
      int32_t timeout = a.Long(0);
      run([&] { return beginRemoval(timeout); });
      break;
    }
    case 28:
      run([&] { return beginTraining(); });
      break;
    case 29:
      run([&] { return clearError(); });
      break;
    case 30:
      run([&] { return endFiscalDocument(); });
      break;
    case 31: {
      bool header = a.Bool(0);
      run([&] { return endFiscalReceipt(header); });
      break;
    }
    case 32:
      run([&] { return endFixedOutput(); });
      break;
    case 33:
      run([&] { return endInsertion(); });
      break;
    case 34:
      run([&] { return endItemList(); });
      break;
    case 35:
      run([&] { return endNonFiscal(); });
      break;
    case 36:
      run([&] { return endRemoval(); });
      break;
    case 37:
      run([&] { return endTraining(); });
      break;
    case 38: {
      int32_t item = a.Long(0);
      LongOut opt(args[1]);
      TextOut data(args[2]);
      run([&] { return getData(item, opt.first(), data.get()); });
      break;
    }
    case 39: {
      TextOut date(args[0]);
      run([&] { return getDate(date.get()); });
      break;
    }
    case 40: {
      int32_t vat = a.Long(0);
      int32_t opt = a.Long(1);
      TextOut data(args[2]);
      run([&] { return getTotalizer(vat, opt, data.get()); });
      break;
    }
    case 41: {
      int32_t vat = a.Long(0);
      int32_t opt = a.Long(1);
      LongOut rate(args[2]);
      run([&] { return getVatEntry(vat, opt, rate.first()); });
      break;
    }
    case 42:
      run([&] { return printDuplicateReceipt(); });
      break;
    case 43: {
      std::string line = a.Text(0);
      run([&] { return printFiscalDocumentLine(line); });
      break;
    }
    case 44: {
      int32_t type = a.Long(0);
      int32_t line = a.Long(1);
      std::string data = a.Text(2);
      run([&] { return printFixedOutput(type, line, data); });
      break;
    }
    case 45: {
      int32_t station = a.Long(0);
      std::string data = a.Text(1);
      run([&] { return printNormal(station, data); });
      break;
    }
    case 46: {
      std::string d1 = a.Text(0);
      std::string d2 = a.Text(1);
      run([&] { return printPeriodicTotalsReport(d1, d2); });
      break;
    }
    case 47:
      run([&] { return printPowerLossReport(); });
      break;
    case 48: {
      int64_t amount = a.Cy(0);
      run([&] { return printRecCash(amount); });
      break;
    }
    case 49:
    case 79: {
      std::string description = a.Text(0);
      int64_t price = a.Cy(1);
      int32_t quantity = a.Long(2);
      int32_t vat = a.Long(3);
      int64_t unit_price = a.Cy(4);
      std::string unit_name = a.Text(5);
      if (id == 49) {
        run([&] { return printRecItem(description, price, quantity, vat, unit_price, unit_name); });
      } else {
        run([&] {
          return printRecItemVoid(description, price, quantity, vat, unit_price, unit_name);
        });
      }
      break;
    }
    case 50:
    case 80: {
      int32_t type = a.Long(0);
      std::string description = a.Text(1);
      int64_t amount = a.Cy(2);
      int32_t vat = a.Long(3);
      if (id == 50) {
        run([&] { return printRecItemAdjustment(type, description, amount, vat); });
      } else {
        run([&] { return printRecItemAdjustmentVoid(type, description, amount, vat); });
      }
      break;
    }
    case 51: {
      std::string description = a.Text(0);
      int64_t price = a.Cy(1);
      int32_t quantity = a.Long(2);
      int32_t vat = a.Long(3);
      int64_t unit_price = a.Cy(4);
      std::string unit_name = a.Text(5);
      int64_t special_tax = a.Cy(6);
      std::string special_tax_name = a.Text(7);
      run([&] {
        return printRecItemFuel(description, price, quantity, vat, unit_price, unit_name,
                                special_tax, special_tax_name);
      });
      break;
    }
    case 52: {
      std::string description = a.Text(0);
      int64_t price = a.Cy(1);
      int32_t vat = a.Long(2);
      int64_t special_tax = a.Cy(3);
      run([&] { return printRecItemFuelVoid(description, price, vat, special_tax); });
      break;
    }
    case 53: {
      std::string message = a.Text(0);
      run([&] { return printRecMessage(message); });
      break;
    }
    case 54: {
      std::string description = a.Text(0);
      int64_t amount = a.Cy(1);
      run([&] { return printRecNotPaid(description, amount); });
      break;
    }
    case 55: {
      int32_t type = a.Long(0);
      std::string description = a.Text(1);
      std::string vat_adjustment = a.Text(2);
      run([&] { return printRecPackageAdjustment(type, description, vat_adjustment); });
      break;
    }
    case 56: {
      int32_t type = a.Long(0);
      std::string vat_adjustment = a.Text(1);
      run([&] { return printRecPackageAdjustVoid(type, vat_adjustment); });
      break;
    }
    case 57:
    case 58: {
      std::string description = a.Text(0);
      int64_t amount = a.Cy(1);
      int32_t vat = a.Long(2);
      if (id == 57) {
        run([&] { return printRecRefund(description, amount, vat); });
      } else {
        run([&] { return printRecRefundVoid(description, amount, vat); });
      }
      break;
    }
    case 59: {
      int64_t amount = a.Cy(0);
      run([&] { return printRecSubtotal(amount); });
      break;
    }
    case 60: {
      int32_t type = a.Long(0);
      std::string description = a.Text(1);
      int64_t amount = a.Cy(2);
      run([&] { return printRecSubtotalAdjustment(type, description, amount); });
      break;
    }
    case 61: {
      int32_t type = a.Long(0);
      int64_t amount = a.Cy(1);
      run([&] { return printRecSubtotalAdjustVoid(type, amount); });
      break;
    }
    case 62: {
      std::string tax_id = a.Text(0);
      run([&] { return printRecTaxID(tax_id); });
      break;
    }
    case 63: {
      std::string description = a.Text(0);
      int64_t amount = a.Cy(1);
      int32_t quantity = a.Long(2);
      int32_t type = a.Long(3);
      int64_t adjustment = a.Cy(4);
      int32_t vat = a.Long(5);
      run([&] { return printRecVoidItem(description, amount, quantity, type, adjustment, vat); });
      break;
    }
    case 64: {
      int32_t type = a.Long(0);
      std::string start = a.Text(1);
      std::string end = a.Text(2);
      run([&] { return printReport(type, start, end); });
      break;
    }
    case 65:
      run([&] { return printXReport(); });
      break;
    case 66:
      run([&] { return printZReport(); });
      break;
    case 67:
      run([&] { return resetPrinter(); });
      break;
    case 68: {
      int32_t currency = a.Long(0);
      run([&] { return setCurrency(currency); });
      break;
    }
    case 69: {
      std::string date = a.Text(0);
      run([&] { return setDate(date); });
      break;
    }
    case 70:
    case 73: {
      int32_t line = a.Long(0);
      std::string text = a.Text(1);
      bool double_width = a.Bool(2);
      if (id == 70) {
        run([&] { return setHeaderLine(line, text, double_width); });
      } else {
        run([&] { return setTrailerLine(line, text, double_width); });
      }
      break;
    }
    case 71: {
      std::string pos = a.Text(0);
      std::string cashier = a.Text(1);
      run([&] { return setPOSID(pos, cashier); });
      break;
    }
    case 72: {
      std::string fiscal_id = a.Text(0);
      run([&] { return setStoreFiscalID(fiscal_id); });
      break;
    }
    case 74:
      run([&] { return setVatTable(); });
      break;
    case 75: {
      int32_t vat = a.Long(0);
      std::string value = a.Text(1);
      run([&] { return setVatValue(vat, value); });
      break;
    }
    case 76: {
      std::string item = a.Text(0);
      int32_t vat = a.Long(1);
      run([&] { return verifyItem(item, vat); });
      break;
    }
    case 77: {
      std::string description = a.Text(0);
      run([&] { return printRecVoid(description); });
      break;
    }
    case 78: {
      int64_t total = a.Cy(0);
      int64_t payment = a.Cy(1);
      std::string description = a.Text(2);
      run([&] { return printRecTotal(total, payment, description); });
      break;
    }
    default:
      return automation::DISP_E_MEMBERNOTFOUND;
  }
  if (!a.ok()) return a.hr();
  if (result && rc) *result = Variant::Long(*rc);
  return automation::S_OK;
}

}  // namespace kelo::service
