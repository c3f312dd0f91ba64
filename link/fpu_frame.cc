#include "link/fpu_frame.h"

#include <cstdio>
#include <cstring>

namespace kelo::link {

uint16_t Crc16Genibus(const uint8_t* data, size_t length) {
  uint16_t reg = 0xFFFF;
  for (size_t i = 0; i < length; ++i) reg = Crc16GenibusStep(reg, data[i]);
  return static_cast<uint16_t>(reg ^ 0xFFFF);
}

size_t EncodeFrame(uint8_t kind, uint8_t sequence, const uint8_t* data, size_t data_length,
                   uint8_t* out, size_t out_capacity) {
  if (data_length > 0xFFFF || data_length + kFrameOverhead > out_capacity) return 0;
  out[0] = kStartOfFrame;
  out[1] = kind;
  out[2] = sequence;
  out[3] = static_cast<uint8_t>(data_length >> 8);
  out[4] = static_cast<uint8_t>(data_length);
  if (data_length > 0) std::memcpy(out + 5, data, data_length);
  // The check code covers the length bytes and the data part.
  uint16_t crc = Crc16Genibus(out + 3, data_length + 2);
  out[5 + data_length] = static_cast<uint8_t>(crc >> 8);
  out[6 + data_length] = static_cast<uint8_t>(crc);
  return data_length + kFrameOverhead;
}

std::vector<uint8_t> EncodeFrame(uint8_t kind, uint8_t sequence, std::span<const uint8_t> data) {
  std::vector<uint8_t> out(data.size() + kFrameOverhead);
  size_t n = EncodeFrame(kind, sequence, data.data(), data.size(), out.data(), out.size());
  out.resize(n);
  return out;
}

int32_t DecodeFrame(std::span<const uint8_t> raw, FrameView* view) {
  if (raw.size() < kFrameOverhead || raw[0] != kStartOfFrame) return LINK_E_PROTOCOL;
  size_t n = (static_cast<size_t>(raw[3]) << 8) | raw[4];
  if (raw.size() != n + kFrameOverhead) return LINK_E_PROTOCOL;
  uint16_t expected = static_cast<uint16_t>((raw[5 + n] << 8) | raw[6 + n]);
  if (Crc16Genibus(raw.data() + 3, n + 2) != expected) return LINK_E_CHECK;
  view->kind = raw[1];
  view->sequence = raw[2];
  view->data = raw.subspan(5, n);
  return LINK_OK;
}

// ---- FrameReceiver --------------------------------------------------------------------

FrameReceiver::FrameReceiver(FrameDirection direction, size_t capacity)
    : direction_(direction),
      capacity_(capacity < kFrameOverhead ? kFrameOverhead
                                          : (capacity > kMaxRawFrame ? kMaxRawFrame : capacity)) {}

void FrameReceiver::Reset() {
  state_ = State::kHunt;
  size_ = 0;
  data_length_ = 0;
}

size_t FrameReceiver::Missing() const {
  switch (state_) {
    case State::kHunt:
      return kFrameOverhead;
    case State::kKind:
      return kFrameOverhead - 1;
    case State::kSequence:
      return kFrameOverhead - 2;
    case State::kLength:
      return kFrameOverhead - size_;
    case State::kData:
    case State::kCheck:
      return data_length_ + kFrameOverhead - size_;
    case State::kDone:
    case State::kOversize:
      return 0;
  }
  return 0;
}

size_t FrameReceiver::StepSize() const {
  switch (state_) {
    case State::kLength:
      return 5 - size_;
    case State::kData:
      return data_length_ + 5 - size_;
    case State::kCheck:
      return data_length_ + kFrameOverhead - size_;
    case State::kDone:
    case State::kOversize:
      return 0;
    default:
      return 1;
  }
}

size_t FrameReceiver::Feed(const uint8_t* bytes, size_t count) {
  size_t i = 0;
  while (i < count && state_ != State::kDone && state_ != State::kOversize) {
    switch (state_) {
      case State::kHunt: {
        uint8_t b = bytes[i++];
        if (b == kStartOfFrame) {
          buffer_[0] = b;
          size_ = 1;
          state_ = State::kKind;
        }
        break;
      }
      case State::kKind: {
        uint8_t b = bytes[i++];
        bool ok = direction_ == FrameDirection::kResponse ? (b & 0xF0) == 0x60 : b == kCommandKind;
        if (ok) {
          buffer_[size_++] = b;
          state_ = State::kSequence;
        } else {
          // The start byte and this byte are both dropped.
          size_ = 0;
          state_ = State::kHunt;
        }
        break;
      }
      case State::kSequence:
        buffer_[size_++] = bytes[i++];
        state_ = State::kLength;
        break;
      case State::kLength:
        buffer_[size_++] = bytes[i++];
        if (size_ == 5) {
          data_length_ = (static_cast<size_t>(buffer_[3]) << 8) | buffer_[4];
          if (data_length_ + kFrameOverhead > capacity_) {
            state_ = State::kOversize;
          } else {
            state_ = data_length_ == 0 ? State::kCheck : State::kData;
          }
        }
        break;
      case State::kData:
      case State::kCheck: {
        size_t need = data_length_ + kFrameOverhead - size_;
        size_t take = count - i < need ? count - i : need;
        std::memcpy(buffer_.data() + size_, bytes + i, take);
        size_ += take;
        i += take;
        if (size_ == data_length_ + kFrameOverhead) {
          state_ = State::kDone;
        } else if (size_ >= data_length_ + 5) {
          state_ = State::kCheck;
        }
        break;
      }
      case State::kDone:
      case State::kOversize:
        break;
    }
  }
  return i;
}

// ---- Formatters and fields ------------------------------------------------------------

std::string FormatDecimal(int64_t value) {
  char buf[24];
  int n = std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(value));
  return std::string(buf, static_cast<size_t>(n));
}

