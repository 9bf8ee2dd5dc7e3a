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
bool read_rows(png_structp png, png_infop info, RgbPicture* picture) {
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
  png_set_expand(png);  // palette to RGB, small grey to 8 bits, tRNS to alpha
  png_set_strip_16(png);
  png_set_strip_alpha(png);
  png_set_gray_to_rgb(png);
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != static_cast<size_t>(width) * 3) {
    png_error(png, "unexpected PNG row layout");
  }
  picture->width = static_cast<int>(width);
  picture->height = static_cast<int>(height);
  picture->rgb.assign(static_cast<size_t>(width) * height * 3, 0);
  for (int pass = 0; pass < passes; ++pass) {
    for (png_uint_32 y = 0; y < height; ++y) {
      png_read_row(png, picture->rgb.data() + static_cast<size_t>(y) * width * 3, nullptr);
    }
  }
  png_read_end(png, nullptr);
  return true;
}

bool write_rows(png_structp png, png_infop info, std::FILE* file, const RgbPicture* picture) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(picture->width),
               static_cast<png_uint_32>(picture->height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < picture->height; ++y) {
    png_write_row(png, picture->rgb.data() + static_cast<size_t>(y) * picture->width * 3);
  }
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

bool starts_png(ByteReader& reader) {
  return reader_fill(reader, 8) == 8 &&
         std::memcmp(reader.buffer + reader.begin, kSignature, 8) == 0;
}

bool read_png(ByteReader& reader, RgbPicture& picture, std::string& error) {
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

bool write_png(std::FILE* file, const RgbPicture& picture, std::string& error) {
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

ReadResult read_png_frame(ByteReader& reader, RgbPicture& picture, std::string& error) {
  if (reader_done(reader)) return ReadResult::End;
  if (!starts_png(reader)) {
    error = "bad PNG input: bytes after the last picture that are not a PNG picture";
    return ReadResult::Error;
  }
  return read_png(reader, picture, error) ? ReadResult::Frame : ReadResult::Error;
}
