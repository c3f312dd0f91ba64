// Graphics held by the printer (logos printed by number) and by the customer display, plus
// the display's text model. A graphic arrives as a begin command (number, row count) and then
// one command per row of packed pixels; it is stored once every row has arrived.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kelo::sim {

struct Graphic {
  int32_t width_bytes = 0;  // widest row received, in bytes
  std::vector<std::vector<uint8_t>> rows;
  int32_t height() const { return static_cast<int32_t>(rows.size()); }
};

enum class GraphicResult { kOk, kNoDownload, kTooLarge, kBadNumber };

class GraphicStore {
 public:
  // Limits: a graphic may be neither wider nor taller than either pair (0 = no second pair).
  GraphicStore(int32_t max_number, int32_t width, int32_t height, int32_t width2, int32_t height2);
  void SetLimits(int32_t width, int32_t height, int32_t width2, int32_t height2);

  GraphicResult Begin(int32_t number, int32_t rows);
  // One row of packed pixels; completes the graphic with its last row.
  GraphicResult Row(const std::vector<uint8_t>& row);
  GraphicResult Erase(int32_t number);

  const Graphic* Find(int32_t number) const;
  const std::map<int32_t, Graphic>& all() const { return stored_; }
  void Put(int32_t number, Graphic g) { stored_[number] = std::move(g); }
  bool downloading() const { return pending_.has_value(); }
  void Abort() { pending_.reset(); }
  void Clear();

 private:
  int32_t MaxWidth() const;
  int32_t MaxHeight() const;

  int32_t max_number_;
  int32_t width_, height_, width2_, height2_;
  std::map<int32_t, Graphic> stored_;
  struct Pending {
    int32_t number = 0;
    int32_t expected_rows = 0;
    Graphic graphic;
  };
  std::optional<Pending> pending_;
};

// Text model of the customer display.
struct CustomerDisplay {
  int32_t mode = 0;
  std::vector<std::string> lines;  // one per display line, cut to the display's columns
  std::string standby_text;
  int32_t shown_graphic = -1;  // number of the graphic on show, -1 none
  int32_t shown_x = 0, shown_y = 0;
  std::string shown_text;
  int32_t standby_graphic = -1;
  int32_t standby_x = 0, standby_y = 0;
  std::string standby_graphic_text;
};

}  // namespace kelo::sim
