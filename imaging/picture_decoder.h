// Decoding of picture files through GraphicsMagick, restricted to the formats the device
// accepts and with the format taken from the content, never from the file name.
#pragma once
#include <cstdint>
#include <span>
#include <string>

#include "imaging/picture.h"

namespace kelo::imaging {

enum class PictureFormat { Unknown, Bmp, Gif, Pcx, Ico, Wmf, Wbmp, Tga };

// Recognises the formats by their signatures (TGA and WBMP, which have none, by a consistent
// header). Only these formats are ever handed to the decoder: the library knows many more,
// some of which run outside programs, and none of them has any business here.
PictureFormat DetectPictureFormat(std::span<const uint8_t> data);
const char* PictureFormatName(PictureFormat format);

// Decoded pictures larger than this are refused before their pixels are allocated; every
// printer or display limit is far below it.
inline constexpr int32_t kMaxPictureSide = 8192;
inline constexpr int64_t kMaxPicturePixels = 4 * 1024 * 1024;

// Decodes the first picture of data. On failure returns false with a readable *error.
bool DecodePicture(std::span<const uint8_t> data, Picture* out, std::string* error);

}  // namespace kelo::imaging
