#include "engine_frames.h"

#include <cstring>

namespace {

// The engine's depth for a maximum value, or 0.
int depth_of(int maxval) {
  for (int bits : {8, 9, 10, 12, 14, 16})
    if (maxval == (1 << bits) - 1) return bits;
  return 0;
}

// True when the picture goes to the engine through planes of its own.
bool needs_planes(const Picture& picture) {
  return picture.channels == 2 || picture.channels == 4 ||
         (picture.channels == 3 && picture_wide(picture));
}

template <typename Sample>
void split(const Sample* in, int channels, int colours, size_t count, Sample* out) {
  for (int c = 0; c < colours; ++c) {
    Sample* plane = out + c * count;
    const Sample* s = in + c;
    for (size_t i = 0; i < count; ++i, s += channels) plane[i] = *s;
  }
}

template <typename Sample>
void join(const Sample* in, int channels, int colours, size_t count, Sample* out) {
  for (int c = 0; c < colours; ++c) {
    const Sample* plane = in + c * count;
    Sample* s = out + c;
    for (size_t i = 0; i < count; ++i, s += channels) *s = plane[i];
  }
}

}  // namespace

void bind_y4m(const Y4mHeader& header, Y4mFrame& frame, zolta_stream& stream,
              zolta_frame& planes) {
  stream = zolta_stream{};
  stream.family = header.family;
  stream.sample = ZOLTA_SAMPLE_INTEGER;
  stream.bits = header.bits;
  stream.width = header.width;
  stream.height = header.height;
  planes = zolta_frame{};
  const int sample = header.bits > 8 ? 2 : 1;
  for (int p = 0; p < 3 && p < header.planes; ++p) {
    planes.data[p] = frame.data.data() + header.plane_offset[p];
    planes.stride[p] = static_cast<ptrdiff_t>(header.plane_width[p]) * sample;
  }
}

bool bind_picture(Picture& picture, std::vector<uint8_t>& planar, zolta_stream& stream,
                  zolta_frame& planes, std::string& error) {
  const int bits = depth_of(picture.maxval);
  if (bits == 0) {
    error = "unsupported maximum value " + std::to_string(picture.maxval) +
            ": the filter takes 255, 511, 1023, 4095, 16383 or 65535";
    return false;
  }
  const int colours = picture.channels >= 3 ? 3 : 1;
  const size_t count = static_cast<size_t>(picture.width) * picture.height;
  const size_t sample = picture_wide(picture) ? 2 : 1;
  stream = zolta_stream{};
  stream.sample = ZOLTA_SAMPLE_INTEGER;
  stream.bits = bits;
  stream.width = picture.width;
  stream.height = picture.height;
  planes = zolta_frame{};
  if (!needs_planes(picture)) {
    stream.family = colours == 1 ? ZOLTA_FAMILY_GRAY : ZOLTA_FAMILY_RGB24;
    planes.data[0] = picture.samples.data();
    planes.stride[0] = static_cast<ptrdiff_t>(picture.width) * picture.channels * sample;
    return true;
  }
  stream.family = colours == 1 ? ZOLTA_FAMILY_GRAY : ZOLTA_FAMILY_RGB;
  planar.resize(count * colours * sample);
  if (sample == 2) {
    split(reinterpret_cast<const uint16_t*>(picture.samples.data()), picture.channels, colours,
          count, reinterpret_cast<uint16_t*>(planar.data()));
  } else {
    split(picture.samples.data(), picture.channels, colours, count, planar.data());
  }
  for (int c = 0; c < colours; ++c) {
    planes.data[c] = planar.data() + c * count * sample;
    planes.stride[c] = static_cast<ptrdiff_t>(picture.width) * sample;
  }
  return true;
}

void unbind_picture(Picture& picture, const std::vector<uint8_t>& planar,
                    const zolta_stream& stream) {
  if (!needs_planes(picture)) return;
  const int colours = stream.family == ZOLTA_FAMILY_GRAY ? 1 : 3;
  const size_t count = static_cast<size_t>(picture.width) * picture.height;
  if (picture_wide(picture)) {
    join(reinterpret_cast<const uint16_t*>(planar.data()), picture.channels, colours, count,
         reinterpret_cast<uint16_t*>(picture.samples.data()));
  } else {
    join(planar.data(), picture.channels, colours, count, picture.samples.data());
  }
}

bool same_stream(const zolta_stream& a, const zolta_stream& b) {
  return a.family == b.family && a.sample == b.sample && a.bits == b.bits &&
         a.width == b.width && a.height == b.height;
}
