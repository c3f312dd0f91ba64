// The printer's last known status as 34 words, and the two rules that fill it: the answer to
// a status query (probe) and the fatal code and status word of the last response (refresh).
// Pure data and functions, so the decoding is testable without a printer.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

namespace kelo::device {

struct DeviceStatusBlock {
  static constexpr int kWords = 34;
  // Word numbers with a meaning of their own.
  static constexpr int kOnline = 0;
  static constexpr int kDocumentPhase = 1;
  static constexpr int kFiscalized = 2;
  static constexpr int kTrainingMode = 3;
  static constexpr int kReceiptOpen = 4;
  static constexpr int kNonFiscalOpen = 5;
  static constexpr int kDayOpened = 6;
  static constexpr int kDrawer = 9;
  static constexpr int kFirstErrorWord = 12;
  static constexpr int kLastErrorWord = 22;
  static constexpr int kCoverOpen = 23;
  static constexpr int kJournalEmpty = 25;
  static constexpr int kReceiptEmpty = 26;
  static constexpr int kJournalNearEnd = 28;
  static constexpr int kReceiptNearEnd = 29;

  std::array<int32_t, kWords> words{};

  int32_t operator[](int i) const { return words[static_cast<size_t>(i)]; }
  bool online() const { return words[kOnline] != 0; }
  // Any of the eleven error words 12 to 22.
  bool AnyErrorWord() const;
  // Any of words 12 to 26 or 31 to 33: the printer reports something that needs attention
  // (the connect step leaves the device flag alone then).
  bool AnyAttentionWord() const;
  friend bool operator==(const DeviceStatusBlock&, const DeviceStatusBlock&) = default;
};

// The printer did not answer the status query: only word 0 changes.
void ApplyProbeUnanswered(DeviceStatusBlock* block);
// The printer answered: word 0 = 1; words 2 to 6 from the low byte of the state flags;
// word 1 = the document phase.
void ApplyProbeAnswer(DeviceStatusBlock* block, uint32_t flags, int32_t phase);
// Words 8 to 33 from the fatal code and the status word of the last valid response: one
// word for the error code, one for the lowest-ranked set status bit.
void ApplyLastStatus(DeviceStatusBlock* block, int32_t fatal_code, uint32_t status_word);

}  // namespace kelo::device
