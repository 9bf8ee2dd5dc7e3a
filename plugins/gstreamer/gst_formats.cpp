// SPDX-License-Identifier: BSD-2-Clause
#include "gst_formats.h"

#include "formats.h"

bool zolta_stream_of(const GstVideoInfo& info, zolta_stream* stream) {
  const GstVideoFormatInfo* format = info.finfo;
  zolta_stream_default(stream, ZOLTA_API_VERSION);
  if (GST_VIDEO_FORMAT_INFO_IS_GRAY(format)) {
    stream->family = ZOLTA_FAMILY_GRAY;
  } else if (GST_VIDEO_FORMAT_INFO_IS_RGB(format)) {
    stream->family = ZOLTA_FAMILY_RGB;
  } else {
    stream->family = yuv_family_of(GST_VIDEO_FORMAT_INFO_W_SUB(format, 1),
                                   GST_VIDEO_FORMAT_INFO_H_SUB(format, 1));
    if (stream->family < 0) return false;
  }
  stream->sample = ZOLTA_SAMPLE_INTEGER;
  stream->bits = static_cast<int32_t>(GST_VIDEO_FORMAT_INFO_DEPTH(format, 0));
  stream->width = GST_VIDEO_INFO_WIDTH(&info);
  stream->height = GST_VIDEO_INFO_HEIGHT(&info);
  return true;
}

zolta_frame zolta_frame_of(GstVideoFrame* frame, int planes) {
  zolta_frame out{};
  for (int c = 0; c < planes; ++c) {
    out.data[c] = GST_VIDEO_FRAME_COMP_DATA(frame, c);
    out.stride[c] = GST_VIDEO_FRAME_COMP_STRIDE(frame, c);
    out.step[c] = GST_VIDEO_FRAME_COMP_PSTRIDE(frame, c);
  }
  return out;
}
