#include "denoise_stream.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "engine_frames.h"
#include "noise.h"
#include "pipeline.h"
#include "png_io.h"
#include "ppm_io.h"
#include "settings.h"
#include "y4m_io.h"

#ifdef __linux__
#include <sched.h>
#endif
#include <thread>

namespace {

// ---- settings ------------------------------------------------------------------

bool unpack(const ConfigValues& values, zolta_settings& settings, std::string& error) {
  zolta_error e{};
  if (zolta_config_unpack(values.data(), ZOLTA_UNPACK_STRICT, &settings, &e) != ZOLTA_OK) {
    error = e.message;
    return false;
  }
  return true;
}

void apply_views(const RunOptions& options, zolta_settings& settings) {
  if (options.mode >= 0) settings.view = options.mode;
  if (options.plane >= 0) settings.plane = options.plane;
  if (options.show_plane) settings.show_plane = 1;
  if (options.off) settings.enabled = 0;
}

// ---- one frame through the engine ----------------------------------------------------

// One denoiser for the stream, shared by every worker as the plugins share
// theirs. Made for the first frame, and made again when the stream changes
// (pictures of another size); a worker keeps the denoiser its frame needs
// until that frame is done. It holds a working area for each frame that may
// be worked on at once: one per worker, but no more than the memory budget
// lets be in flight (a worker that finds none free waits for one).
class StreamDenoiser {
 public:
  StreamDenoiser(int workers, size_t memory_budget)
      : workers_(std::min(workers, 1024)), memory_budget_(memory_budget) {}

  // frame_bytes: what the frame takes while in flight (frame_memory).
  bool process(const zolta_settings& settings, const zolta_stream& stream, const zolta_frame& frame,
               size_t frame_bytes, std::string& error) {
    const zolta_frame* window[1] = {&frame};
    return process_window(settings, 0, stream, window, frame, frame_bytes, error);
  }

  // Frame n from frames n - radius ... n + radius (all of `stream`).
  bool process_window(const zolta_settings& settings, int radius, const zolta_stream& stream,
                      const zolta_frame* const* window, const zolta_frame& out, size_t frame_bytes,
                      std::string& error) {
    std::shared_ptr<zolta_denoiser> denoiser;
    zolta_error e{};
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!current_ || !same_stream(stream, stream_)) {
        zolta_denoiser_config config{};
        config.stream = stream;
        config.settings = settings;
        config.threads = working_areas(frame_bytes);
        config.temporal_radius = radius;
        zolta_denoiser* made = nullptr;
        if (zolta_denoiser_create(&config, &made, &e) != ZOLTA_OK) {
          error = e.message;
          return false;
        }
        current_.reset(made, zolta_denoiser_destroy);
        stream_ = stream;
      }
      denoiser = current_;
    }
    if (zolta_denoiser_process_window(denoiser.get(), window, 2 * radius + 1, &out, &e) !=
        ZOLTA_OK) {
      error = e.message;
      return false;
    }
    return true;
  }

 private:
  int working_areas(size_t frame_bytes) const {
    if (memory_budget_ == 0 || frame_bytes == 0) return workers_;
    const size_t fit = memory_budget_ / frame_bytes;
    return fit < 1 ? 1 : fit < static_cast<size_t>(workers_) ? static_cast<int>(fit) : workers_;
  }

  const int workers_;
  const size_t memory_budget_;
  std::mutex mutex_;
  std::shared_ptr<zolta_denoiser> current_;
  zolta_stream stream_{};
};

// ---- the three formats ------------------------------------------------------------------

struct StreamItem {
  Y4mFrame y4m;
  Picture picture;
  zolta_stream stream{};
  zolta_frame frame{};
};

