#include "png_io.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

namespace {

const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

// libpng reports errors by calling back and then jumping out; the message is
// kept here so that it survives the jump.
struct PngContext {
  ByteReader* reader = nullptr;
  char message[256] = {0};
};

void on_error(png_structp png, png_const_charp message) {
  PngContext* context = static_cast<PngContext*>(png_get_error_ptr(png));
  std::snprintf(context->message, sizeof context->message, "%s", message);
  png_longjmp(png, 1);
}

void on_warning(png_structp, png_const_charp) {}

void on_read(png_structp png, png_bytep out, png_size_t count) {
  PngContext* context = static_cast<PngContext*>(png_get_io_ptr(png));
  if (reader_read(*context->reader, out, count) != count) png_error(png, "truncated PNG data");
}

// Everything that changes between setjmp and a possible longjmp lives behind
// pointers, so no local is left indeterminate after the jump.
bool read_rows(png_structp png, png_infop info, Picture* picture) {
  if (setjmp(png_jmpbuf(png))) return false;
  // Nothing but the picture is used: every ancillary chunk but tRNS is
  // skipped unread (libpng would otherwise allocate the declared length of a
  // text chunk up front), and what libpng still keeps is held to limits.
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
  png_set_user_limits(png, kMaxPictureSide, kMaxPictureSide);
  png_set_chunk_cache_max(png, kMaxPngChunksKept);
  png_set_chunk_malloc_max(png, kMaxPngChunkBytes);
  png_read_info(png, info);
  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  if (!picture_size_allowed(width, height)) png_error(png, "picture too large");
  const int color_type = png_get_color_type(png, info);
  const int depth = png_get_bit_depth(png, info);
  const bool trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  *picture = Picture();
  if (color_type == PNG_COLOR_TYPE_PALETTE) {
    png_set_palette_to_rgb(png);
    if (trns) png_set_tRNS_to_alpha(png);
    picture->from_palette = true;
  } else if (depth < 8) {
    png_set_expand_gray_1_2_4_to_8(png);
    if (trns) png_set_tRNS_to_alpha(png);
  } else if (trns) {
    // A transparent colour of a grey or RGB picture is kept as it is.
    png_color_16p key = nullptr;
    png_get_tRNS(png, info, nullptr, nullptr, &key);
    picture->has_key = key != nullptr;
    if (key && color_type == PNG_COLOR_TYPE_GRAY) {
      picture->key[0] = key->gray;
    } else if (key) {
      picture->key[0] = key->red;
      picture->key[1] = key->green;
      picture->key[2] = key->blue;
    }
  }
  if (depth == 16 && little_endian_host()) png_set_swap(png);
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const int channels = png_get_channels(png, info);
  const int out_depth = png_get_bit_depth(png, info);
  if (channels < 1 || channels > 4 || (out_depth != 8 && out_depth != 16)) {
    png_error(png, "unexpected PNG layout");
  }
  shape_picture(*picture, static_cast<int>(width), static_cast<int>(height), channels,
                out_depth == 16 ? 65535 : 255);
  const size_t row_bytes = picture->samples.size() / height;
  if (png_get_rowbytes(png, info) != row_bytes) png_error(png, "unexpected PNG row layout");
  for (int pass = 0; pass < passes; ++pass) {
    for (png_uint_32 y = 0; y < height; ++y) {
      png_read_row(png, picture->samples.data() + static_cast<size_t>(y) * row_bytes, nullptr);
    }
  }
  png_read_end(png, nullptr);
  return true;
}

int color_type_of(int channels) {
  switch (channels) {
    case 1:
      return PNG_COLOR_TYPE_GRAY;
    case 2:
      return PNG_COLOR_TYPE_GRAY_ALPHA;
    case 4:
      return PNG_COLOR_TYPE_RGB_ALPHA;
    default:
      return PNG_COLOR_TYPE_RGB;
  }
}

bool write_rows(png_structp png, png_infop info, std::FILE* file, const Picture* picture) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_init_io(png, file);
  const bool wide = picture_wide(*picture);
  png_set_IHDR(png, info, static_cast<png_uint_32>(picture->width),
               static_cast<png_uint_32>(picture->height), wide ? 16 : 8,
               color_type_of(picture->channels), PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (picture->has_key && (picture->channels == 1 || picture->channels == 3)) {
    png_color_16 key{};
    key.gray = key.red = picture->key[0];
    key.green = picture->key[1];
    key.blue = picture->key[2];
    png_set_tRNS(png, info, nullptr, 0, &key);
  }
  png_write_info(png, info);
  if (wide && little_endian_host()) png_set_swap(png);
  const size_t row_bytes = picture->samples.size() / picture->height;
  for (int y = 0; y < picture->height; ++y) {
    png_write_row(png, picture->samples.data() + static_cast<size_t>(y) * row_bytes);
  }
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

bool starts_png(ByteReader& reader) {
  return reader_fill(reader, 8) == 8 &&
         std::memcmp(reader.buffer + reader.begin, kSignature, 8) == 0;
}

bool read_png(ByteReader& reader, Picture& picture, std::string& error) {
  PngContext context;
  context.reader = &reader;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &context, on_error, on_warning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    error = "out of memory reading PNG";
    return false;
  }
  png_set_read_fn(png, &context, on_read);
  const bool ok = read_rows(png, info, &picture);
  png_destroy_read_struct(&png, &info, nullptr);
  if (!ok) error = std::string("bad PNG input: ") + context.message;
  return ok;
}

bool write_png(std::FILE* file, const Picture& picture, std::string& error) {
  PngContext context;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &context, on_error, on_warning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    error = "out of memory writing PNG";
    return false;
  }
  const bool ok = write_rows(png, info, file, &picture);
  png_destroy_write_struct(&png, &info);
  if (!ok) error = std::string("cannot write PNG: ") + context.message;
  return ok;
}

ReadResult read_png_frame(ByteReader& reader, Picture& picture, std::string& error) {
  if (reader_done(reader)) return ReadResult::End;
  if (!starts_png(reader)) {
    error = "bad PNG input: bytes after the last picture that are not a PNG picture";
    return ReadResult::Error;
  }
  return read_png(reader, picture, error) ? ReadResult::Frame : ReadResult::Error;
}
