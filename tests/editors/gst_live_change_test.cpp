// SPDX-License-Identifier: BSD-2-Clause
// The element in a playing pipeline of an application (appsrc ! zoltadenoise
// ! appsink): properties changed between frames are taken by the next frame,
// and a refused change is the element's error on the bus.
#include <gst/gst.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "host_run.h"

namespace {

constexpr int kWidth = 64, kHeight = 48;

zolta_stream i420() {
  zolta_stream stream{};
  stream.family = ZOLTA_FAMILY_YUV420;
  stream.bits = 8;
  stream.width = kWidth;
  stream.height = kHeight;
  return stream;
}

// Pushes one frame and pulls what comes out; empty when nothing does.
Bytes through(GstElement* source, GstElement* sink, const Bytes& frame, int index) {
  GstBuffer* buffer = gst_buffer_new_memdup(frame.data(), frame.size());
  GST_BUFFER_PTS(buffer) = static_cast<GstClockTime>(index) * GST_SECOND / 25;
  GstFlowReturn flow = GST_FLOW_OK;
  g_signal_emit_by_name(source, "push-buffer", buffer, &flow);
  gst_buffer_unref(buffer);
  GstSample* sample = nullptr;
  g_signal_emit_by_name(sink, "try-pull-sample", GstClockTime{5 * GST_SECOND}, &sample);
  if (!sample) return Bytes();
  GstMapInfo map;
  GstBuffer* out = gst_sample_get_buffer(sample);
  gst_buffer_map(out, &map, GST_MAP_READ);
  Bytes bytes(map.data, map.data + map.size);
  gst_buffer_unmap(out, &map);
  gst_sample_unref(sample);
  return bytes;
}

// The least latency the pipeline reports upstream of `sink` (-1 when the
// query is not answered).
GstClockTime least_latency(GstElement* sink) {
  GstPad* sink_pad = gst_element_get_static_pad(sink, "sink");
  GstQuery* latency = gst_query_new_latency();
  GstClockTime least = GST_CLOCK_TIME_NONE;
  if (gst_pad_peer_query(sink_pad, latency)) {
    gst_query_parse_latency(latency, nullptr, &least, nullptr);
  }
  gst_query_unref(latency);
  gst_object_unref(sink_pad);
  return least;
}

}  // namespace

