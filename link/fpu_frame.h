// Frames of the printer's wire protocol and the messages carried in them.
//
// Wire envelope (both directions, numbers big-endian):
//   0x01, kind, sequence, length N (2 bytes), data part (N bytes), check code (2 bytes)
// The check code is CRC-16/GENIBUS over the length bytes and the data part.
// A command's data part is 0x31, job, opcode, payload; a response's is job, opcode, fatal
// code, status word (4 bytes), reply code, payload. A payload is text fields joined by 0x1F.
//
// Everything below the message classes is a pure function over byte buffers so that the
// printer side (the simulator) encodes and decodes exactly as the driver does.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kelo::link {

// Link result codes, answered by every operation of the link.
inline constexpr int32_t LINK_OK = 0;
inline constexpr int32_t LINK_E_UNSUPPORTED = 101;  // build of a response / parse of a command
inline constexpr int32_t LINK_E_CHECK = 102;        // bad check code, or an answer of kind 'b'
inline constexpr int32_t LINK_E_REPLY83 = 104;      // reply code 0x83
inline constexpr int32_t LINK_E_PROTOCOL = 105;     // mismatch, kind 'c', busy, bad size, ...
inline constexpr int32_t LINK_E_TIMEOUT = 106;      // no complete response in time
inline constexpr int32_t LINK_E_REPLY84 = 108;      // reply code 0x84

inline constexpr uint8_t kStartOfFrame = 0x01;
inline constexpr uint8_t kCommandKind = 0x41;         // 'A'
inline constexpr uint8_t kResponseKindNormal = 0x61;  // 'a'
inline constexpr uint8_t kResponseKindResend = 0x62;  // 'b': check code was wrong, send again
inline constexpr uint8_t kResponseKindReset = 0x63;   // 'c': out of step, sequence back to 0
inline constexpr uint8_t kCommandMarker = 0x31;       // first data byte of every command
inline constexpr uint8_t kFieldSeparator = 0x1F;
inline constexpr uint8_t kStatusJob = 0xFF;  // job number of the status query
inline constexpr uint8_t kOpQueryStatus = 0x3F;

// Reply codes (byte 7 of a response's data part).
inline constexpr int32_t kReplyDone = 0x80;
inline constexpr int32_t kReplyBusy = 0x81;
inline constexpr int32_t kReplyInProgress = 0x82;
inline constexpr int32_t kReplyRefused83 = 0x83;
inline constexpr int32_t kReplyRefused84 = 0x84;

// Status-word bits that end a wait for an in-progress command.
inline constexpr uint32_t kStatusWaitAbortMask = 0x0003 | 0x0500;

inline constexpr size_t kFrameOverhead = 7;       // envelope around the data part
inline constexpr size_t kMaxDataPart = 4096;      // FpuFrame data part capacity
inline constexpr size_t kMaxRawFrame = 4116;      // FpuFrame raw frame capacity
inline constexpr size_t kMaxPayload = 4076;       // FpuMessage payload capacity
inline constexpr size_t kResponseFixedBytes = 8;  // response data part before the payload
inline constexpr size_t kCommandFixedBytes = 3;   // command data part before the payload
inline constexpr size_t kMaxFields = 512;         // fields a payload splits into at most

// ---- Check code -----------------------------------------------------------------------

// One table-free CRC step on the register (before the final exclusive-or).
constexpr uint16_t Crc16GenibusStep(uint16_t reg, uint8_t byte) {
  reg = static_cast<uint16_t>((reg >> 8) | (reg << 8));
  reg ^= byte;
  reg ^= static_cast<uint16_t>((reg & 0xFF) >> 4);
  reg ^= static_cast<uint16_t>(reg << 12);
  reg ^= static_cast<uint16_t>((reg & 0xFF) << 5);
  return reg;
}

// CRC-16/GENIBUS: polynomial 0x1021, initial 0xFFFF, not reflected, final xor 0xFFFF.
uint16_t Crc16Genibus(const uint8_t* data, size_t length);
inline uint16_t Crc16Genibus(std::span<const uint8_t> data) {
  return Crc16Genibus(data.data(), data.size());
}

// ---- Frames as byte buffers -----------------------------------------------------------

// Writes the envelope around data into out. Answers the frame size, or 0 when it does not
// fit out (or the data part is longer than 0xFFFF) and nothing usable was written.
size_t EncodeFrame(uint8_t kind, uint8_t sequence, const uint8_t* data, size_t data_length,
                   uint8_t* out, size_t out_capacity);
std::vector<uint8_t> EncodeFrame(uint8_t kind, uint8_t sequence, std::span<const uint8_t> data);

// Frame-level view of a complete raw frame.
struct FrameView {
  uint8_t kind = 0;
  uint8_t sequence = 0;
  std::span<const uint8_t> data;  // points into the raw frame
};