// The memory a frame takes while in flight: its samples and the denoiser's
// working memory, three float
// planes of its height by its width and 256.
size_t frame_memory(size_t samples, int width, int height) {
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

std::string frame_label(const FrameFormat& format, long index) {
  return std::string(format.unit()) + " " + std::to_string(index + 1);
}

// The format of the stream that starts in input; a YUV4MPEG2 header is read.
std::unique_ptr<FrameFormat> open_format(ByteReader& input, std::string& error) {
  if (starts_y4m(input)) {
    Y4mHeader header;
    if (!read_y4m_header(input, header, error)) return nullptr;
    return std::make_unique<Y4mFormat>(header);
  }
  if (starts_png(input)) return std::make_unique<PngFormat>();
  if (starts_ppm(input)) return std::make_unique<PpmFormat>();
  error = input.failed         ? "cannot read the input"
          : reader_done(input) ? "the input is empty"
                               : "unrecognised input: expected YUV4MPEG2, PNG or binary "
                                 "PPM/PGM (P6/P5)";
  return nullptr;
}

// ---- the noise --------------------------------------------------------------------------

struct NoiseEstimate {
  int frames = 0;
  int family = ZOLTA_FAMILY_GRAY;
  float sigma[3] = {0, 0, 0};  // median over the frames, per plane
};

// Reads up to `count` frames into `frames`, bound to the engine's view of them.
bool read_ahead(FrameFormat& format, ByteReader& input, int count, std::deque<StreamItem>& frames,
                std::string& error) {
  for (int n = 0; n < count; ++n) {
    StreamItem item;
    const ReadResult got = format.read(input, item, error);
    if (got == ReadResult::End) break;
    if (got == ReadResult::Error || !format.bind(item, error)) {
      error += " (" + frame_label(format, n) + ")";
      return false;
    }
    frames.push_back(std::move(item));
  }
  return true;
}

// Measures the frames read ahead: the median of each plane's estimates.
bool measure_noise(const FrameFormat& format, std::deque<StreamItem>& frames,
                   NoiseEstimate& estimate, std::string& error) {
  std::vector<float> per_plane[3];
  for (size_t n = 0; n < frames.size(); ++n) {
    zolta_error e{};
    float sigma[3] = {0, 0, 0};
    if (zolta_noise_estimate(&frames[n].stream, &frames[n].frame, sigma, &e) != ZOLTA_OK) {
      error = std::string(e.message) + " (" + frame_label(format, static_cast<long>(n)) + ")";
      return false;
    }
    for (int p = 0; p < 3; ++p) per_plane[p].push_back(sigma[p]);
  }
  estimate.frames = static_cast<int>(frames.size());
  if (!frames.empty()) estimate.family = frames.front().stream.family;
  for (int p = 0; p < 3 && estimate.frames > 0; ++p) {
    std::vector<float>& v = per_plane[p];
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    estimate.sigma[p] = v[v.size() / 2];
  }
  return true;
}

// The settings for measured noise; levels the mapping has no entry for (no
// noise at all) are taken at its lowest level.
bool settings_for_estimate(const NoiseEstimate& estimate, zolta_settings& settings,
                           std::string& error) {
  float sigma[3];
  for (int p = 0; p < 3; ++p) sigma[p] = std::min(std::max(estimate.sigma[p], 0.1f), 50.0f);
  zolta_settings_default(&settings, ZOLTA_API_VERSION);
  zolta_error e{};
  if (zolta_settings_for_sigma(sigma, estimate.family, &settings, &e) != ZOLTA_OK) {
    error = e.message;
    return false;
  }
  return true;
}

// Index i mirrored into first..last (repeatedly, for runs shorter than the
// window): the frame a window takes beyond the ends of its run of frames.
long mirror_into(long i, long first, long last) {
  if (last <= first) return first;
  const long period = 2 * (last - first);
  long k = (i - first) % period;
  if (k < 0) k += period;
  return first + (k > last - first ? period - k : k);
}

// The frames read for the windows of the frames being worked on: input i in
// inputs[i % size]. An input is overwritten only when no frame in flight
// can reach it (size: the pipeline's slots and 2R more).
struct InputRing {
  struct Input {
    StreamItem item;
    bool ok = false;
    std::string message;  // why the frame could not be read or bound
  };
  std::vector<Input> inputs;
  std::atomic<long> total{-1};  // frames in the input, once it ended
  Input& at(long i) { return inputs[static_cast<size_t>(i) % inputs.size()]; }
};

long long regular_file_size(ByteReader& input) {
  struct stat st;
  if (!input.file || fstat(fileno(input.file), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return static_cast<long long>(st.st_size);
}

// The stream through windows of 2R + 1 frames: the reader reads frame n + R
// for frame n, a worker makes frame n from frames n - R ... n + R into its
// own slot (the inputs stay as they came), the writer writes in order. A
// window is mirrored at the ends of the stream and of every run of frames of
// one stream (pictures of one size and format), and at a frame that could not
// be read, which fails only itself.
bool denoise_windows(const RunOptions& options, const zolta_settings& settings, FrameFormat& format,
                     ByteReader& input, std::deque<StreamItem>& ahead, long long input_bytes,
                     int threads, std::vector<StreamItem>& items, StreamDenoiser& denoiser,
                     std::FILE* out, Progress& progress, std::string& error) {
  const int radius = options.temporal;
  InputRing ring;
  ring.inputs.resize(items.size() + 2 * static_cast<size_t>(radius));
  // Reads input i into the ring, unless the input has ended.
  auto read_input = [&](long i) {
    if (ring.total.load() >= 0) return;
    InputRing::Input& in = ring.at(i);
    std::string message;
    ReadResult got = ReadResult::Frame;
    if (!ahead.empty()) {
      std::swap(in.item, ahead.front());
      ahead.pop_front();
    } else {
      got = format.read(input, in.item, message);
    }
    if (got == ReadResult::End) {
      ring.total = i;
      return;
    }
    in.ok = got == ReadResult::Frame && format.bind(in.item, message);
    if (in.ok) {
      zolta_error e{};
      if (zolta_stream_check(&in.item.stream, &e) != ZOLTA_OK) {
        message = e.message;
        in.ok = false;
      }
    }
    if (!in.ok) {
      in.message = message + " (" + frame_label(format, i) + ")";
      ring.total = i + 1;  // nothing after a frame that could not be read
    }
    if (got == ReadResult::Frame && i == 0 && input_bytes >= 0) {
      set_progress_total(progress, format.frames_in(input_bytes, in.item));
    }
  };
  PipelineStages stages;
  stages.threads = threads;
  stages.slots = static_cast<int>(items.size());
  stages.read = [&](int, long n, std::string&) {
    if (n == 0) {
      for (long i = 0; i < radius; ++i) read_input(i);
    }
    read_input(n + radius);
    const long total = ring.total.load();
    return total >= 0 && n >= total ? ReadResult::End : ReadResult::Frame;
  };
  stages.work = [&](int slot, int, long n, std::string& message) {
    InputRing::Input& centre = ring.at(n);
    if (!centre.ok) {
      message = centre.message;
      return false;
    }
    // The run of frames of the centre's stream within the window.
    const long total = ring.total.load();
    auto usable = [&](long i) {
      if (i < 0 || (total >= 0 && i >= total)) return false;
      const InputRing::Input& in = ring.at(i);
      return in.ok && same_stream(in.item.stream, centre.item.stream);
    };
    long first = n, last = n;
    while (first > n - radius && usable(first - 1)) --first;
    while (last < n + radius && usable(last + 1)) ++last;
    const zolta_frame* window[5];
    for (long k = -radius; k <= radius; ++k) {
      window[k + radius] = &ring.at(mirror_into(n + k, first, last)).item.frame;
    }
    StreamItem& result = items[slot];
    result.y4m = centre.item.y4m;
    result.picture = centre.item.picture;
    const bool ok = format.bind(result, message) &&
                    denoiser.process_window(settings, radius, centre.item.stream, window,
                                            result.frame, 0, message);
    if (!ok) {
      message += " (" + frame_label(format, n) + ")";
      return false;
    }
    return true;
  };
  stages.write = [&](int slot, long, std::string& message) {
    if (!format.write(out, items[slot], message)) return false;
    count_frame(progress);
    return true;
  };
  return run_pipeline(stages, error);
}

}  // namespace

bool parse_thresholds(const std::string& text, zolta_settings& settings, std::string& error) {
  int32_t values[18];
  const char* p = text.c_str();
  int count = 0;
  bool ok = true;
  while (ok) {
    while (*p == ' ' || *p == '\t') ++p;
    if (*p == '\0') break;
    if (count > 0) {
      if (*p == ',') ++p;
      while (*p == ' ' || *p == '\t') ++p;
    }
    if (!std::isdigit(static_cast<unsigned char>(*p)) || count == 18) {
      ok = false;
      break;
    }
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(p, &end, 10);
    ok = errno != ERANGE && v <= ZOLTA_THRESHOLD_MAX;
    values[count++] = static_cast<int32_t>(v);
    p = end;
  }
  if (!ok || count != 18) {
    error = "bad --thresholds \"" + text +
            "\": expected eighteen integers 0..4095 (Y, Cb, Cr; along rows, then along "
            "columns; levels 0, 1, 2)";
    return false;
  }
  std::copy(values, values + 18, &settings.thresholds[0][0][0]);
  return true;
}

std::string thresholds_text(const zolta_settings& settings) {
  std::string text;
  const int32_t* t = &settings.thresholds[0][0][0];
  for (int i = 0; i < 18; ++i) text += (i ? "," : "") + std::to_string(t[i]);
  return text;
}

std::string config_text(const zolta_settings& settings) {
  const int32_t* t = &settings.thresholds[0][0][0];
  for (int i = 0; i < 18; ++i)
    if (t[i] < 0 || t[i] > 255) return std::string();
  int32_t packed[9];
  zolta_config_pack(&settings, packed);
  char text[160];
  zolta_config_format(packed, text, sizeof text);
  return text;
}

bool settings_from_options(const RunOptions& options, zolta_settings& settings,
                           std::string& error) {
  zolta_settings_default(&settings, ZOLTA_API_VERSION);
  if (!options.thresholds_text.empty()) {
    if (!parse_thresholds(options.thresholds_text, settings, error)) return false;
  } else if (options.sigma_given && !options.sigma_auto) {
    // Settled by denoise_stream, which knows the stream's family.
  } else if (!options.config_text.empty() || !options.vcf_path.empty()) {
    ConfigValues values{};
    const bool read = !options.config_text.empty()
                          ? parse_config_call(options.config_text, values, error)
                          : read_settings_file(options.vcf_path, values, error);
    if (!read || !unpack(values, settings, error)) return false;
  }
  apply_views(options, settings);
  return true;
}

int available_cores() {
#ifdef __linux__
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    const int n = CPU_COUNT(&set);
    if (n > 0) return n;
  }
#endif
  const unsigned n = std::thread::hardware_concurrency();
  return n > 0 ? static_cast<int>(n) : 1;
}

bool denoise_stream(const RunOptions& options, const zolta_settings& chosen, ByteReader& input,
                    std::FILE* out, Progress& progress, std::string& error) {
  zolta_settings settings = chosen;
  std::unique_ptr<FrameFormat> format = open_format(input, error);
  if (!format) return false;

  // Settings for a noise level: given, or measured on the first frames. The
  // frames read ahead go first into the pipeline.
  std::deque<StreamItem> ahead;
  if (options.temporal > 0 && !options.sigma_given) {
    // The temporal thresholds follow the noise as measured.
    NoiseEstimate estimate;
    zolta_settings measured;
    if (!read_ahead(*format, input, kEstimateFrames, ahead, error) ||
        !measure_noise(*format, ahead, estimate, error))
      return false;
    if (estimate.frames > 0) {
      if (!settings_for_estimate(estimate, measured, error)) return false;
      std::copy(std::begin(measured.temporal_thresholds), std::end(measured.temporal_thresholds),
                std::begin(settings.temporal_thresholds));
      std::copy(std::begin(measured.temporal_spatial_share),
                std::end(measured.temporal_spatial_share),
                std::begin(settings.temporal_spatial_share));
      std::copy(std::begin(measured.temporal_restore), std::end(measured.temporal_restore),
                std::begin(settings.temporal_restore));
    }
  }
  if (options.sigma_given) {
    NoiseEstimate estimate;
    if (!read_ahead(*format, input, options.sigma_auto ? kEstimateFrames : 1, ahead, error))
      return false;
    if (options.sigma_auto) {
      if (!measure_noise(*format, ahead, estimate, error)) return false;
    } else {
      estimate.frames = static_cast<int>(ahead.size());
      if (!ahead.empty()) estimate.family = ahead.front().stream.family;
      // The given noise is in the input's samples; RGB is denoised as Y, Cb, Cr.
      const float given = static_cast<float>(options.sigma);
      const float channels[3] = {given, given, given};
      zolta_noise_to_planes(channels, estimate.family, estimate.sigma, nullptr);
    }
    if (estimate.frames > 0) {
      if (!settings_for_estimate(estimate, settings, error)) return false;
      apply_views(options, settings);
    }
  }
  if (ahead.empty() && !format->header_usable(input, error)) return false;
  if (!format->start(out)) {
    error = "cannot write the output";
    return false;
  }

  const int threads = options.threads > 0 ? options.threads : available_cores();
  const long long input_bytes = regular_file_size(input);
  std::vector<StreamItem> items(pipeline_slots(threads));
  StreamDenoiser denoiser(threads, static_cast<size_t>(options.memory_mib) << 20);
  if (options.temporal > 0) {
    return denoise_windows(options, settings, *format, input, ahead, input_bytes, threads, items,
                           denoiser, out, progress, error);
  }

  PipelineStages stages;
  stages.threads = threads;
  stages.slots = static_cast<int>(items.size());
  stages.memory_budget = static_cast<size_t>(options.memory_mib) << 20;
  stages.frame_bytes = [&](int slot) { return format->memory(items[slot]); };
  stages.read = [&](int slot, long index, std::string& message) {
    StreamItem& item = items[slot];
    ReadResult got = ReadResult::Frame;
    if (!ahead.empty()) {
      std::swap(item, ahead.front());
      ahead.pop_front();
    } else {
      got = format->read(input, item, message);
    }
    if (got == ReadResult::Error) message += " (" + frame_label(*format, index) + ")";
    if (got == ReadResult::Frame && index == 0 && input_bytes >= 0) {
      set_progress_total(progress, format->frames_in(input_bytes, item));
    }
    return got;
  };
  stages.work = [&](int slot, int, long index, std::string& message) {
    StreamItem& item = items[slot];
    zolta_error e{};
    const bool ok =
        format->bind(item, message) &&
        (zolta_stream_check(&item.stream, &e) == ZOLTA_OK || (message = e.message, false)) &&
        denoiser.process(settings, item.stream, item.frame, format->memory(item), message);
    if (!ok) {
      message += " (" + frame_label(*format, index) + ")";
      return false;
    }
    format->unbind(item);
    return true;
  };
  stages.write = [&](int slot, long, std::string& message) {
    if (!format->write(out, items[slot], message)) return false;
    count_frame(progress);
    return true;
  };
  return run_pipeline(stages, error);
}

bool estimate_stream(ByteReader& input, std::FILE* report, std::string& error) {
  std::unique_ptr<FrameFormat> format = open_format(input, error);
  if (!format) return false;
  std::deque<StreamItem> frames;
  NoiseEstimate estimate;
  if (!read_ahead(*format, input, kEstimateFrames, frames, error) ||
      !measure_noise(*format, frames, estimate, error))
    return false;
  if (estimate.frames == 0) {
    error = "the input holds no frame to measure";
    return false;
  }
  zolta_settings settings;
  if (!settings_for_estimate(estimate, settings, error)) return false;
  const char* names[3] = {"Y", "Cb", "Cr"};  // RGB too: the planes it is denoised in
  const int planes = estimate.family == ZOLTA_FAMILY_GRAY ? 1 : 3;
  std::fprintf(report,
               "noise (standard deviation on the 8-bit scale, median of %d %s%s):", estimate.frames,
               format->unit(), estimate.frames == 1 ? "" : "s");
  for (int p = 0; p < planes; ++p) std::fprintf(report, " %s %.2f", names[p], estimate.sigma[p]);
  std::fprintf(report, "\nsettings: --thresholds %s\n", thresholds_text(settings).c_str());
  const std::string config = config_text(settings);
  if (!config.empty()) std::fprintf(report, "          --config \"%s\"\n", config.c_str());
  if (std::fflush(report) != 0 || std::ferror(report)) {
    error = "cannot write the report";
    return false;
  }
  return true;
}

bool denoise_picture(const zolta_settings& settings, Picture& picture, std::string& error) {
  StreamItem item;
  std::swap(item.picture, picture);
  PngFormat format;
  StreamDenoiser denoiser(1, 0);
  const bool ok =
      format.bind(item, error) && denoiser.process(settings, item.stream, item.frame, 0, error);
  if (ok) format.unbind(item);
  std::swap(item.picture, picture);
  return ok;
}
