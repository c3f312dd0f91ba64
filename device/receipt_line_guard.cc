#include "device/receipt_line_guard.h"

#include <algorithm>
#include <cctype>

namespace kelo::device {

namespace {

// Whether a line ending with this link result may still have been done. Only a valid answer
// tells: no answer at all (106), answers that were all damaged (102), or answers that did
// not fit the command (105) leave it open. A refusal by reply code is an answer.
bool OutcomeUnknown(int32_t result) {
  return result == link::LINK_E_TIMEOUT || result == link::LINK_E_CHECK ||
         result == link::LINK_E_PROTOCOL;
}

// Whether the printer surely did not do the line: it refused it by reply code, or the
// command could not even be built.
bool SurelyNotDone(int32_t result) {
  return result == link::LINK_E_REPLY83 || result == link::LINK_E_REPLY84 ||
         result == link::LINK_E_UNSUPPORTED;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

// The last line of a text that is not blank.
std::string_view LastLine(std::string_view text) {
  for (;;) {
    text = Trim(text);
    const size_t nl = text.find_last_of('\n');
    if (nl == std::string_view::npos) return text;
    const std::string_view last = Trim(text.substr(nl + 1));
    if (!last.empty()) return last;
    text = text.substr(0, nl);
  }
}

}  // namespace

bool ReceiptLineGuard::IsSubtotalLine(std::string_view line) {
  line = Trim(line);
  constexpr std::string_view kWord = "SUBTOTAL";
  if (line.substr(0, kWord.size()) != kWord) return false;
  std::string_view rest = line.substr(kWord.size());
  if (rest.empty() || !std::isspace(static_cast<unsigned char>(rest.front()))) return false;
  rest = Trim(rest);
  bool digit = false;
  for (const char c : rest) {
    if (std::isdigit(static_cast<unsigned char>(c))) {
      digit = true;
    } else if (c != '.' && c != ',' && c != '-') {
      return false;
    }
  }
  return digit;
}

void ReceiptLineGuard::Arm(bool on) {
  std::lock_guard<std::mutex> lock(mu_);
  armed_ = on;
  done_in_command_.clear();
}

void ReceiptLineGuard::NewCommand() {
  std::lock_guard<std::mutex> lock(mu_);
  done_in_command_.clear();
}

void ReceiptLineGuard::ReceiptOpened(bool ok, bool refund_document) {
  std::lock_guard<std::mutex> lock(mu_);
  pending_.reset();
  if (ok) {
    remaining_ = 0;
    refund_document_ = refund_document;
  } else {
    remaining_.reset();
    refund_document_.reset();
  }
  last_subtotal_.reset();  // the header's lines are the printer's
}

void ReceiptLineGuard::Forget() {
  std::lock_guard<std::mutex> lock(mu_);
  pending_.reset();
  remaining_.reset();
  last_subtotal_.reset();
}

void ReceiptLineGuard::NotePrinted(std::string_view text) {
  std::lock_guard<std::mutex> lock(mu_);
  if (!Trim(text).empty()) last_subtotal_ = IsSubtotalLine(LastLine(text));
}

void ReceiptLineGuard::Observe(int64_t remaining) {
  std::lock_guard<std::mutex> lock(mu_);
  remaining_ = remaining;
}

std::optional<int64_t> ReceiptLineGuard::KnownRemaining() const {
  std::lock_guard<std::mutex> lock(mu_);
  return remaining_;
}

ReceiptLineGuard::Counters ReceiptLineGuard::counters() const {
  std::lock_guard<std::mutex> lock(mu_);
  return counters_;
}

std::optional<int64_t> ReceiptLineGuard::SureChange(const Line& line) const {
  switch (line.effect) {
    case Line::Effect::kSure:
      return line.change;
    case Line::Effect::kRefund:
      if (!refund_document_) return std::nullopt;
      return *refund_document_ ? -line.change : line.change;
    case Line::Effect::kSubtotal:
      return 0;
    case Line::Effect::kPrinter:
      break;
  }
  return std::nullopt;
}

int32_t ReceiptLineGuard::Run(const Line& line, const Readers& read, const Send& send) {
  std::lock_guard<std::mutex> lock(mu_);
  if (armed_ && std::find(done_in_command_.begin(), done_in_command_.end(), line.key) !=
                    done_in_command_.end()) {
    counters_.skipped++;
    return link::LINK_OK;
  }
  const bool subtotal = line.effect == Line::Effect::kSubtotal;
  const std::optional<int64_t> change = SureChange(line);

  if (pending_ && pending_->key == line.key) {
    // The same line again after it went unanswered: ask the printer before sending.
    Verdict verdict = Verdict::kUndecided;
    if (subtotal) {
      std::string ticket;
      const int32_t r = read.ticket(&ticket);
      if (r != link::LINK_OK) return r;  // still unknown; the line stays pending
      if (!IsSubtotalLine(LastLine(ticket))) {
        verdict = Verdict::kNotDone;
      } else if (pending_->subtotal_before == false) {
        verdict = Verdict::kDone;
      }
      if (verdict != Verdict::kUndecided) remaining_ = pending_->amount_before;
    } else {
      int64_t now = 0;
      const int32_t r = read.amount(&now);
      if (r != link::LINK_OK) return r;
      remaining_ = now;
      if (pending_->amount_before) {
        const int64_t was = *pending_->amount_before;
        if (now == was) {
          verdict = Verdict::kNotDone;
        } else if (!change || now == was + *change) {
          verdict = Verdict::kDone;
        }
      }
    }
    switch (verdict) {
      case Verdict::kUndecided:
        counters_.undecided++;
        return kUndecided;
      case Verdict::kDone:
        counters_.found_done++;
        pending_.reset();
        last_subtotal_ = subtotal;
        if (armed_) done_in_command_.push_back(line.key);
        return link::LINK_OK;
      case Verdict::kNotDone:
        counters_.sent_again++;
        last_subtotal_ = pending_->subtotal_before;
        pending_.reset();
        break;
    }
  } else {
    pending_.reset();
    if (armed_ && !subtotal && !remaining_) {
      // Without the amount a lost answer could not be resolved later: read it first, and
      // send nothing when it cannot be read, so the failure the caller sees is one where the
      // printer surely did nothing.
      int64_t amount = 0;
      const int32_t r = read.amount(&amount);
      if (r != link::LINK_OK) return r;
      counters_.reads++;
      remaining_ = amount;
    }
  }

  const std::optional<int64_t> before = remaining_;
  const std::optional<bool> subtotal_before = last_subtotal_;
  const int32_t r = send();
  if (r == link::LINK_OK) {
    if (remaining_ && change) {
      *remaining_ += *change;
    } else {
      remaining_.reset();
    }
    last_subtotal_ = subtotal;
    if (armed_) done_in_command_.push_back(line.key);
    return r;
  }
  if (SurelyNotDone(r)) return r;
  // Done or not, nobody knows: the figures wait for the next read.
  remaining_.reset();
  last_subtotal_.reset();
  if (OutcomeUnknown(r) && armed_ && (before || subtotal)) {
    counters_.unanswered++;
    pending_ = Pending{line.key, before, subtotal_before};
  }
  return r;
}

}  // namespace kelo::device