// Checks a complete raw frame (start byte, declared length matching the size, check code).
// Answers LINK_OK, LINK_E_CHECK for a wrong check code, LINK_E_PROTOCOL for a malformed one.
int32_t DecodeFrame(std::span<const uint8_t> raw, FrameView* view);

// Which frames a FrameReceiver accepts after the start byte.
enum class FrameDirection {
  kCommand,   // kind 0x41, as the printer receives them
  kResponse,  // kinds 0x60 to 0x6F, as the driver receives them
};

// Byte-level frame gatherer: hunt for 0x01, check the kind, take sequence, length, data part
// and check code. Bytes before 0x01 are dropped one by one; a 0x01 followed by a kind of the
// wrong family drops both. A declared length whose frame would not fit the capacity ends the
// frame as kOversize (the caller decides what that answers). Allocation-free.
class FrameReceiver {
 public:
  enum class State { kHunt, kKind, kSequence, kLength, kData, kCheck, kDone, kOversize };

  // capacity is the largest whole frame accepted (at most kMaxRawFrame).
  explicit FrameReceiver(FrameDirection direction, size_t capacity = kMaxRawFrame);

  void Reset();
  // Consumes bytes until the frame is done (or oversize); answers the number consumed.
  size_t Feed(const uint8_t* bytes, size_t count);
  State state() const { return state_; }
  bool done() const { return state_ == State::kDone; }
  bool oversize() const { return state_ == State::kOversize; }
  // Bytes still needed before the frame can be complete (at least 1 while gathering).
  size_t Missing() const;
  // Bytes the current state reads in one step: 1 while hunting or taking kind and sequence,
  // then the rest of the length, the rest of the data part, the rest of the check code.
  size_t StepSize() const;
  std::span<const uint8_t> frame() const { return {buffer_.data(), size_}; }

 private:
  FrameDirection direction_;
  size_t capacity_;
  State state_ = State::kHunt;
  size_t size_ = 0;
  size_t data_length_ = 0;
  std::array<uint8_t, kMaxRawFrame> buffer_{};
};

// ---- Payload fields -------------------------------------------------------------------

// Date-time record of the link: 16-bit fields; day of week and milliseconds are neither sent
// nor set by the link.
struct FpuDateTime {
  uint16_t year = 0;
  uint16_t month = 0;
  uint16_t day_of_week = 0;
  uint16_t day = 0;
  uint16_t hour = 0;
  uint16_t minute = 0;
  uint16_t second = 0;
  uint16_t milliseconds = 0;
  friend bool operator==(const FpuDateTime&, const FpuDateTime&) = default;
};

std::string FormatDecimal(int64_t value);         // "%d"
std::string FormatHexByte(int32_t value);         // "%02X"
std::string FormatDate(const FpuDateTime& date);  // "%04d%02d%02d" of year, month, day
std::string FormatTime(const FpuDateTime& time);  // "%02d%02d%02d" of hour, minute, second
// Every byte below 0x30 becomes "%" and two upper-case hex digits; others stay.
std::string EscapeBytes(const uint8_t* bytes, size_t length);

// Splits a payload at every 0x1F into at most kMaxFields fields, keeping empty ones (a
// trailing 0x1F gives a last empty field); an empty payload gives no fields. Text beyond the
// last allowed field is dropped.
std::vector<std::string> SplitFields(std::string_view payload);
// Joins fields with 0x1F (the printer side builds its answers with this).
std::string JoinFields(const std::vector<std::string>& fields);

// Field conversions used when reading replies.
int64_t DecimalField(std::string_view field);  // leading sign and digits; not a number gives 0
uint32_t HexField(std::string_view field);     // hex digits, any case; stops at the first other
// "YYYYMMDD" into year, month, day; "HHMMSS" into hour, minute, second. Missing digits give 0.
void DateField(std::string_view field, FpuDateTime* date);
void TimeField(std::string_view field, FpuDateTime* time);
// A real number with '.' as the decimal point whatever the process locale.
double RealField(std::string_view field);

// ---- Message objects ------------------------------------------------------------------

// A frame with its raw bytes. A fresh frame has every field zero.
class FpuFrame {
 public:
  FpuFrame() = default;
  virtual ~FpuFrame() = default;
  // Copies only the bytes in use: the buffers are large and mostly empty.
  FpuFrame(const FpuFrame& other) { *this = other; }
  FpuFrame& operator=(const FpuFrame& other);

