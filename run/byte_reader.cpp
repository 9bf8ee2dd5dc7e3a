// SPDX-License-Identifier: BSD-2-Clause
#include "byte_reader.h"

#include <cerrno>
#include <cstring>

#include "standard_streams.h"

bool open_reader(ByteReader& reader, const std::string& path, std::string& error) {
  reader.begin = reader.end = 0;
  reader.at_eof = reader.failed = false;
  if (path == "-") {
    if (standard_stream_closed(0)) {
      error = "standard input is closed: nothing to read from \"-\"";
      return false;
    }
    reader.file = stdin;
    reader.owned = false;
    return true;
  }
  reader.file = std::fopen(path.c_str(), "rb");
  reader.owned = reader.file != nullptr;
  if (!reader.file) {
    error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

void close_reader(ByteReader& reader) {
  if (reader.owned && reader.file) std::fclose(reader.file);
  reader.file = nullptr;
  reader.owned = false;
}

size_t reader_fill(ByteReader& reader, size_t count) {
  if (count > sizeof reader.buffer) count = sizeof reader.buffer;
  if (reader.end - reader.begin >= count) return count;
  if (reader.begin > 0) {
    std::memmove(reader.buffer, reader.buffer + reader.begin, reader.end - reader.begin);
    reader.end -= reader.begin;
    reader.begin = 0;
  }
  while (reader.end < count && !reader.at_eof && reader.file) {
    const size_t got =
        std::fread(reader.buffer + reader.end, 1, sizeof reader.buffer - reader.end, reader.file);
    reader.end += got;
    if (got == 0) {
      reader.at_eof = true;
      reader.failed = std::ferror(reader.file) != 0;
    }
  }
  return reader.end - reader.begin < count ? reader.end - reader.begin : count;
}

bool reader_done(ByteReader& reader) {
  return reader_fill(reader, 1) == 0;
}

int reader_peek(ByteReader& reader) {
  if (reader_fill(reader, 1) == 0) return -1;
  return reader.buffer[reader.begin];
}

int reader_get(ByteReader& reader) {
  const int c = reader_peek(reader);
  if (c >= 0) ++reader.begin;
  return c;
}

size_t reader_read(ByteReader& reader, void* out, size_t count) {
  uint8_t* dst = static_cast<uint8_t*>(out);
  size_t done = 0;
  while (done < count) {
    size_t avail = reader.end - reader.begin;
    if (avail == 0 && count - done >= sizeof reader.buffer && !reader.at_eof && reader.file) {
      // A large read (a frame) goes straight into its place, not through the
      // buffer.
      const size_t got = std::fread(dst + done, 1, count - done, reader.file);
      done += got;
      if (done < count) {
        reader.at_eof = true;
        reader.failed = std::ferror(reader.file) != 0;
      }
      continue;
    }
    if (avail == 0) {
      avail = reader_fill(reader, sizeof reader.buffer);
      if (avail == 0) break;
    }
    const size_t take = avail < count - done ? avail : count - done;
    std::memcpy(dst + done, reader.buffer + reader.begin, take);
    reader.begin += take;
    done += take;
  }
  return done;
}

bool reader_line(ByteReader& reader, std::string& line, size_t max_length) {
  line.clear();
  for (;;) {
    const int c = reader_get(reader);
    if (c < 0) return false;
    if (c == '\n') return true;
    if (line.size() >= max_length) return false;
    line.push_back(static_cast<char>(c));
  }
}