TEST(GstElementPlaying, PropertiesChangeBetweenFrames) {
  TempDir dir;
  setenv("GST_PLUGIN_PATH", ZOLTA_GST_DIR, 1);
  setenv("GST_REGISTRY", dir.path("registry.bin").c_str(), 1);
  ASSERT_TRUE(gst_init_check(nullptr, nullptr, nullptr));
  GError* error = nullptr;
  GstElement* pipeline = gst_parse_launch(
      "appsrc name=source format=time caps=video/x-raw,format=I420,width=64,height=48,"
      "framerate=25/1 ! zoltadenoise name=filter ! appsink name=sink sync=false",
      &error);
  ASSERT_NE(pipeline, nullptr) << (error ? error->message : "");
  GstElement* source = gst_bin_get_by_name(GST_BIN(pipeline), "source");
  GstElement* filter = gst_bin_get_by_name(GST_BIN(pipeline), "filter");
  GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
  ASSERT_NE(gst_element_set_state(pipeline, GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);

  const zolta_stream stream = i420();
  const size_t size = planar_frame_size(stream);
  const Bytes frame = noisy_samples(size, 41);
  const char* config = "Config(49344, 16448, 8224, 57568, 16448, 8224, 57568, 16448, 8224)";
  // The default noise level, then a change of each kind between frames.
  EXPECT_TRUE(through(source, sink, frame, 0) ==
              reference_planar(frame, stream, settings_for_noise(10, ZOLTA_FAMILY_YUV420)));
  g_object_set(filter, "sigma", 4.0, nullptr);
  EXPECT_TRUE(through(source, sink, frame, 1) ==
              reference_planar(frame, stream, settings_for_noise(4, ZOLTA_FAMILY_YUV420)));
  g_object_set(filter, "config", config, "view", 2, nullptr);
  zolta_settings diff = settings_for_config(config);
  diff.view = ZOLTA_VIEW_DIFF;
  EXPECT_TRUE(through(source, sink, frame, 2) == reference_planar(frame, stream, diff));
  double sigma = 0;
  gchar* text = nullptr;
  g_object_get(filter, "sigma", &sigma, "config", &text, nullptr);
  EXPECT_EQ(sigma, 4.0);
  EXPECT_STREQ(text, config);
  g_free(text);

  // Both texts at once: the next frame stops the stream with the element's error.
  g_object_set(filter, "thresholds", "1,2", nullptr);
  EXPECT_TRUE(through(source, sink, frame, 3).empty());
  GstBus* bus = gst_element_get_bus(pipeline);
  GstMessage* message = gst_bus_timed_pop_filtered(bus, 5 * GST_SECOND, GST_MESSAGE_ERROR);
  ASSERT_NE(message, nullptr);
  EXPECT_EQ(GST_MESSAGE_SRC(message), GST_OBJECT(filter));
  GError* refusal = nullptr;
  gst_message_parse_error(message, &refusal, nullptr);
  EXPECT_STREQ(refusal->message, "give the settings as config or as thresholds, not both");
  g_error_free(refusal);
  gst_message_unref(message);
  gst_object_unref(bus);

  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(source);
  gst_object_unref(filter);
  gst_object_unref(sink);
  gst_object_unref(pipeline);
}

TEST(GstElementPlaying, TemporalLatencyAndASeekStartAWindowAtTheNewPosition) {
  // filesrc ! rawvideoparse ! zoltadenoise temporal=1 ! appsink: the
  // latency query holds one frame more than without the element; a flushing
  // seek to frame 3 drops the frames held and the stream from there is
  // denoised as a clip of its own, mirrored at frame 3 and at the end.
  TempDir dir;
  setenv("GST_PLUGIN_PATH", ZOLTA_GST_DIR, 1);
  setenv("GST_REGISTRY", dir.path("registry.bin").c_str(), 1);
  ASSERT_TRUE(gst_init_check(nullptr, nullptr, nullptr));
  const zolta_stream stream = i420();
  const size_t size = planar_frame_size(stream);
  const int frames = 7, from = 3;
  const Bytes clip = noisy_samples(size * frames, 71);
  write_file(dir.path("in.raw"), clip);
  const std::string description =
      "filesrc location=\"" + dir.path("in.raw") +
      "\" ! rawvideoparse format=i420 width=64 height=48 framerate=25/1 ! zoltadenoise "
      "name=filter temporal=1 ! appsink name=sink sync=false";
  GError* error = nullptr;
  GstElement* pipeline = gst_parse_launch(description.c_str(), &error);
  ASSERT_NE(pipeline, nullptr) << (error ? error->message : "");
  GstElement* filter = gst_bin_get_by_name(GST_BIN(pipeline), "filter");
  GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
  ASSERT_NE(gst_element_set_state(pipeline, GST_STATE_PAUSED), GST_STATE_CHANGE_FAILURE);
  ASSERT_EQ(gst_element_get_state(pipeline, nullptr, nullptr, 10 * GST_SECOND),
            GST_STATE_CHANGE_SUCCESS);

  EXPECT_EQ(least_latency(sink), GST_SECOND / 25);  // one frame at 25 frames a second

  // The buffers that leave the element after the seek's flush.
  std::vector<GstClockTime> seen;
  GstPad* filter_pad = gst_element_get_static_pad(filter, "src");
  const gulong probe = gst_pad_add_probe(
      filter_pad,
      static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_FLUSH),
      [](GstPad*, GstPadProbeInfo* info, gpointer list) {
        auto& times = *static_cast<std::vector<GstClockTime>*>(list);
        if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER) {
          times.push_back(GST_BUFFER_PTS(GST_PAD_PROBE_INFO_BUFFER(info)));
        } else if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_FLUSH_STOP) {
          times.clear();
        }
        return GST_PAD_PROBE_OK;
      },
      &seen, nullptr);
  ASSERT_TRUE(gst_element_seek_simple(
      pipeline, GST_FORMAT_TIME,
      static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
      from * GST_SECOND / 25 + GST_MSECOND));
  ASSERT_NE(gst_element_set_state(pipeline, GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
  Bytes got;
  for (;;) {
    GstSample* sample = nullptr;
    g_signal_emit_by_name(sink, "try-pull-sample", GstClockTime{10 * GST_SECOND}, &sample);
    if (!sample) break;
    GstMapInfo map;
    GstBuffer* out = gst_sample_get_buffer(sample);
    gst_buffer_map(out, &map, GST_MAP_READ);
    got.insert(got.end(), map.data, map.data + map.size);
    gst_buffer_unmap(out, &map);
    gst_sample_unref(sample);
  }
  gst_pad_remove_probe(filter_pad, probe);
  gst_object_unref(filter_pad);
  // The parser starts a little before the position (the sink drops what
  // lies before it): from there every frame goes out once, in order, and
  // none held from before the seek.
  ASSERT_FALSE(seen.empty());
  const int first = static_cast<int>(seen.front() * 25 / GST_SECOND);
  EXPECT_LE(first, from);
  for (size_t k = 0; k < seen.size(); ++k) {
    EXPECT_EQ(seen[k], (first + static_cast<GstClockTime>(k)) * GST_SECOND / 25) << k;
  }
  EXPECT_EQ(first + static_cast<int>(seen.size()), frames);
  // Those frames are a clip of their own, mirrored at its first frame.
  const Bytes delivered(clip.begin() + first * size, clip.end());
  const Bytes want =
      reference_planar_windows(delivered, stream, settings_for_noise(10, ZOLTA_FAMILY_YUV420), 1);
  ASSERT_EQ(got.size(), (frames - from) * size);
  EXPECT_TRUE(std::equal(got.begin(), got.end(), want.end() - got.size()));
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(filter);
  gst_object_unref(sink);
  gst_object_unref(pipeline);
}

TEST(GstElementPlaying, SigmaAutoAddsTheFramesItHoldsToTheLatency) {
  // sigma-auto holds the first 8 frames: 7 frame durations more latency,
  // besides the temporal window's R.
  TempDir dir;
  setenv("GST_PLUGIN_PATH", ZOLTA_GST_DIR, 1);
  setenv("GST_REGISTRY", dir.path("registry.bin").c_str(), 1);
  ASSERT_TRUE(gst_init_check(nullptr, nullptr, nullptr));
  write_file(dir.path("in.raw"), noisy_samples(planar_frame_size(i420()) * 3, 72));
  for (int radius : {0, 2}) {
    SCOPED_TRACE("temporal " + std::to_string(radius));
    const std::string description =
        "filesrc location=\"" + dir.path("in.raw") +
        "\" ! rawvideoparse format=i420 width=64 height=48 framerate=25/1 ! zoltadenoise "
        "sigma-auto=true temporal=" +
        std::to_string(radius) + " ! appsink name=sink sync=false";
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(description.c_str(), &error);
    ASSERT_NE(pipeline, nullptr) << (error ? error->message : "");
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
    ASSERT_NE(gst_element_set_state(pipeline, GST_STATE_PAUSED), GST_STATE_CHANGE_FAILURE);
    ASSERT_EQ(gst_element_get_state(pipeline, nullptr, nullptr, 10 * GST_SECOND),
              GST_STATE_CHANGE_SUCCESS);
    EXPECT_EQ(least_latency(sink), (7 + radius) * GST_SECOND / 25);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(sink);
    gst_object_unref(pipeline);
  }
}