  // Answers LINK_E_PROTOCOL when the bytes do not fit; the frame is then unchanged.
  int32_t SetRawFrame(const uint8_t* bytes, size_t length);
  // Copies the raw frame out; LINK_E_PROTOCOL when it is larger than capacity.
  int32_t CopyRawFrame(uint8_t* out, size_t capacity, size_t* length) const;
  void SetFrameKind(int32_t kind) { frame_kind_ = kind; }
  void SetSequence(int32_t sequence) { sequence_ = sequence; }
  int32_t SetDataPart(const uint8_t* bytes, size_t length);  // LINK_E_PROTOCOL if too long
  int32_t GetFrameKind() const { return frame_kind_; }
  int32_t GetSequence() const { return sequence_; }
  int32_t CopyDataPart(uint8_t* out, size_t capacity, size_t* length) const;

  std::span<const uint8_t> raw_frame() const { return {raw_.data(), raw_length_}; }
  std::span<const uint8_t> data_part() const { return {data_.data(), data_length_}; }

 protected:
  int32_t frame_kind_ = 0;
  int32_t sequence_ = 0;
  // Only the first data_length_ / raw_length_ bytes are meaningful; the rest is never read,
  // so the buffers are left uninitialised to keep messages cheap to create.
  std::array<uint8_t, kMaxDataPart> data_;
  size_t data_length_ = 0;
  std::array<uint8_t, kMaxRawFrame> raw_;
  size_t raw_length_ = 0;
};

// A frame carrying opcode, job number and payload.
class FpuMessage : public FpuFrame {
 public:
  FpuMessage() = default;
  FpuMessage(const FpuMessage& other) : FpuFrame(other) { CopyMessage(other); }
  FpuMessage& operator=(const FpuMessage& other) {
    FpuFrame::operator=(other);
    CopyMessage(other);
    return *this;
  }

  // Clears opcode, job number and payload (a response's status fields stay).
  virtual void Reset();
  // Builds the data part and raw frame from the fields (commands only).
  virtual int32_t Build() = 0;
  // Decodes the raw frame into the fields (responses only).
  virtual int32_t Parse() = 0;

  void SetOpcode(int32_t opcode) { opcode_ = opcode; }
  void SetJob(int32_t job) { job_ = job; }
  int32_t GetOpcode() const { return opcode_; }
  int32_t GetJob() const { return job_; }

  // Payload. Every append answers LINK_E_PROTOCOL (and appends nothing) when the field would
  // not fit the payload capacity, and AppendText / AppendChar also when the text holds the
  // field separator (a text is always exactly one field).
  int32_t SetPayload(const uint8_t* bytes, size_t length);
  void ClearPayload();
  int32_t AppendDecimal(int64_t value);
  int32_t AppendHexByte(int32_t value);
  int32_t AppendChar(char c);
  int32_t AppendText(std::string_view text);
  int32_t AppendDate(const FpuDateTime& date);
  int32_t AppendTime(const FpuDateTime& time);
  int32_t AppendEscaped(const uint8_t* bytes, size_t length);

  std::vector<std::string> SplitPayload() const;
  std::string PayloadText() const;
  int32_t CopyPayload(uint8_t* out, size_t capacity, size_t* length) const;
  std::span<const uint8_t> payload() const { return {payload_.data(), payload_length_}; }
  // The payload as sent: the separator after the last field is not counted.
  size_t payload_length() const { return payload_length_; }

 protected:
  int32_t AppendField(std::string_view text);
  void CopyMessage(const FpuMessage& other);

  int32_t opcode_ = 0;
  int32_t job_ = 0;
  std::array<uint8_t, kMaxPayload> payload_;  // first payload_length_ bytes meaningful
  size_t payload_length_ = 0;
  bool separator_pending_ = false;  // a field was appended; the next one needs 0x1F first
};

class FpuCommand : public FpuMessage {
 public:
  // Data part 0x31, job, opcode, payload, wrapped in a kind 0x41 envelope with the current
  // sequence number. LINK_E_PROTOCOL when it does not fit.
  int32_t Build() override;
  int32_t Parse() override { return LINK_E_UNSUPPORTED; }
};

class FpuResponse : public FpuMessage {
 public:
  int32_t Build() override { return LINK_E_UNSUPPORTED; }
  // LINK_E_CHECK for a wrong check code (fields untouched); LINK_E_PROTOCOL for a frame that
  // is malformed or whose data part is shorter than the 8 fixed bytes.
  int32_t Parse() override;

  void SetFatal(int32_t fatal) { fatal_ = fatal; }
  void SetStatus(uint32_t status) { status_ = status; }
  void SetReply(int32_t reply) { reply_ = reply; }
  int32_t GetFatal() const { return fatal_; }
  uint32_t GetStatus() const { return status_; }
  int32_t GetReply() const { return reply_; }

 private:
  int32_t fatal_ = 0;
  uint32_t status_ = 0;
  int32_t reply_ = 0;
};

}  // namespace kelo::link
