/* SPDX-License-Identifier: BSD-2-Clause */
// Buffered reading from a file or standard input, with look-ahead, so that a
// stream's format can be told from its first bytes and frames can be read one
// after another from a pipe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

struct ByteReader {
  std::FILE* file = nullptr;
  bool owned = false;  // closed by close_reader
  uint8_t buffer[1 << 16];
  size_t begin = 0;
  size_t end = 0;
  bool at_eof = false;
  bool failed = false;  // a read error, as opposed to the end of the stream
};

// "-" opens standard input. Returns false with a message when the file cannot
// be opened.
bool open_reader(ByteReader& reader, const std::string& path, std::string& error);
void close_reader(ByteReader& reader);

// Makes up to count bytes available and returns how many there are (fewer
// only at the end of the stream); count must not exceed the buffer size.
size_t reader_fill(ByteReader& reader, size_t count);
// True when not a single byte is left.
bool reader_done(ByteReader& reader);
// Next byte, or -1 at the end of the stream.
int reader_get(ByteReader& reader);
int reader_peek(ByteReader& reader);
// Reads up to count bytes into out; returns the number read.
size_t reader_read(ByteReader& reader, void* out, size_t count);
// Reads a line up to and without its '\n'. Returns false when the stream ends
// before a '\n' or the line is longer than max_length.
bool reader_line(ByteReader& reader, std::string& line, size_t max_length);
