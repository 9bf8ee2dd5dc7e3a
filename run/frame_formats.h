/* SPDX-License-Identifier: BSD-2-Clause */
// The three stream formats zolta-run reads and writes (YUV4MPEG2, PNG,
// PPM/PGM) behind one interface: a frame read, bound to the library's view
// of it, written back in the input's own format.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>

#include "byte_reader.h"
#include "engine_frames.h"
#include "picture.h"
#include "png_io.h"
#include "ppm_io.h"
#include "y4m_io.h"
#include "zolta.h"

struct StreamItem {
  Y4mFrame y4m;
  Picture picture;
  zolta_stream stream{};
  zolta_frame frame{};
};

// The memory a frame takes while in flight: its samples and the denoiser's
// working memory, three float planes of its height by its width and 256.
inline size_t frame_memory(size_t samples, int width, int height) {
  return samples + 3 * sizeof(float) * static_cast<size_t>(height) * (width + 256);
}

class FrameFormat {
 public:
  virtual ~FrameFormat() = default;
  // "frame" or "picture", for messages.
  virtual const char* unit() const = 0;
  virtual ReadResult read(ByteReader& input, StreamItem& item, std::string& error) = 0;
  // Points item.stream and item.frame at the item's samples.
  virtual bool bind(StreamItem& item, std::string& error) = 0;
  virtual void unbind(StreamItem& item) = 0;
  virtual bool write(std::FILE* out, const StreamItem& item, std::string& error) = 0;
  // What comes before the first frame in the output.
  virtual bool start(std::FILE*) { return true; }
  // False with a message when the stream's header describes frames the
  // library cannot take and no frame follows to be refused in its turn.
  virtual bool header_usable(ByteReader&, std::string&) { return true; }
  // The memory a frame read into the item takes while in flight.
  virtual size_t memory(const StreamItem& item) const {
    // A picture's colour samples may be copied out into planes of their own.
    return frame_memory(item.picture.samples.size(), item.picture.width, item.picture.height);
  }
  // Frames in an input of `bytes` bytes, after the first frame was read; -1
  // when the size does not tell.
  virtual long frames_in(long long, const StreamItem&) const { return -1; }
};

class Y4mFormat : public FrameFormat {
 public:
  explicit Y4mFormat(const Y4mHeader& header) : header_(header) {}
  const char* unit() const override { return "frame"; }
  ReadResult read(ByteReader& input, StreamItem& item, std::string& error) override {
    return read_y4m_frame(input, header_, item.y4m, error);
  }
  bool bind(StreamItem& item, std::string&) override {
    bind_y4m(header_, item.y4m, item.stream, item.frame);
    return true;
  }
  void unbind(StreamItem&) override {}
  bool write(std::FILE* out, const StreamItem& item, std::string& error) override {
    if (write_y4m_frame(out, header_, item.y4m)) return true;
    error = "cannot write the output";
    return false;
  }
  bool start(std::FILE* out) override { return write_y4m_header(out, header_); }
  bool header_usable(ByteReader& input, std::string& error) override {
    zolta_stream stream{};  // as bind_y4m describes the frames
    stream.family = header_.family;
    stream.sample = ZOLTA_SAMPLE_INTEGER;
    stream.bits = header_.bits;
    stream.width = header_.width;
    stream.height = header_.height;
    zolta_error e{};
    if (zolta_stream_check(&stream, &e) == ZOLTA_OK) return true;
    while (reader_peek(input) >= 0 && std::isspace(reader_peek(input))) reader_get(input);
    if (!reader_done(input)) return true;  // frame 1 fails with this message
    error = std::string(e.message) + " (stream header)";
    return false;
  }
  long frames_in(long long bytes, const StreamItem&) const override {
    return static_cast<long>((bytes - static_cast<long long>(y4m_header_bytes(header_))) /
                             static_cast<long long>(y4m_frame_file_bytes(header_)));
  }
  size_t memory(const StreamItem& item) const override {
    return frame_memory(item.y4m.data.size(), header_.width, header_.height);
  }
  const Y4mHeader& header() const { return header_; }

 private:
  Y4mHeader header_;
};

class PictureFormat : public FrameFormat {
 public:
  bool bind(StreamItem& item, std::string& error) override {
    return bind_picture(item.picture, item.stream, item.frame, error);
  }
  void unbind(StreamItem&) override {}
};

class PngFormat : public PictureFormat {
 public:
  const char* unit() const override { return "picture"; }
  ReadResult read(ByteReader& input, StreamItem& item, std::string& error) override {
    return read_png_frame(input, item.picture, error);
  }
  bool write(std::FILE* out, const StreamItem& item, std::string& error) override {
    return write_png(out, item.picture, error);
  }
};

class PpmFormat : public PictureFormat {
 public:
  const char* unit() const override { return "picture"; }
  ReadResult read(ByteReader& input, StreamItem& item, std::string& error) override {
    return read_ppm(input, item.picture, error);
  }
  bool write(std::FILE* out, const StreamItem& item, std::string& error) override {
    if (write_ppm(out, item.picture)) return true;
    error = "cannot write the output";
    return false;
  }
  long frames_in(long long bytes, const StreamItem& first) const override {
    return static_cast<long>(bytes / static_cast<long long>(ppm_file_bytes(first.picture)));
  }
};

// "frame 3" or "picture 3" for the frame of index 2.
std::string frame_label(const FrameFormat& format, long index);

// The format of the stream that starts in input; a YUV4MPEG2 header is read.
std::unique_ptr<FrameFormat> open_format(ByteReader& input, std::string& error);