std::string FormatHexByte(int32_t value) {
  char buf[16];
  int n = std::snprintf(buf, sizeof buf, "%02X", static_cast<unsigned>(value));
  return std::string(buf, static_cast<size_t>(n));
}

std::string FormatDate(const FpuDateTime& date) {
  char buf[32];
  int n = std::snprintf(buf, sizeof buf, "%04d%02d%02d", date.year, date.month, date.day);
  return std::string(buf, static_cast<size_t>(n));
}

std::string FormatTime(const FpuDateTime& time) {
  char buf[32];
  int n = std::snprintf(buf, sizeof buf, "%02d%02d%02d", time.hour, time.minute, time.second);
  return std::string(buf, static_cast<size_t>(n));
}

std::string EscapeBytes(const uint8_t* bytes, size_t length) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(length * 3);
  for (size_t i = 0; i < length; ++i) {
    uint8_t b = bytes[i];
    if (b < 0x30) {
      out.push_back('%');
      out.push_back(kHex[b >> 4]);
      out.push_back(kHex[b & 0x0F]);
    } else {
      out.push_back(static_cast<char>(b));
    }
  }
  return out;
}

std::vector<std::string> SplitFields(std::string_view payload) {
  std::vector<std::string> fields;
  if (payload.empty()) return fields;
  size_t start = 0;
  while (fields.size() < kMaxFields) {
    size_t sep = payload.find(static_cast<char>(kFieldSeparator), start);
    if (sep == std::string_view::npos) {
      fields.emplace_back(payload.substr(start));
      break;
    }
    fields.emplace_back(payload.substr(start, sep - start));
    start = sep + 1;
  }
  return fields;
}

std::string JoinFields(const std::vector<std::string>& fields) {
  std::string out;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) out.push_back(static_cast<char>(kFieldSeparator));
    out += fields[i];
  }
  return out;
}

int64_t DecimalField(std::string_view field) {
  size_t i = 0;
  while (i < field.size() && (field[i] == ' ' || field[i] == '\t')) ++i;
  bool negative = false;
  if (i < field.size() && (field[i] == '-' || field[i] == '+')) negative = field[i++] == '-';
  // Accumulate in unsigned so that an overlong number wraps instead of overflowing.
  uint64_t value = 0;
  for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
    value = value * 10 + static_cast<uint64_t>(field[i] - '0');
  }
  return static_cast<int64_t>(negative ? 0 - value : value);
}

uint32_t HexField(std::string_view field) {
  uint32_t value = 0;
  for (char c : field) {
    uint32_t d;
    if (c >= '0' && c <= '9') {
      d = static_cast<uint32_t>(c - '0');
    } else if (c >= 'A' && c <= 'F') {
      d = static_cast<uint32_t>(c - 'A' + 10);
    } else if (c >= 'a' && c <= 'f') {
      d = static_cast<uint32_t>(c - 'a' + 10);
    } else {
      break;
    }
    value = (value << 4) | d;
  }
  return value;
}

