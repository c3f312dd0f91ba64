#include "imaging/picture_decoder.h"

#include <magick/api.h>

#include <cstdio>
#include <cstring>
#include <mutex>

namespace kelo::imaging {
namespace {

uint16_t Le16(std::span<const uint8_t> d, size_t at) {
  return static_cast<uint16_t>(d[at] | (d[at + 1] << 8));
}
uint32_t Le32(std::span<const uint8_t> d, size_t at) {
  return static_cast<uint32_t>(d[at]) | (static_cast<uint32_t>(d[at + 1]) << 8) |
         (static_cast<uint32_t>(d[at + 2]) << 16) | (static_cast<uint32_t>(d[at + 3]) << 24);
}

bool StartsWith(std::span<const uint8_t> d, std::string_view sig) {
  return d.size() >= sig.size() && std::memcmp(d.data(), sig.data(), sig.size()) == 0;
}

// A WBMP of type 0: 0x00, fixed header 0x00, width and height as multi-byte integers, then
// exactly ceil(width / 8) * height bytes. The exact size is what tells it from random bytes.
bool LooksLikeWbmp(std::span<const uint8_t> d) {
  if (d.size() < 4 || d[0] != 0 || d[1] != 0) return false;
  size_t at = 2;
  uint64_t dims[2];
  for (uint64_t& v : dims) {
    v = 0;
    for (int n = 0;; ++n) {
      if (at >= d.size() || n == 4) return false;
      uint8_t b = d[at++];
      v = (v << 7) | (b & 0x7F);
      if (!(b & 0x80)) break;
    }
    if (v == 0) return false;
  }
  return (dims[0] + 7) / 8 * dims[1] == d.size() - at;
}

// An uncompressed or run-length TGA header with values that belong together.
bool LooksLikeTga(std::span<const uint8_t> d) {
  if (d.size() < 18) return false;
  uint8_t map_type = d[1], type = d[2], map_bits = d[7], depth = d[16];
  bool mapped = type == 1 || type == 9;
  bool known = mapped || type == 2 || type == 3 || type == 10 || type == 11;
  if (!known || map_type > 1 || mapped != (map_type == 1)) return false;
  if (map_type == 1 && map_bits != 15 && map_bits != 16 && map_bits != 24 && map_bits != 32) {
    return false;
  }
  if (depth != 8 && depth != 15 && depth != 16 && depth != 24 && depth != 32) return false;
  return Le16(d, 12) != 0 && Le16(d, 14) != 0;
}

// Bits per pixel written in a Windows bitmap's header (0 when the header is too short).
int BmpBitsPerPixel(std::span<const uint8_t> d) {
  if (d.size() < 30) return 0;
  uint32_t header_size = Le32(d, 14);
  return Le16(d, header_size == 12 ? 24 : 28);
}

void QuietHandler(const ExceptionType, const char*, const char*) {}

// The library is initialised once per process, by whichever thread decodes first.
void InitializeDecoder() {
  static std::once_flag once;
  std::call_once(once, [] {
    ExceptionInfo ex;
    GetExceptionInfo(&ex);
    // No signal handlers: this code lives inside other programs, which own their signals.
    InitializeMagickEx(nullptr, MAGICK_OPT_NO_SIGNAL_HANDER, &ex);
    DestroyExceptionInfo(&ex);
    // A library must not write to the host's standard error; failures come back as results.
    SetWarningHandler(QuietHandler);
    SetErrorHandler(QuietHandler);
    // One worker thread per decode (pictures here are small), and a bound on what a
    // hostile header can make the decoder allocate.
    SetMagickResourceLimit(ThreadsResource, 1);
    SetMagickResourceLimit(WidthResource, kMaxPictureSide);
    SetMagickResourceLimit(HeightResource, kMaxPictureSide);
    SetMagickResourceLimit(PixelsResource, kMaxPicturePixels);
  });
}

std::string ExceptionText(const ExceptionInfo& ex) {
  std::string text = ex.reason ? ex.reason : "unknown decoder failure";
  if (ex.description) text += std::string(" (") + ex.description + ")";
  return text;
}

}  // namespace

PictureFormat DetectPictureFormat(std::span<const uint8_t> d) {
  if (StartsWith(d, "BM") && d.size() >= 30) return PictureFormat::Bmp;
  if (StartsWith(d, "GIF87a") || StartsWith(d, "GIF89a")) return PictureFormat::Gif;
  if (d.size() >= 128 && d[0] == 0x0A && (d[1] <= 5 && d[1] != 1) && d[2] <= 1 &&
      (d[3] == 1 || d[3] == 2 || d[3] == 4 || d[3] == 8)) {
    return PictureFormat::Pcx;
  }
  if (d.size() >= 6 && Le32(d, 0) == 0x00010000u && Le16(d, 4) != 0) return PictureFormat::Ico;
  if (d.size() >= 4 && Le32(d, 0) == 0x9AC6CDD7u) return PictureFormat::Wmf;  // placeable
  if (d.size() >= 6 && (Le16(d, 0) == 1 || Le16(d, 0) == 2) && Le16(d, 2) == 9 &&
      (Le16(d, 4) == 0x0300 || Le16(d, 4) == 0x0100)) {
    return PictureFormat::Wmf;
  }
  if (LooksLikeWbmp(d)) return PictureFormat::Wbmp;
  if (LooksLikeTga(d)) return PictureFormat::Tga;
  return PictureFormat::Unknown;
}

const char* PictureFormatName(PictureFormat format) {
  switch (format) {
    case PictureFormat::Bmp:
      return "BMP";
    case PictureFormat::Gif:
      return "GIF";
    case PictureFormat::Pcx:
      return "PCX";
    case PictureFormat::Ico:
      return "ICO";
    case PictureFormat::Wmf:
      return "WMF";
    case PictureFormat::Wbmp:
      return "WBMP";
    case PictureFormat::Tga:
      return "TGA";
    case PictureFormat::Unknown:
      break;
  }
  return "";
}

bool DecodePicture(std::span<const uint8_t> data, Picture* out, std::string* error) {
  *out = Picture();
  PictureFormat format = DetectPictureFormat(data);
  if (format == PictureFormat::Unknown) {
    *error = "not a picture in a supported format (BMP, GIF, ICO, TGA, PCX, WBMP, WMF)";
    return false;
  }
  InitializeDecoder();
  const char* name = PictureFormatName(format);

  ImageInfo* info = CloneImageInfo(nullptr);
  // The format found above, affirmed, so the library does not second-guess it.
  std::snprintf(info->magick, sizeof info->magick, "%s", name);
  std::snprintf(info->filename, sizeof info->filename, "%s:", name);
  info->affirm = MagickTrue;
  info->subimage = 0;  // the first picture of an animation only
  info->subrange = 1;
  ExceptionInfo ex;
  GetExceptionInfo(&ex);
  Image* image = BlobToImage(info, data.data(), data.size(), &ex);
  DestroyImageInfo(info);

  bool ok = false;
  // Truncated or damaged files may still give an image, with an error or a corrupt-image
  // warning; half a logo is not a logo.
  if (!image || ex.severity >= ErrorException || ex.severity == CorruptImageWarning) {
    *error = std::string("cannot decode the ") + name + " picture: " + ExceptionText(ex);
  } else if (image->columns == 0 || image->rows == 0 ||
             image->columns > static_cast<unsigned long>(kMaxPictureSide) ||
             image->rows > static_cast<unsigned long>(kMaxPictureSide) ||
             static_cast<int64_t>(image->columns) * static_cast<int64_t>(image->rows) >
                 kMaxPicturePixels) {
    *error = "picture size " + std::to_string(image->columns) + "x" + std::to_string(image->rows) +
             " is out of range";
  } else {
    const auto w = static_cast<int32_t>(image->columns);
    const auto h = static_cast<int32_t>(image->rows);
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * static_cast<size_t>(h) * 3);
    if (DispatchImage(image, 0, 0, image->columns, image->rows, "RGB", CharPixel, rgb.data(),
                      &ex) != MagickPass) {
      *error =
          std::string("cannot read the pixels of the ") + name + " picture: " + ExceptionText(ex);
    } else {
      out->width = w;
      out->height = h;
      out->one_bit = format == PictureFormat::Bmp
                         ? BmpBitsPerPixel(data) == 1
                         : image->storage_class == PseudoClass && image->colors <= 2;
      out->pixels.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
      // The decoder gives rows top-down; the picture keeps them bottom-up.
      for (int32_t row = 0; row < h; ++row) {
        const uint8_t* src = &rgb[static_cast<size_t>(row) * static_cast<size_t>(w) * 3];
        Rgb* dst = &out->pixels[static_cast<size_t>(h - 1 - row) * static_cast<size_t>(w)];
        for (int32_t x = 0; x < w; ++x) dst[x] = Rgb{src[3 * x], src[3 * x + 1], src[3 * x + 2]};
      }
      ok = true;
    }
  }
  if (image) DestroyImageList(image);
  DestroyExceptionInfo(&ex);
  return ok;
}

}  // namespace kelo::imaging
