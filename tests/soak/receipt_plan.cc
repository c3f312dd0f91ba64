#include "tests/soak/receipt_plan.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace kelo::soak {
namespace {

int64_t Draw(std::mt19937_64& rng, int64_t lo, int64_t hi) {
  return std::uniform_int_distribution<int64_t>(lo, hi)(rng);
}

bool Chance(std::mt19937_64& rng, double p) {
  return std::uniform_real_distribution<double>(0, 1)(rng) < p;
}

std::string Description(int32_t job, int32_t receipt, int32_t line, char kind) {
  char text[40];
  std::snprintf(text, sizeof text, "J%dR%06dL%02d%c", job, receipt, line, kind);
  return text;
}

}  // namespace

const char* StepName(StepKind kind) {
  switch (kind) {
    case StepKind::kSell:
      return "sell";
    case StepKind::kVoidItem:
      return "void item";
    case StepKind::kItemDiscount:
      return "item discount";
    case StepKind::kItemSurcharge:
      return "item surcharge";
    case StepKind::kRefund:
      return "refund";
    case StepKind::kSubtotal:
      return "subtotal";
    case StepKind::kSubtotalDiscount:
      return "subtotal discount";
    case StepKind::kPayment:
      return "payment";
  }
  return "?";
}

ReceiptPlan MakeReceipt(std::mt19937_64& rng, int32_t number, const PlanOptions& options) {
  ReceiptPlan plan;
  plan.number = number;
  // The receipt's amount per VAT index, kept as the printer keeps it, so that every step
  // drawn is one the printer accepts (no index or total below zero).
  std::array<int64_t, 16> by_vat{};
  auto total = [&] {
    int64_t t = 0;
    for (int64_t v : by_vat) t += v;
    return t;
  };
  struct Sale {
    std::string description;
    int64_t price;
    int32_t vat;
    bool adjusted;
    bool voided;
  };
  std::vector<Sale> sales;
  int32_t line = 0;
  const int32_t items = static_cast<int32_t>(Draw(rng, options.min_items, options.max_items));
  for (int32_t i = 0; i < items; ++i) {
    Step sale;
    sale.kind = StepKind::kSell;
    sale.description = Description(options.job, number, ++line, 'S');
    sale.amount = Draw(rng, 50, 9999);
    sale.vat = static_cast<int32_t>(Draw(rng, 1, options.vat_rates));
    by_vat[static_cast<size_t>(sale.vat)] += sale.amount;
    sales.push_back({sale.description, sale.amount, sale.vat, false, false});
    plan.steps.push_back(sale);

    if (Chance(rng, 0.15)) {
      // An adjustment applies to the sale just made.
      Step adj;
      const bool discount = Chance(rng, 0.7);
      adj.kind = discount ? StepKind::kItemDiscount : StepKind::kItemSurcharge;
      adj.description = Description(options.job, number, ++line, discount ? 'D' : 'U');
      adj.amount = Draw(rng, 1, std::max<int64_t>(1, sale.amount / 3));
      adj.vat = sale.vat;
      by_vat[static_cast<size_t>(sale.vat)] += discount ? -adj.amount : adj.amount;
      sales.back().adjusted = true;
      plan.steps.push_back(adj);
    }
    if (Chance(rng, 0.08)) {
      // Void an earlier sale that carries no adjustment (its adjustment would stay behind).
      std::vector<size_t> candidates;
      for (size_t s = 0; s < sales.size(); ++s) {
        if (!sales[s].adjusted && !sales[s].voided &&
            by_vat[static_cast<size_t>(sales[s].vat)] >= sales[s].price &&
            total() >= sales[s].price) {
          candidates.push_back(s);
        }
      }
      if (!candidates.empty()) {
        Sale& s = sales[candidates[static_cast<size_t>(
            Draw(rng, 0, static_cast<int64_t>(candidates.size()) - 1))]];
        Step v;
        v.kind = StepKind::kVoidItem;
        v.description = s.description;
        v.amount = s.price;
        v.vat = s.vat;
        s.voided = true;
        by_vat[static_cast<size_t>(s.vat)] -= s.price;
        plan.steps.push_back(v);
      }
    }
    if (Chance(rng, 0.05)) {
      // A refund line on an index that still carries enough.
      const int32_t vat = static_cast<int32_t>(Draw(rng, 1, options.vat_rates));
      const int64_t room = by_vat[static_cast<size_t>(vat)];
      if (room >= 20) {
        Step r;
        r.kind = StepKind::kRefund;
        r.description = Description(options.job, number, ++line, 'R');
        r.amount = Draw(rng, 10, room / 2);
        r.vat = vat;
        by_vat[static_cast<size_t>(vat)] -= r.amount;
        plan.steps.push_back(r);
      }
    }
  }
  if (Chance(rng, 0.03)) {
    plan.void_on_purpose = true;
    return plan;
  }
  plan.steps.push_back(Step{StepKind::kSubtotal, "", 0, 0, 0});
  if (total() >= 100 && Chance(rng, 0.2)) {
    Step d;
    d.kind = StepKind::kSubtotalDiscount;
    d.description = Description(options.job, number, ++line, 'T');
    d.amount = Draw(rng, 1, std::max<int64_t>(1, total() / 20));
    plan.steps.push_back(d);
    // The printer spreads it over the indexes; only the total matters from here on.
    by_vat[0] -= d.amount;
  }
  plan.total = total();
  // One to three payments; the last one in cash may pay more and get change.
  const int payments = static_cast<int>(Draw(rng, 1, 3));
  int64_t left = plan.total;
  for (int p = 0; p < payments; ++p) {
    Step pay;
    pay.kind = StepKind::kPayment;
    pay.description = Description(options.job, number, ++line, 'P');
    if (p + 1 < payments) {
      pay.amount = left > 1 ? Draw(rng, 0, left / 2) : 0;
      pay.form = static_cast<int32_t>(Draw(rng, 1, std::max(1, options.payment_forms - 1)));
    } else {
      const bool cash = Chance(rng, 0.6);
      pay.form =
          cash ? 0 : static_cast<int32_t>(Draw(rng, 1, std::max(1, options.payment_forms - 1)));
      pay.amount = left + (cash ? Draw(rng, 0, 2000) : 0);
    }
    left -= pay.amount;
    plan.steps.push_back(pay);
  }
  plan.change = -left;
  return plan;
}

void PlanCounts::Add(const ReceiptPlan& plan) {
  receipts++;
  for (const Step& s : plan.steps) {
    lines++;
    switch (s.kind) {
      case StepKind::kSell:
        sales++;
        break;
      case StepKind::kVoidItem:
        voids++;
        break;
      case StepKind::kItemDiscount:
      case StepKind::kItemSurcharge:
      case StepKind::kSubtotalDiscount:
        adjustments++;
        break;
      case StepKind::kRefund:
        refunds++;
        break;
      case StepKind::kPayment:
        payments++;
        break;
      case StepKind::kSubtotal:
        break;
    }
  }
}

PlanCounts& PlanCounts::operator+=(const PlanCounts& o) {
  receipts += o.receipts;
  lines += o.lines;
  sales += o.sales;
  voids += o.voids;
  adjustments += o.adjustments;
  refunds += o.refunds;
  payments += o.payments;
  return *this;
}

}  // namespace kelo::soak