namespace {

// The decimal value of field[pos, pos+len); characters missing or not digits count as 0.
uint16_t Digits(std::string_view field, size_t pos, size_t len) {
  uint16_t v = 0;
  for (size_t i = pos; i < pos + len; ++i) {
    char c = i < field.size() ? field[i] : '0';
    v = static_cast<uint16_t>(v * 10 + (c >= '0' && c <= '9' ? c - '0' : 0));
  }
  return v;
}

}  // namespace

void DateField(std::string_view field, FpuDateTime* date) {
  date->year = Digits(field, 0, 4);
  date->month = Digits(field, 4, 2);
  date->day = Digits(field, 6, 2);
}

void TimeField(std::string_view field, FpuDateTime* time) {
  time->hour = Digits(field, 0, 2);
  time->minute = Digits(field, 2, 2);
  time->second = Digits(field, 4, 2);
}

double RealField(std::string_view field) {
  // Parsed by hand so that the process locale is never consulted or changed.
  size_t i = 0;
  while (i < field.size() && (field[i] == ' ' || field[i] == '\t')) ++i;
  bool negative = false;
  if (i < field.size() && (field[i] == '-' || field[i] == '+')) negative = field[i++] == '-';
  double value = 0;
  for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
    value = value * 10 + (field[i] - '0');
  }
  if (i < field.size() && field[i] == '.') {
    double scale = 0.1;
    for (++i; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
      value += (field[i] - '0') * scale;
      scale /= 10;
    }
  }
  return negative ? -value : value;
}

// ---- FpuFrame -------------------------------------------------------------------------

FpuFrame& FpuFrame::operator=(const FpuFrame& other) {
  if (this == &other) return *this;
  frame_kind_ = other.frame_kind_;
  sequence_ = other.sequence_;
  data_length_ = other.data_length_;
  raw_length_ = other.raw_length_;
  if (data_length_ > 0) std::memcpy(data_.data(), other.data_.data(), data_length_);
  if (raw_length_ > 0) std::memcpy(raw_.data(), other.raw_.data(), raw_length_);
  return *this;
}

int32_t FpuFrame::SetRawFrame(const uint8_t* bytes, size_t length) {
  if (length > raw_.size()) return LINK_E_PROTOCOL;
  if (length > 0) std::memcpy(raw_.data(), bytes, length);
  raw_length_ = length;
  return LINK_OK;
}

int32_t FpuFrame::CopyRawFrame(uint8_t* out, size_t capacity, size_t* length) const {
  if (raw_length_ > capacity) return LINK_E_PROTOCOL;
  if (raw_length_ > 0) std::memcpy(out, raw_.data(), raw_length_);
  *length = raw_length_;
  return LINK_OK;
}

int32_t FpuFrame::SetDataPart(const uint8_t* bytes, size_t length) {
  if (length > data_.size()) return LINK_E_PROTOCOL;
  if (length > 0) std::memcpy(data_.data(), bytes, length);
  data_length_ = length;
  return LINK_OK;
}

int32_t FpuFrame::CopyDataPart(uint8_t* out, size_t capacity, size_t* length) const {
  if (data_length_ > capacity) return LINK_E_PROTOCOL;
  if (data_length_ > 0) std::memcpy(out, data_.data(), data_length_);
  *length = data_length_;
  return LINK_OK;
}

// ---- FpuMessage -----------------------------------------------------------------------

void FpuMessage::CopyMessage(const FpuMessage& other) {
  if (this == &other) return;
  opcode_ = other.opcode_;
  job_ = other.job_;
  payload_length_ = other.payload_length_;
  separator_pending_ = other.separator_pending_;
  if (payload_length_ > 0) std::memcpy(payload_.data(), other.payload_.data(), payload_length_);
}

void FpuMessage::Reset() {
  opcode_ = 0;
  job_ = 0;
  ClearPayload();
}

int32_t FpuMessage::SetPayload(const uint8_t* bytes, size_t length) {
  if (length > payload_.size()) return LINK_E_PROTOCOL;
  if (length > 0) std::memcpy(payload_.data(), bytes, length);
  payload_length_ = length;
  separator_pending_ = length > 0;
  return LINK_OK;
}

void FpuMessage::ClearPayload() {
  payload_length_ = 0;
  separator_pending_ = false;
}

int32_t FpuMessage::AppendField(std::string_view text) {
  size_t sep = separator_pending_ ? 1 : 0;
  if (payload_length_ + sep + text.size() > payload_.size()) return LINK_E_PROTOCOL;
  if (sep) payload_[payload_length_++] = kFieldSeparator;
  if (!text.empty()) std::memcpy(payload_.data() + payload_length_, text.data(), text.size());
  payload_length_ += text.size();
  separator_pending_ = true;
  return LINK_OK;
}

