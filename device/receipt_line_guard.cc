#include "device/receipt_line_guard.h"

#include <algorithm>

#include "link/fpu_frame.h"

namespace kelo::device {

namespace {

// Whether a line ending with this link result may still have been done. Only a valid answer
// tells: no answer at all (106), answers that were all damaged (102), or answers that did
// not fit the command (105) leave it open. A refusal by reply code is an answer.
bool OutcomeUnknown(int32_t result) {
  return result == link::LINK_E_TIMEOUT || result == link::LINK_E_CHECK ||
         result == link::LINK_E_PROTOCOL;
}

}  // namespace

void ReceiptLineGuard::Arm(bool on) {
  std::lock_guard<std::mutex> lock(mu_);
  armed_ = on;
  done_in_command_.clear();
}

void ReceiptLineGuard::NewCommand() {
  std::lock_guard<std::mutex> lock(mu_);
  done_in_command_.clear();
}

void ReceiptLineGuard::Forget() {
  std::lock_guard<std::mutex> lock(mu_);
  pending_.reset();
}

ReceiptLineGuard::Counters ReceiptLineGuard::counters() const {
  std::lock_guard<std::mutex> lock(mu_);
  return counters_;
}

int32_t ReceiptLineGuard::Run(const std::string& key, const ReadAmount& read, const Send& send) {
  std::lock_guard<std::mutex> lock(mu_);
  if (armed_ &&
      std::find(done_in_command_.begin(), done_in_command_.end(), key) != done_in_command_.end()) {
    counters_.skipped++;
    return link::LINK_OK;
  }
  std::optional<int64_t> before;
  if (pending_ && pending_->key == key) {
    // The same line again after it went unanswered: ask the printer before sending.
    int64_t now = 0;
    const int32_t r = read(&now);
    if (r != link::LINK_OK) return r;  // still unknown; the line stays pending
    const int64_t was = pending_->amount_before;
    pending_.reset();
    if (now != was) {
      counters_.found_done++;
      if (armed_) done_in_command_.push_back(key);
      return link::LINK_OK;
    }
    counters_.sent_again++;
    before = now;
  } else {
    pending_.reset();
    if (armed_) {
      int64_t amount = 0;
      const int32_t r = read(&amount);
      // Without the amount a lost answer could not be resolved later: send nothing now,
      // so the failure the caller sees is one where the printer surely did nothing.
      if (r != link::LINK_OK) return r;
      before = amount;
    }
  }
  const int32_t r = send();
  if (OutcomeUnknown(r) && before) {
    counters_.unanswered++;
    pending_ = Pending{key, *before};
  }
  if (r == link::LINK_OK && armed_) done_in_command_.push_back(key);
  return r;
}

}  // namespace kelo::device
