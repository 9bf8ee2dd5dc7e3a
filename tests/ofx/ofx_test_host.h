/* SPDX-License-Identifier: BSD-2-Clause */
// A small OpenFX host on the SDK's HostSupport library, as editors such as
// Natron are built on it: it finds bundles on OFX_PLUGIN_PATH, creates an
// effect in the filter context, holds real parameter values (keyframes
// too), hands out pictures of any depth and layout (bottom-up or top-down
// rows, padded rows, bounds away from the origin) at any time of a clip,
// runs the multithread suite on real threads, and keeps every message the
// effect sends. Faults a malformed host would have are switched on one by
// one. A test fixture: nothing of it ships.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

// One picture: packed rows, the top row first, `components` (3 or 4) samples
// of `bits` (8, 16, or 32 for float) per pixel.
struct TestPicture {
  int width = 0;
  int height = 0;
  int components = 4;
  int bits = 8;
  std::vector<uint8_t> bytes;

  size_t row_bytes() const { return static_cast<size_t>(width) * components * (bits / 8); }
};

// How the host lays a picture out in memory for the effect.
struct TestLayout {
  bool top_down = false;  // rows in memory from the top: negative row bytes
  int padding = 0;        // bytes after each row
  int x1 = 0, y1 = 0;     // the bounds' origin (pixel coordinates)
};

// What a malformed host gets wrong.
struct TestFaults {
  std::set<std::string> missing_suites;  // fetchSuite gives null for these
  bool window_as_double = false;         // the render window is a double property
  bool row_bytes_as_double = false;      // an image's row bytes are a double property
  std::string image_depth;               // a source image says this depth
  bool output_depth_differs = false;     // the output image says another depth
  bool null_data = false;                // a source image without pixels
  bool no_source_image = false;          // clipGetImage of the source fails
  bool no_neighbours = false;            // clipGetImage fails for other times
};

struct TestMessage {
  std::string type;
  std::string text;
};

class TestEffect;

// The host: one per test, with the faults it has.
class TestHost {
 public:
  explicit TestHost(const TestFaults& faults = TestFaults(), unsigned threads = 0);
  ~TestHost();

  // Scans the plugin path and creates the effect with that identifier in
  // the filter context, running the create-instance action and the clip
  // preferences. Null when the host cannot (messages say why).
  std::unique_ptr<TestEffect> create(const std::string& plugin_id);
  // The folder of the bundle the host found for the identifier, or "".
  std::string bundle_path(const std::string& plugin_id);

  const std::vector<TestMessage>& messages() const;
  // Threads the multithread suite ran at most at once, and how often.
  unsigned most_threads() const;
  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

class TestEffect {
 public:
  ~TestEffect();
  // The source clip: its frames (all of one format and size) and the time
  // of its first frame.
  void set_clip(std::vector<TestPicture> frames, double first = 0);
  void set_layout(const TestLayout& source, const TestLayout& output);
  // A parameter's value, or its value at one time (a keyframe).
  bool set_int(const std::string& name, int value);
  bool set_double(const std::string& name, double value);
  bool set_double_at(const std::string& name, double time, double value);
  bool set_string(const std::string& name, const std::string& value);
  bool set_bool(const std::string& name, bool value);
  std::vector<std::string> param_names() const;

  // The frames the effect asks for to render `time`: [first, last].
  int frames_needed(double time, double range[2]);
  // Every range the effect asks for of the source clip, as min, max pairs.
  std::vector<double> frames_needed_ranges(double time);
  // Renders one frame (bracketed by the sequence actions unless `in_pass`)
  // into a new output picture, the render window in pixel coordinates
  // relative to the bounds' origin; null window: the whole picture.
  int render(double time, TestPicture* output, const int* window = nullptr, double scale = 1.0,
             const char* field = "OfxFieldNone");
  // A pass over frames first..last in order, as an editor renders a clip.
  int render_pass(int first, int last, std::vector<TestPicture>* outputs);
  // Times the source clip was asked for, in order, and images not released.
  const std::vector<double>& fetched_times() const;
  int images_held() const;

  struct Impl;
  explicit TestEffect(Impl* impl);

 private:
  std::unique_ptr<Impl> impl_;
};