int32_t FpuMessage::AppendDecimal(int64_t value) {
  return AppendField(FormatDecimal(value));
}
int32_t FpuMessage::AppendHexByte(int32_t value) {
  return AppendField(FormatHexByte(value));
}
int32_t FpuMessage::AppendChar(char c) {
  if (static_cast<uint8_t>(c) == kFieldSeparator) return LINK_E_PROTOCOL;
  return AppendField(std::string_view(&c, 1));
}
int32_t FpuMessage::AppendText(std::string_view text) {
  // A text is one field: a separator inside it would hand the printer extra fields.
  if (text.find(static_cast<char>(kFieldSeparator)) != std::string_view::npos) {
    return LINK_E_PROTOCOL;
  }
  return AppendField(text);
}
int32_t FpuMessage::AppendDate(const FpuDateTime& date) {
  return AppendField(FormatDate(date));
}
int32_t FpuMessage::AppendTime(const FpuDateTime& time) {
  return AppendField(FormatTime(time));
}
int32_t FpuMessage::AppendEscaped(const uint8_t* bytes, size_t length) {
  return AppendField(EscapeBytes(bytes, length));
}

std::vector<std::string> FpuMessage::SplitPayload() const {
  return SplitFields(PayloadText());
}

std::string FpuMessage::PayloadText() const {
  return std::string(reinterpret_cast<const char*>(payload_.data()), payload_length_);
}

int32_t FpuMessage::CopyPayload(uint8_t* out, size_t capacity, size_t* length) const {
  if (payload_length_ > capacity) return LINK_E_PROTOCOL;
  if (payload_length_ > 0) std::memcpy(out, payload_.data(), payload_length_);
  *length = payload_length_;
  return LINK_OK;
}

// ---- FpuCommand / FpuResponse ---------------------------------------------------------

int32_t FpuCommand::Build() {
  size_t n = kCommandFixedBytes + payload_length_;
  if (n > data_.size()) return LINK_E_PROTOCOL;
  data_[0] = kCommandMarker;
  data_[1] = static_cast<uint8_t>(job_);
  data_[2] = static_cast<uint8_t>(opcode_);
  if (payload_length_ > 0) std::memcpy(data_.data() + 3, payload_.data(), payload_length_);
  data_length_ = n;
  frame_kind_ = kCommandKind;
  size_t raw = EncodeFrame(kCommandKind, static_cast<uint8_t>(sequence_), data_.data(), n,
                           raw_.data(), raw_.size());
  if (raw == 0) return LINK_E_PROTOCOL;
  raw_length_ = raw;
  return LINK_OK;
}

int32_t FpuResponse::Parse() {
  // Frame level. A raw frame that cannot even hold its own envelope is not decodable.
  if (raw_length_ < kFrameOverhead || raw_[0] != kStartOfFrame) return LINK_E_PROTOCOL;
  size_t n = (static_cast<size_t>(raw_[3]) << 8) | raw_[4];
  if (n + kFrameOverhead > raw_length_ || n > data_.size()) return LINK_E_PROTOCOL;
  frame_kind_ = raw_[1];
  sequence_ = raw_[2];
  std::memcpy(data_.data(), raw_.data() + 5, n);
  data_length_ = n;
  uint16_t expected = static_cast<uint16_t>((raw_[5 + n] << 8) | raw_[6 + n]);
  if (Crc16Genibus(raw_.data() + 3, n + 2) != expected) return LINK_E_CHECK;
  // Message level.
  if (n < kResponseFixedBytes) return LINK_E_PROTOCOL;
  job_ = data_[0];
  opcode_ = data_[1];
  fatal_ = data_[2];
  status_ = (static_cast<uint32_t>(data_[3]) << 24) | (static_cast<uint32_t>(data_[4]) << 16) |
            (static_cast<uint32_t>(data_[5]) << 8) | data_[6];
  reply_ = data_[7];
  size_t p = n - kResponseFixedBytes;
  if (p > payload_.size()) return LINK_E_PROTOCOL;
  if (p > 0) std::memcpy(payload_.data(), data_.data() + kResponseFixedBytes, p);
  payload_length_ = p;
  separator_pending_ = false;
  return LINK_OK;
}

}  // namespace kelo::link
