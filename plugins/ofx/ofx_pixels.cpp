// SPDX-License-Identifier: BSD-2-Clause
#include "ofx_pixels.h"

#include <cstring>

#include "ofx_host.h"

bool ofx_pixel_format(const char* depth, const char* components, OfxImageView* view) {
  if (!depth || !components) return false;
  if (std::strcmp(depth, kOfxBitDepthByte) == 0) {
    view->sample_bytes = 1;
    view->bits = 8;
  } else if (std::strcmp(depth, kOfxBitDepthShort) == 0) {
    view->sample_bytes = 2;
    view->bits = 16;
  } else if (std::strcmp(depth, kOfxBitDepthFloat) == 0) {
    view->sample_bytes = 4;
    view->bits = 32;
  } else {
    return false;
  }
  if (std::strcmp(components, kOfxImageComponentRGBA) == 0)
    view->components = 4;
  else if (std::strcmp(components, kOfxImageComponentRGB) == 0)
    view->components = 3;
  else
    return false;
  return true;
}

bool ofx_image_view(const OfxPropertySuiteV1& property, OfxPropertySetHandle image,
                    const char* which, OfxImageView* view, std::string* message) {
  const std::string name = std::string("the host's ") + which + " image";
  OfxImageView v;
  char* depth = nullptr;
  char* components = nullptr;
  void* data = nullptr;
  int bounds[4] = {0, 0, 0, 0};
  int row_bytes = 0;
  if (property.propGetString(image, kOfxImageEffectPropPixelDepth, 0, &depth) != kOfxStatOK ||
      property.propGetString(image, kOfxImageEffectPropComponents, 0, &components) != kOfxStatOK) {
    *message = name + " has no readable depth or components";
    return false;
  }
  if (!ofx_pixel_format(depth, components, &v)) {
    *message = name + " is " + (depth ? depth : "?") + " " + (components ? components : "?") +
               ": the effect takes RGBA or RGB of 8 or 16 bits or float";
    return false;
  }
  if (property.propGetPointer(image, kOfxImagePropData, 0, &data) != kOfxStatOK ||
      property.propGetIntN(image, kOfxImagePropBounds, 4, bounds) != kOfxStatOK ||
      property.propGetInt(image, kOfxImagePropRowBytes, 0, &row_bytes) != kOfxStatOK) {
    *message = name + " has no readable data, bounds or row bytes";
    return false;
  }
  v.data = static_cast<unsigned char*>(data);
  v.bounds = {bounds[0], bounds[1], bounds[2], bounds[3]};
  v.row_bytes = row_bytes;
  const long long width = static_cast<long long>(bounds[2]) - bounds[0];
  const long long height = static_cast<long long>(bounds[3]) - bounds[1];
  const long long row = width * ofx_pixel_bytes(v);
  if (!data || width <= 0 || height <= 0 || width > (1 << 20) || height > (1 << 20) ||
      (row_bytes < 0 ? -static_cast<long long>(row_bytes) : row_bytes) < row) {
    *message = name + " has no pixels, or rows shorter than its bounds";
    return false;
  }
  *view = v;
  return true;
}

bool ofx_rect_inside(const OfxRectI& inner, const OfxRectI& outer) {
  return inner.x1 >= outer.x1 && inner.y1 >= outer.y1 && inner.x2 <= outer.x2 &&
         inner.y2 <= outer.y2;
}

OfxRectI ofx_rect_intersection(const OfxRectI& a, const OfxRectI& b) {
  OfxRectI r = {a.x1 > b.x1 ? a.x1 : b.x1, a.y1 > b.y1 ? a.y1 : b.y1, a.x2 < b.x2 ? a.x2 : b.x2,
                a.y2 < b.y2 ? a.y2 : b.y2};
  if (r.x2 < r.x1) r.x2 = r.x1;
  if (r.y2 < r.y1) r.y2 = r.y1;
  return r;
}

namespace {

unsigned char* pixel_at(const OfxImageView& v, int x, int y) {
  return v.data + static_cast<ptrdiff_t>(y - v.bounds.y1) * v.row_bytes +
         static_cast<ptrdiff_t>(x - v.bounds.x1) * ofx_pixel_bytes(v);
}

enum class CopyKind { kPixels, kAlpha, kClear };

struct CopyJob {
  const OfxImageView* from;
  const OfxImageView* to;
  OfxRectI area;
  CopyKind kind;
};

void copy_rows(int first, int end, void* arg) {
  const CopyJob& job = *static_cast<const CopyJob*>(arg);
  const OfxImageView& to = *job.to;
  const ptrdiff_t pixel = ofx_pixel_bytes(to);
  const size_t width = static_cast<size_t>(ofx_width(job.area));
  for (int y = job.area.y1 + first; y < job.area.y1 + end; ++y) {
    unsigned char* out = pixel_at(to, job.area.x1, y);
    if (job.kind == CopyKind::kClear) {
      std::memset(out, 0, width * static_cast<size_t>(pixel));
      continue;
    }
    const unsigned char* in = pixel_at(*job.from, job.area.x1, y);
    if (job.kind == CopyKind::kPixels) {
      std::memcpy(out, in, width * static_cast<size_t>(pixel));
      continue;
    }
    const ptrdiff_t alpha = 3 * static_cast<ptrdiff_t>(to.sample_bytes);
    switch (to.sample_bytes) {
      case 1:
        for (size_t x = 0; x < width; ++x) out[x * 4 + 3] = in[x * 4 + 3];
        break;
      default:
        for (size_t x = 0; x < width; ++x) {
          const ptrdiff_t at = static_cast<ptrdiff_t>(x) * pixel + alpha;
          std::memcpy(out + at, in + at, static_cast<size_t>(to.sample_bytes));
        }
        break;
    }
  }
}

void run(const OfxImageView* from, const OfxImageView& to, const OfxRectI& area, CopyKind kind) {
  if (ofx_width(area) <= 0 || ofx_height(area) <= 0) return;
  CopyJob job{from, &to, area, kind};
  ofx_for_rows(ofx_height(area), copy_rows, &job);
}

}  // namespace

zolta_stream ofx_stream_of(const OfxImageView& view) {
  zolta_stream stream{};
  zolta_stream_default(&stream, ZOLTA_API_VERSION);
  stream.family = ZOLTA_FAMILY_RGB;
  stream.sample = view.bits == 32 ? ZOLTA_SAMPLE_FLOAT : ZOLTA_SAMPLE_INTEGER;
  stream.bits = view.bits;
  stream.width = ofx_width(view.bounds);
  stream.height = ofx_height(view.bounds);
  return stream;
}

zolta_frame ofx_frame_of(const OfxImageView& view, const OfxRectI& area) {
  zolta_frame frame{};
  zolta_frame_default(&frame, ZOLTA_API_VERSION);
  unsigned char* top = pixel_at(view, area.x1, area.y2 - 1);
  for (int p = 0; p < 3; ++p) {
    frame.data[p] = top + p * view.sample_bytes;
    frame.stride[p] = -view.row_bytes;
    frame.step[p] = ofx_pixel_bytes(view);
  }
  return frame;
}

void ofx_copy_pixels(const OfxImageView& from, const OfxImageView& to, const OfxRectI& area) {
  run(&from, to, area, CopyKind::kPixels);
}

void ofx_copy_alpha(const OfxImageView& from, const OfxImageView& to, const OfxRectI& area) {
  if (to.components == 4) run(&from, to, area, CopyKind::kAlpha);
}

void ofx_clear(const OfxImageView& to, const OfxRectI& area) {
  run(nullptr, to, area, CopyKind::kClear);
}
