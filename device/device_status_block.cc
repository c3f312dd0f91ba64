#include "device/device_status_block.h"

namespace kelo::device {

bool DeviceStatusBlock::AnyErrorWord() const {
  for (int i = kFirstErrorWord; i <= kLastErrorWord; ++i) {
    if ((*this)[i] != 0) return true;
  }
  return false;
}

bool DeviceStatusBlock::AnyAttentionWord() const {
  for (int i = 12; i <= 26; ++i) {
    if ((*this)[i] != 0) return true;
  }
  for (int i = 31; i <= 33; ++i) {
    if ((*this)[i] != 0) return true;
  }
  return false;
}

void ApplyProbeUnanswered(DeviceStatusBlock* block) {
  block->words[DeviceStatusBlock::kOnline] = 0;
}

void ApplyProbeAnswer(DeviceStatusBlock* block, uint32_t flags, int32_t phase) {
  auto& w = block->words;
  w[DeviceStatusBlock::kOnline] = 1;
  for (int i = 2; i <= 6; ++i) w[static_cast<size_t>(i)] = 0;
  const uint32_t low = flags & 0xFFu;
  w[DeviceStatusBlock::kFiscalized] = (low & 0x01u) ? 1 : 0;
  w[DeviceStatusBlock::kReceiptOpen] = (low & 0x02u) ? 1 : 0;
  w[DeviceStatusBlock::kNonFiscalOpen] = (low & 0x04u) ? 1 : 0;
  w[DeviceStatusBlock::kDayOpened] = (low & 0x08u) ? 1 : 0;
  w[DeviceStatusBlock::kTrainingMode] = (low & 0x10u) ? 1 : 0;
  w[DeviceStatusBlock::kDocumentPhase] = phase;
}

namespace {

// The word a printer error code sets, or -1 for the codes that mean "no error".
int ErrorWordFor(int32_t code) {
  if (code < 128 || code > 140) return 12;
  switch (code) {
    case 129:
      return 13;
    case 130:
      return 14;
    case 131:
      return 15;
    case 132:
      return 16;
    case 133:
      return 17;
    case 134:
      return 18;
    case 136:
      return 19;
    case 137:
      return 20;
    case 138:
      return 22;
    case 139:
      return 21;
    default:
      return -1;  // 128, 135, 140
  }
}

// Status bits in the order they are tested, and the word each sets. Only the first set bit
// of this order is recorded.
struct BitWord {
  int bit;
  int word;
};
constexpr BitWord kStatusOrder[] = {
    {0, 23},  {1, 24},  {2, 30},  {3, 27},  {4, 31}, {5, 8},   {8, 25},  {9, 28},
    {10, 26}, {11, 29}, {12, 32}, {13, 33}, {16, 9}, {17, 10}, {18, 11},
};

}  // namespace

void ApplyLastStatus(DeviceStatusBlock* block, int32_t fatal_code, uint32_t status_word) {
  auto& w = block->words;
  for (int i = 8; i < DeviceStatusBlock::kWords; ++i) w[static_cast<size_t>(i)] = 0;
  // A fatal code of 0 is an ordinary answer: the printer reports its error codes from 128 on,
  // so only values in that range (or clearly outside it but non-zero) are errors.
  if (fatal_code != 0) {
    const int word = ErrorWordFor(fatal_code);
    if (word >= 0) w[static_cast<size_t>(word)] = 1;
  }
  for (const BitWord& bw : kStatusOrder) {
    if (status_word & (1u << bw.bit)) {
      w[static_cast<size_t>(bw.word)] = 1;
      break;
    }
  }
}

}  // namespace kelo::device
