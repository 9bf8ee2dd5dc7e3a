// SPDX-License-Identifier: BSD-2-Clause
#include "png_io.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <vector>

namespace {

const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

// The chunks that say how the samples are to be shown, copied from input to
// output as they are, and the chunk that makes a PNG animated.
const char* const kColourChunks[] = {"gAMA", "cHRM", "sRGB", "iCCP", "sBIT", "pHYs"};
constexpr int kColourChunkCount = 6;
const png_byte kHandledChunks[] = "gAMA\0cHRM\0sRGB\0iCCP\0sBIT\0pHYs\0acTL";
constexpr int kHandledChunkCount = 7;

// libpng reports errors by calling back and then jumping out; the message is
// kept here so that it survives the jump.
struct PngContext {
  ByteReader* reader = nullptr;
  Picture* picture = nullptr;  // while reading: where the colour chunks go
  bool refused = false;        // the message refuses a kind of file; it is not a fault
  bool profile_too_large = false;
  char message[256] = {0};
};

void on_error(png_structp png, png_const_charp message) {
  PngContext* context = static_cast<PngContext*>(png_get_error_ptr(png));
  // A refusal keeps its own words over libpng's "error in user chunk".
  if (!context->refused) std::snprintf(context->message, sizeof context->message, "%s", message);
  png_longjmp(png, 1);
}

// Warnings pass, but for the one that says a colour profile was passed over
// for its size (libpng names the chunk first).
void on_warning(png_structp png, png_const_charp message) {
  PngContext* context = static_cast<PngContext*>(png_get_error_ptr(png));
  if (std::strncmp(message, "iCCP", 4) == 0 &&
      (std::strstr(message, "memory") || std::strstr(message, "limit")))
    context->profile_too_large = true;
}

void on_read(png_structp png, png_bytep out, png_size_t count) {
  PngContext* context = static_cast<PngContext*>(png_get_io_ptr(png));
  if (reader_read(*context->reader, out, count) != count) png_error(png, "truncated PNG data");
}

unsigned long be32(const png_byte* p) {
  return static_cast<unsigned long>(p[0]) << 24 | static_cast<unsigned long>(p[1]) << 16 |
         static_cast<unsigned long>(p[2]) << 8 | p[3];
}

// The data length a colour chunk must have; 0 when it varies.
size_t colour_chunk_length(const std::string& type) {
  return type == "gAMA" ? 4 : type == "cHRM" ? 32 : type == "sRGB" ? 1 : type == "pHYs" ? 9 : 0;
}

// Every ancillary chunk libpng does not read itself comes here: an animation
// is refused (an error libpng raises once this returns), the colour chunks
// are kept (the first of each type, of the length its type has), everything
// else is passed over.
int on_chunk(png_structp png, png_unknown_chunkp chunk) {
  PngContext* context = static_cast<PngContext*>(png_get_user_chunk_ptr(png));
  const std::string type(reinterpret_cast<const char*>(chunk->name), 4);
  if (type == "acTL") {
    std::snprintf(context->message, sizeof context->message,
                  "animated PNG (%lu frames) not taken: give its frames as a stream of PNG "
                  "pictures (e.g. ffmpeg -i IN -f image2pipe -c:v png -)",
                  chunk->size >= 4 ? be32(chunk->data) : 0UL);
    context->refused = true;
    return -1;
  }
  std::vector<PictureChunk>& kept = context->picture->chunks;
  bool wanted = false;
  for (const char* colour : kColourChunks) wanted = wanted || type == colour;
  for (const PictureChunk& c : kept) wanted = wanted && c.type != type;
  const size_t length = colour_chunk_length(type);
  if (wanted && chunk->size > 0 && (length == 0 || chunk->size == length)) {
    kept.push_back({type, std::string(reinterpret_cast<const char*>(chunk->data), chunk->size)});
  }
  return 1;
}

// sBIT gives the significant bits of each channel the file stores. A
// transparent colour made into alpha adds a channel, all of whose bits are
// significant; values beyond the depth written make the chunk invalid.
void fit_significant_bits(Picture& picture, int depth) {
  for (size_t i = 0; i < picture.chunks.size(); ++i) {
    if (picture.chunks[i].type != "sBIT") continue;
    std::string& bits = picture.chunks[i].data;
    if (static_cast<int>(bits.size()) == picture.channels - 1)
      bits.push_back(static_cast<char>(depth));
    bool valid = static_cast<int>(bits.size()) == picture.channels;
    for (char b : bits) valid = valid && b >= 1 && b <= depth;
    if (!valid) picture.chunks.erase(picture.chunks.begin() + static_cast<std::ptrdiff_t>(i));
    return;
  }
}

// Everything that changes between setjmp and a possible longjmp lives behind
// pointers, so no local is left indeterminate after the jump.
bool read_rows(png_structp png, png_infop info, Picture* picture) {
  if (setjmp(png_jmpbuf(png))) return false;
  // Nothing but the picture and the chunks that say how it is shown is used:
  // libpng reads no other ancillary chunk but tRNS itself, and what it still
  // reads or keeps is held to limits.
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_ALWAYS, kHandledChunks, kHandledChunkCount);
  png_set_read_user_chunk_fn(png, png_get_error_ptr(png), on_chunk);
  png_set_user_limits(png, kMaxPictureSide, kMaxPictureSide);
  png_set_chunk_cache_max(png, kMaxPngChunksKept);
  png_set_chunk_malloc_max(png, kMaxPngChunkBytes);
  *picture = Picture();
  png_read_info(png, info);
  if (static_cast<PngContext*>(png_get_error_ptr(png))->profile_too_large) {
    png_error(png, "its colour profile (iCCP) is larger than 4 MiB");
  }
  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  if (!picture_size_allowed(width, height)) png_error(png, "picture too large");
  const int color_type = png_get_color_type(png, info);
  const int depth = png_get_bit_depth(png, info);
  if (color_type == PNG_COLOR_TYPE_PALETTE) {
    png_set_palette_to_rgb(png);
    picture->from_palette = true;
  } else if (depth < 8) {
    png_set_expand_gray_1_2_4_to_8(png);
  }
  // Transparency by palette or by colour key becomes an alpha channel, which
  // the filter never touches: every pixel keeps its transparency.
  if (png_get_valid(png, info, PNG_INFO_tRNS) != 0) png_set_tRNS_to_alpha(png);
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
  fit_significant_bits(*picture, out_depth);
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
  // The colour chunks go right after the header; libpng writes chunks it is
  // handed whole when told to keep their types.
  std::vector<png_unknown_chunk> chunks(picture->chunks.size());
  for (size_t i = 0; i < chunks.size(); ++i) {
    const PictureChunk& from = picture->chunks[i];
    std::memcpy(chunks[i].name, from.type.c_str(), 5);
    chunks[i].data = reinterpret_cast<png_byte*>(const_cast<char*>(from.data.data()));
    chunks[i].size = from.data.size();
    chunks[i].location = PNG_HAVE_IHDR;
  }
  if (!chunks.empty()) {
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_ALWAYS, kHandledChunks, kColourChunkCount);
    png_set_unknown_chunks(png, info, chunks.data(), static_cast<int>(chunks.size()));
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
  context.picture = &picture;
  const bool ok = read_rows(png, info, &picture);
  png_destroy_read_struct(&png, &info, nullptr);
  if (!ok) error = (context.refused ? std::string() : "bad PNG input: ") + context.message;
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

bool read_png_file(const std::string& path, Picture& picture, std::string& error) {
  ByteReader reader;
  if (!open_reader(reader, path, error)) return false;
  const bool ok = starts_png(reader) && read_png(reader, picture, error);
  if (!ok && error.empty()) error = path + " is not a PNG picture";
  close_reader(reader);
  return ok;
}
