// SPDX-License-Identifier: BSD-2-Clause
#include "engine.h"

#include <cstring>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "dsp.h"
#include "errors.h"
#include "packed_frames.h"

namespace zolta {

namespace {

// Every plane: 128 floats in front of its first row and 256 behind every row
// (room for the periodic extension).
constexpr uint64_t kPlaneLead = 128;
constexpr uint64_t kPlaneMargin = 256;
constexpr uint64_t kAlign = 64;

// Where the parts of one workspace lie, in floats from its aligned start.
struct Geometry {
  uint64_t plane[3];
  uint64_t scratch;
  uint64_t strips;
  uint64_t window[kMaxNeighbours + 3][3];  // the window's frames, two more
  uint64_t temporal;                       // the temporal step's rows
  uint64_t matches[3];                     // the block matches of each neighbour, per plane
  uint64_t cells[3];                       // each plane's map of brightness gains
  uint64_t floats;                         // the whole workspace, a multiple of 16
};

// Floats from one scratch row to the next: a line, its extension and a
// little more, and never less than the legacy stack scratch's 3488, whose
// spacing keeps the eleven rows apart in the caches.
uint64_t scratch_slot(uint64_t line) {
  return line + 512 > 3488 ? line + 512 : 3488;
}

uint64_t round16(uint64_t floats) {
  return (floats + 15) & ~uint64_t{15};
}

// Floats of the temporal step's rows, each as long as the widest plane.
uint64_t temporal_row(const StreamLayout& layout) {
  return round16(static_cast<uint64_t>(layout.width) + 16);
}

// Floats of one neighbour's block matches of plane p.
uint64_t matches_floats(const StreamLayout& layout, int p) {
  const uint64_t blocks = static_cast<uint64_t>(blocks_along(layout.plane_width[p])) *
                          static_cast<uint64_t>(blocks_along(layout.plane_height[p]));
  return round16(blocks * (sizeof(BlockMatch) / sizeof(float)));
}

Geometry geometry_of(const StreamLayout& layout, int32_t radius) {
  Geometry g{};
  const uint64_t w = static_cast<uint64_t>(layout.width);
  const uint64_t h = static_cast<uint64_t>(layout.height);
  const uint64_t line = w > h ? w : h;
  const bool packed = layout.family == ZOLTA_FAMILY_RGB32 || layout.family == ZOLTA_FAMILY_YUY2;
  uint64_t at = 0;
  if (packed) {
    const uint64_t plane = h * (w + kPlaneMargin);
    for (int p = 0; p < 3; ++p) g.plane[p] = kPlaneLead + p * plane;
    at = kPlaneLead + 3 * plane;
  } else {
    for (int p = 0; p < layout.planes; ++p) {
      g.plane[p] = at + kPlaneLead;
      const uint64_t rows = static_cast<uint64_t>(layout.plane_height[p]);
      const uint64_t width = static_cast<uint64_t>(layout.plane_width[p]);
      // Room for the rows with their margins, or for the plane kept strip
      // by strip, each strip with room for its extension.
      const uint64_t by_rows = rows * (width + kPlaneMargin);
      const uint64_t by_strips =
          (width + kStripWidth - 1) / kStripWidth * strip_floats(layout.plane_height[p]);
      at = round16(at + kPlaneLead + (by_rows > by_strips ? by_rows : by_strips));
    }
  }
  g.scratch = at;
  g.strips = round16(at + kScratchRowCount * scratch_slot(line));
  at = g.strips + kStripCount * strip_floats(layout.height);
  // The window's other frames: planes of rows with their margins, as the
  // centre frame's are loaded.
  // The window's frames, a spare plane set (also the column pass's room,
  // strip by strip) and one for the temporal step's counts.
  for (int k = 0; k < (radius > 0 ? 2 * radius + 3 : 0); ++k) {
    for (int p = 0; p < layout.planes; ++p) {
      const uint64_t rows = static_cast<uint64_t>(layout.plane_height[p]);
      const uint64_t width = static_cast<uint64_t>(layout.plane_width[p]);
      const uint64_t by_rows = rows * (width + kPlaneMargin);
      const uint64_t by_strips =
          (width + kStripWidth - 1) / kStripWidth * strip_floats(layout.plane_height[p]);
      g.window[k][p] = at + kPlaneLead;
      at = round16(at + kPlaneLead + (by_rows > by_strips ? by_rows : by_strips));
    }
  }
  g.temporal = at;
  if (radius > 0) at += kTemporalRowCount * temporal_row(layout);
  // Every plane's matches: the planes' steps all run before their spatial
  // steps, which may read them.
  for (int p = 0; p < layout.planes; ++p) {
    g.matches[p] = round16(at);
    at = g.matches[p];
    if (radius > 0) at += 2 * radius * matches_floats(layout, p);
  }
  for (int p = 0; p < layout.planes; ++p) {
    g.cells[p] = round16(at);
    at = g.cells[p] + static_cast<uint64_t>(brightness_cells(layout.plane_width[p])) *
                          static_cast<uint64_t>(brightness_cells(layout.plane_height[p]));
  }
  g.floats = round16(at);
  return g;
}

// Floats of the rows and strips of one more part of a frame.
uint64_t band_spatial_floats(const StreamLayout& layout) {
  const uint64_t w = static_cast<uint64_t>(layout.width);
  const uint64_t h = static_cast<uint64_t>(layout.height);
  return round16(kScratchRowCount * scratch_slot(w > h ? w : h)) +
         kStripCount * strip_floats(layout.height);
}

// ... and with a temporal radius its temporal rows.
uint64_t band_floats(const StreamLayout& layout, int32_t radius) {
  if (radius == 0) return band_spatial_floats(layout);
  return band_spatial_floats(layout) + round16(kTemporalRowCount * temporal_row(layout));
}

uint64_t round_bytes(uint64_t bytes) {
  return (bytes + kAlign - 1) & ~(kAlign - 1);
}

}  // namespace

Engine* engine_create(const StreamLayout& layout, const EngineSettings& settings,
                      int32_t workspaces, zolta_error* error, int32_t radius, int32_t parts) {
  if (workspaces < 1) workspaces = 1;
  if (parts < 1) parts = 1;
  if (parts > kMaxFrameParts) parts = kMaxFrameParts;
  const int32_t band_count = parts - 1;
  if (radius < 0) radius = 0;
  if (radius > kMaxNeighbours / 2) radius = kMaxNeighbours / 2;
  // Far beyond any memory; refused before the geometry's products could wrap.
  const uint64_t plane =
      static_cast<uint64_t>(layout.height) * (static_cast<uint64_t>(layout.width) + 512);
  // The column pass counts the samples of a strip in 32 bits.
  const int32_t tallest = INT32_MAX / kStripWidth - 2 * kStripLead;
  if (layout.width <= 0 || layout.height <= 0 || layout.height > tallest ||
      plane > (uint64_t{1} << 48)) {
    fail(error, ZOLTA_ERROR_SIZE, "%s frame of %d x %d does not fit in memory",
         family_name(layout.family), static_cast<int>(layout.width),
         static_cast<int>(layout.height));
    return nullptr;
  }
  const Geometry g = geometry_of(layout, radius);
  const uint64_t head = round_bytes(sizeof(Engine)) +
                        round_bytes(sizeof(Workspace) * static_cast<uint64_t>(workspaces)) +
                        round_bytes(sizeof(BandScratch) * static_cast<uint64_t>(band_count));
  const uint64_t area = g.floats * sizeof(float);
  const uint64_t bands =
      band_floats(layout, radius) * sizeof(float) * static_cast<uint64_t>(band_count);
  // Sizes near 2^63 cannot come from 32-bit sizes, but check before adding.
  const uint64_t limit = static_cast<uint64_t>(PTRDIFF_MAX) / 2;
  if (area > limit / static_cast<uint64_t>(workspaces) || bands > limit / 2 ||
      head + area * workspaces + bands + kAlign > limit) {
    fail(error, ZOLTA_ERROR_SIZE, "%s frame of %d x %d does not fit in memory",
         family_name(layout.family), static_cast<int>(layout.width),
         static_cast<int>(layout.height));
    return nullptr;
  }
  const size_t bytes = static_cast<size_t>(head + area * workspaces + bands + kAlign);
  void* block = ::operator new(bytes, std::nothrow);
  if (!block) {
    fail(error, ZOLTA_ERROR_MEMORY, "out of memory for %d work areas of %s frames of %d x %d",
         static_cast<int>(workspaces), family_name(layout.family), static_cast<int>(layout.width),
         static_cast<int>(layout.height));
    return nullptr;
  }
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  {
    const uintptr_t huge = uintptr_t{2} << 20;
    const uintptr_t from = (reinterpret_cast<uintptr_t>(block) + huge - 1) & ~(huge - 1);
    const uintptr_t to = (reinterpret_cast<uintptr_t>(block) + bytes) & ~(huge - 1);
    if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
  }
#endif
  Engine* engine = new (block) Engine;
  engine->dsp = &dsp_kernels();
  engine->layout = layout;
  engine->radius = radius;
  engine->temporal = TemporalSettings{};
  for (BrightnessCurve& curve : engine->curves) curve = BrightnessCurve{};
  std::memset(&engine->bank, 0, sizeof engine->bank);
  build_daubechies(engine->bank, 2);
  engine_set_settings(*engine, settings);
  uint8_t* base = static_cast<uint8_t*>(block);
  engine->workspaces = new (base + round_bytes(sizeof(Engine))) Workspace[workspaces];
  engine->workspace_count = workspaces;
  engine->bands = new (base + round_bytes(sizeof(Engine)) +
                       round_bytes(sizeof(Workspace) * static_cast<uint64_t>(workspaces)))
      BandScratch[band_count];
  engine->band_count = band_count;
  const uintptr_t raw = reinterpret_cast<uintptr_t>(base + head);
  float* areas = reinterpret_cast<float*>((raw + kAlign - 1) & ~static_cast<uintptr_t>(kAlign - 1));
  for (int32_t k = 0; k < workspaces; ++k) {
    float* start = areas + static_cast<uint64_t>(k) * g.floats;
    Workspace& w = engine->workspaces[k];
    for (int p = 0; p < 3; ++p) {
      const bool present = p < layout.planes;
      w.planes.plane[p] = present ? start + g.plane[p] : nullptr;
      w.planes.stride[p] =
          present ? static_cast<ptrdiff_t>(layout.plane_width[p] + kPlaneMargin) : 0;
    }
    for (int p = 0; p < 3; ++p) w.cells[p] = p < layout.planes ? start + g.cells[p] : nullptr;
    const int32_t line = layout.width > layout.height ? layout.width : layout.height;
    w.scratch = scratch_rows_at(start + g.scratch, static_cast<ptrdiff_t>(scratch_slot(line)));
    w.strips = column_strips_at(start + g.strips, layout.height);
    for (int k = 0; k <= kMaxNeighbours; ++k) w.numbers[k] = 0;
    for (int k = 0; k < kMaxNeighbours + 3; ++k) {
      for (int p = 0; p < 3; ++p) {
        const bool present = radius > 0 && k < 2 * radius + 3 && p < layout.planes;
        w.window[k].plane[p] = present ? start + g.window[k][p] : nullptr;
        w.window[k].stride[p] = w.planes.stride[p];
      }
    }
    const uint64_t row = temporal_row(layout);
    float* rows = start + g.temporal;
    for (int k = 0; k < kMaxNeighbours; ++k) {
      w.temporal.limits[k] = radius > 0 ? rows + k * row : nullptr;
      w.temporal.moved[k] = radius > 0 ? rows + (kMaxNeighbours + k) * row : nullptr;
      for (int p = 0; p < 3; ++p) {
        w.matches[p][k] = k < 2 * radius && p < layout.planes
                              ? reinterpret_cast<BlockMatch*>(start + g.matches[p] +
                                                              k * matches_floats(layout, p))
                              : nullptr;
      }
    }
    w.temporal.counts =
        radius > 0 ? reinterpret_cast<uint8_t*>(rows + 2 * kMaxNeighbours * row) : nullptr;
  }
  const int32_t line = layout.width > layout.height ? layout.width : layout.height;
  for (int32_t k = 0; k < band_count; ++k) {
    float* start = areas + static_cast<uint64_t>(workspaces) * g.floats +
                   static_cast<uint64_t>(k) * band_floats(layout, radius);
    BandScratch& b = engine->bands[k];
    b.scratch = scratch_rows_at(start, static_cast<ptrdiff_t>(scratch_slot(line)));
    b.strips =
        column_strips_at(start + round16(kScratchRowCount * scratch_slot(line)), layout.height);
    float* rows = start + band_spatial_floats(layout);
    const uint64_t row = temporal_row(layout);
    for (int j = 0; j < kMaxNeighbours; ++j) {
      b.temporal.limits[j] = radius > 0 ? rows + j * row : nullptr;
      b.temporal.moved[j] = radius > 0 ? rows + (kMaxNeighbours + j) * row : nullptr;
    }
    b.temporal.counts =
        radius > 0 ? reinterpret_cast<uint8_t*>(rows + 2 * kMaxNeighbours * row) : nullptr;
  }
  succeed(error);
  return engine;
}

void engine_destroy(Engine* engine) {
  if (!engine) return;
  // Engine and Workspace are plain records: nothing to run but the release.
  ::operator delete(static_cast<void*>(engine));
}

void engine_set_settings(Engine& engine, const EngineSettings& settings) {
  engine.settings = settings;
  if (engine.radius == 0) {
    engine.plan = level_plan_for(settings.thresholds, engine.layout.wide_chroma);
    return;
  }
  engine.plan = level_plan_for(settings.thresholds, engine.layout.wide_chroma);
  // Planes that go through the temporal step keep a share of their spatial
  // thresholds, which depends on how many other frames the window has.
  for (int32_t count = 0; count <= 2 * engine.radius; ++count) {
    int32_t shared[3][6];
    const int32_t share = window_share(engine.temporal.spatial_share, count, engine.radius);
    for (int p = 0; p < 3; ++p) {
      const int32_t s = engine.temporal.thresholds[p] != 0 ? share : 0;
      for (int i = 0; i < 6; ++i) shared[p][i] = spatial_share_of(settings.thresholds[p][i], s);
    }
    engine.window_plans[count] = level_plan_for(shared, engine.layout.wide_chroma);
  }
}

void engine_set_brightness(Engine& engine, const uint16_t gains[3][kBrightnessBands]) {
  for (int p = 0; p < 3; ++p) engine.curves[p] = brightness_curve(gains[p]);
}

void engine_set_temporal(Engine& engine, const TemporalSettings& temporal) {
  engine.temporal = temporal;
  engine_set_settings(engine, engine.settings);
}

OutputView output_view(const StreamLayout& layout, const EngineSettings& s) {
  OutputView view;
  view.plane = s.plane >= 0 && s.plane < layout.planes ? s.plane : 0;
  view.high = s.mode == 1;
  if (s.views == 0) {
    view.kind = ViewKind::kNormal;
  } else if (s.mode == 2) {
    view.kind = ViewKind::kDiff;
  } else if (s.show_plane != 0 || s.mode == 1) {
    view.kind = ViewKind::kGray;
  } else {
    view.kind = ViewKind::kNormal;
  }
  return view;
}

namespace {

struct RowSource {
  const StreamLayout* layout;
  const zolta_frame* frame;
  int plane;
};

// Every row asks for the next one, which arrives while the row pass works on
// this one.
void load_row(const void* context, int32_t row, float* line) {
  const RowSource& s = *static_cast<const RowSource*>(context);
  plane_row_to_floats(*s.layout, *s.frame, s.plane, row, line);
  if (row + 1 < s.layout->plane_height[s.plane]) {
    prefetch_plane_row(*s.layout, *s.frame, s.plane, row + 1);
  }
}

struct StripTarget {
  const StreamLayout* layout;
  const zolta_frame* frame;
  int plane;
};

// The column pass's finished strips, straight into the frame.
void store_strip(const void* context, int32_t first, int32_t width, int32_t rows,
                 const float* strip, float*) {
  const StripTarget& t = *static_cast<const StripTarget*>(context);
  strip_to_frame(*t.layout, strip, width, rows, t.plane, first, *t.frame);
}

// The rows of plane p of every frame of a window, converted as the
// temporal step asks for them.
struct WindowRows {
  const StreamLayout* layout;
  int plane;
  ptrdiff_t stride;
  int32_t frames;
  const zolta_frame* frame[kMaxNeighbours + 1];
  float* to[kMaxNeighbours + 1];
  int32_t done[kMaxNeighbours + 1];  // rows converted so far
};

void fill_window_rows(const void* context, int32_t rows) {
  WindowRows& s = *const_cast<WindowRows*>(static_cast<const WindowRows*>(context));
  for (int32_t k = 0; k < s.frames; ++k) {
    if (rows <= s.done[k]) continue;
    plane_rows_to_floats(*s.layout, *s.frame[k], s.plane, s.done[k], rows - s.done[k], s.to[k],
                         s.stride);
    s.done[k] = rows;
  }
}

// Rows of a float plane, for the row pass to load.
struct PlaneRows {
  const float* plane;
  ptrdiff_t stride;
  int32_t width;
};

void load_plane_row(const void* context, int32_t row, float* line) {
  const PlaneRows& s = *static_cast<const PlaneRows*>(context);
  std::memcpy(line, s.plane + row * s.stride, sizeof(float) * static_cast<size_t>(s.width));
}

// The column pass's finished strips with the temporal step's detail given
// back, into the frame.
struct RestoreTarget {
  const DspKernels* dsp;
  const StreamLayout* layout;
  const zolta_frame* frame;
  int plane;
  const float* kept;
  const uint8_t* joined;
  ptrdiff_t stride;
  int32_t restore;
  int32_t radius;
};

void restore_and_store_strip(const void* context, int32_t first, int32_t width, int32_t rows,
                             const float* strip, float* room) {
  const RestoreTarget& t = *static_cast<const RestoreTarget*>(context);
  t.dsp->restore_strip(strip, t.kept + first, t.joined + first, t.stride, width, rows, t.restore,
                       t.radius, room);
  strip_to_frame(*t.layout, room, width, rows, t.plane, first, *t.frame);
}

// Rows of a plane's temporal step over an 8-bit window, made as the row pass
// loads them; with `packed`, their sums and counts kept for the detail given
// back (rows `stride` apart).
struct AveragedRows {
  const DspKernels* dsp;
  const ByteAveraging* averaging;
  int32_t width;
  uint16_t* packed;
  ptrdiff_t stride;
};

void load_averaged_row(const void* context, int32_t row, float* line) {
  const AveragedRows& s = *static_cast<const AveragedRows*>(context);
  s.dsp->temporal_row_bytes(*s.averaging, row, s.width, line,
                            s.packed ? s.packed + row * s.stride : nullptr);
}

// The column pass's finished strips with the detail given back from those
// sums and counts, into the frame.
struct PackedTarget {
  const DspKernels* dsp;
  const StreamLayout* layout;
  const zolta_frame* frame;
  int plane;
  const uint16_t* packed;
  ptrdiff_t stride;
  int32_t restore;
  int32_t radius;
};

void restore_packed_strip(const void* context, int32_t first, int32_t width, int32_t rows,
                          const float* strip, float* room) {
  const PackedTarget& t = *static_cast<const PackedTarget*>(context);
  t.dsp->restore_strip_packed(strip, t.packed + first, t.stride, width, rows, t.restore, t.radius,
                              room);
  strip_to_frame(*t.layout, room, width, rows, t.plane, first, *t.frame);
}

// ---- a frame in bands of rows ----

// Luma rows of a band of the conversions: a multiple of 8 keeps every
// subsampled plane's band on whole rows.
constexpr int32_t kConvertRows = 8;

// Row `first` of the picture in plane p of `rows` rows (p's rows of it).
inline int32_t plane_row_of(const StreamLayout& L, int32_t rows, int32_t first) {
  return static_cast<int32_t>(static_cast<int64_t>(first) * rows / L.height);
}

// The layout of rows [first, first + count) of the picture: the same
// format, as many rows of each plane as the band holds.
StreamLayout band_layout(const StreamLayout& L, int32_t first, int32_t count) {
  StreamLayout b = L;
  b.height = count;
  for (int p = 0; p < 3; ++p) {
    b.plane_height[p] = plane_row_of(L, L.plane_height[p], first + count) -
                        plane_row_of(L, L.plane_height[p], first);
  }
  return b;
}

zolta_frame band_frame(const StreamLayout& L, const zolta_frame& f, int32_t first) {
  zolta_frame b = f;
  for (int p = 0; p < L.frame_planes; ++p) {
    if (!f.data[p]) continue;
    b.data[p] =
        static_cast<uint8_t*>(f.data[p]) + plane_row_of(L, frame_rows(L, p), first) * f.stride[p];
  }
  return b;
}

FloatPlanes band_planes(const StreamLayout& L, const FloatPlanes& f, int32_t first) {
  FloatPlanes b = f;
  for (int p = 0; p < 3; ++p) {
    if (f.plane[p])
      b.plane[p] = f.plane[p] + plane_row_of(L, L.plane_height[p], first) * f.stride[p];
  }
  return b;
}

enum class Convert { kToPlanes, kToFrame, kPlaneToFrame, kRestore };

struct ConvertJob {
  Convert what;
  int32_t pieces;
  const DspKernels* dsp;
  const StreamLayout* layout;
  const zolta_frame* in;
  const zolta_frame* out;
  FloatPlanes planes;
  OutputView view;
  int plane;  // kPlaneToFrame, kRestore
  // kRestore: the step's result, its counts and the settings.
  const float* kept;
  const uint8_t* joined;
  int32_t restore, radius;
};

void convert_part(const void* context, int32_t piece, int32_t) {
  const ConvertJob& j = *static_cast<const ConvertJob*>(context);
  const StreamLayout& L = *j.layout;
  int32_t first, end;
  band_of(L.height, kConvertRows, j.pieces, piece, &first, &end);
  if (first >= end) return;
  const StreamLayout B = band_layout(L, first, end - first);
  const zolta_frame in = band_frame(L, *j.in, first);
  const zolta_frame out = band_frame(L, *j.out, first);
  const FloatPlanes planes = band_planes(L, j.planes, first);
  switch (j.what) {
    case Convert::kToPlanes:
      if (!packed_to_planes(*j.dsp, B, in, planes)) frame_to_planes(B, in, planes);
      break;
    case Convert::kToFrame:
      if (!planes_to_packed(*j.dsp, B, planes, j.view, out)) {
        planes_to_frame(B, planes, j.view, in, out);
      }
      break;
    case Convert::kPlaneToFrame:
      plane_to_frame(B, planes.plane[j.plane], planes.stride[j.plane], j.plane, out);
      break;
    case Convert::kRestore: {
      const int p = j.plane;
      const ptrdiff_t at = plane_row_of(L, L.plane_height[p], first) * planes.stride[p];
      j.dsp->restore_detail(planes.plane[p], j.kept + at, j.joined + at, planes.stride[p],
                            L.plane_width[p], B.plane_height[p], j.restore, j.radius);
      break;
    }
  }
}

void convert_in_bands(const BandRunner* runner, ConvertJob job) {
  job.pieces = piece_count(runner, (job.layout->height + kConvertRows - 1) / kConvertRows);
  run_pieces(runner, job.pieces, convert_part, &job);
}

ConvertJob convert_job(Convert what, const Engine& engine, const zolta_frame& in,
                       const zolta_frame& out, const FloatPlanes& planes, const OutputView& view,
                       int plane = 0) {
  return ConvertJob{what, 1,     engine.dsp, &engine.layout, &in, &out, planes,
                    view, plane, nullptr,    nullptr,        0,   0};
}

// A whole frame's conversion to planes and the planes' row passes as one
// job: a piece converts a band of rows and runs the row passes over it
// while the band is still in the cache, in every thread's count of pieces.
struct ConvertAndRows {
  ConvertJob convert;
  const PlaneJob* jobs;
  const ScratchRows* const* scratch;
};

void convert_and_rows_part(const void* context, int32_t piece, int32_t slot) {
  const ConvertAndRows& c = *static_cast<const ConvertAndRows*>(context);
  const StreamLayout& L = *c.convert.layout;
  convert_part(&c.convert, piece, slot);
  int32_t first, end;
  band_of(L.height, kConvertRows, c.convert.pieces, piece, &first, &end);
  for (int p = 0; p < L.planes; ++p) {
    denoise_plane_rows(c.jobs[p], *c.scratch[slot], plane_row_of(L, L.plane_height[p], first),
                       plane_row_of(L, L.plane_height[p], end));
  }
}

// Every part's scratch for a call: part 0 the workspace's, the others the
// engine's band scratch.
struct PartScratch {
  const ScratchRows* rows[kMaxFrameParts];
  const ColumnStrips* strips[kMaxFrameParts];
};

void part_scratch(const Engine& engine, const Workspace& w, const BandRunner* runner,
                  PartScratch& s) {
  const int32_t parts = band_parts(runner);
  s.rows[0] = &w.scratch;
  s.strips[0] = &w.strips;
  for (int32_t k = 1; k < parts && k <= engine.band_count; ++k) {
    s.rows[k] = &engine.bands[k - 1].scratch;
    s.strips[k] = &engine.bands[k - 1].strips;
  }
}

// The temporal step of the planes of a window (or, for a plane without it,
// the copy of the centre's plane), planes split between two parts: the
// first plane in part 0 with the working area's scratch, the others in part
// 1 with the first band scratch.
struct TemporalPlanes {
  const Engine* engine;
  Workspace* w;
  const LevelPlan* plan;
  bool by_plane, whole;
  bool bytes;  // 8-bit planes read where the frames hold them (none converted)
  int32_t frames, count;
  const zolta_frame* frame[kMaxNeighbours + 1];
  int32_t slot[kMaxNeighbours + 1];
  bool held[kMaxNeighbours + 1];
  int32_t parts;
  int32_t* used;  // per plane, the other frames its step took (written by its part)
  // Per plane of an 8-bit window whose spatial step has a column pass: the
  // step's result is made row by row as that pass reads it (no plane).
  ByteAveraging* averaging;
};

void temporal_plane_step(const TemporalPlanes& t, int p, const TemporalRows& scratch,
                         BlockMatch* const* matches) {
  const Engine& engine = *t.engine;
  const StreamLayout& L = engine.layout;
  Workspace& w = *t.w;
  const int32_t radius = engine.radius;
  const bool step = engine.temporal.thresholds[p] != 0;
  const bool restore = step && engine.settings.mode != 1 && engine.temporal.restore != 0;
  const bool columns = t.plan->chains[p][1].count > 0;
  const ptrdiff_t stride = w.planes.stride[p];
  const int32_t width = L.plane_width[p], rows = L.plane_height[p];
  WindowRows window_rows{&L, p, stride, t.frames, {}, {}, {}};
  for (int32_t i = 0; i < t.frames; ++i) {
    window_rows.frame[i] = t.frame[i];
    window_rows.to[i] = w.window[t.slot[i]].plane[p];
    window_rows.done[i] = t.whole || t.held[i] ? rows : 0;
  }
  const RowsReady ready{fill_window_rows, &window_rows};
  // The detail given back needs the step's result and its counts. Where
  // the plane goes to the frame from the column pass, the pass reads the
  // step's result from the working plane, works in the spare plane and
  // gives the detail back strip by strip on the way out; otherwise the
  // result is copied to the spare plane first.
  const bool fused = restore && t.by_plane && columns;
  float* spare = w.window[2 * radius + 1].plane[p];
  float* kept = restore && !fused ? spare : nullptr;
  uint8_t* joined =
      restore ? reinterpret_cast<uint8_t*>(w.window[2 * radius + 2].plane[p]) : nullptr;
  float* plane = w.planes.plane[p];
  if (step && t.bytes && t.by_plane && columns) {
    BytePlanes window{};
    for (int32_t i = 0; i < t.frames; ++i) {
      window.plane[i] = static_cast<const uint8_t*>(t.frame[i]->data[p]);
      window.stride[i] = t.frame[i]->stride[p];
    }
    // The blocks' steps in the spare plane, which this path leaves free.
    t.used[p] = engine.dsp->temporal_judge_bytes(
        window, t.count, matches, width, rows, engine.temporal.thresholds[p], &engine.curves[p],
        reinterpret_cast<BlockStep*>(spare), t.averaging[p]);
  } else if (step && t.bytes) {
    BytePlanes window{};
    for (int32_t i = 0; i < t.frames; ++i) {
      window.plane[i] = static_cast<const uint8_t*>(t.frame[i]->data[p]);
      window.stride[i] = t.frame[i]->stride[p];
    }
    t.used[p] = engine.dsp->temporal_plane_bytes(window, t.count, plane, stride, matches, width,
                                                 rows, engine.temporal.thresholds[p],
                                                 &engine.curves[p], scratch, kept, joined);
  } else if (t.bytes) {
    plane_rows_to_floats(L, *t.frame[0], p, 0, rows, plane, stride);
  } else if (step) {
    const float* neighbours[kMaxNeighbours];
    for (int32_t j = 0; j < t.count; ++j) neighbours[j] = w.window[t.slot[j + 1]].plane[p];
    t.used[p] = engine.dsp->temporal_plane(window_rows.to[0], plane, neighbours, matches, t.count,
                                           stride, width, rows, engine.temporal.thresholds[p],
                                           &engine.curves[p], scratch, kept, joined, &ready);
  } else {
    // Every frame's plane is converted all the same: a numbered frame's
    // planes are used again by later windows, whose settings may differ.
    fill_window_rows(&window_rows, rows);
    for (int32_t r = 0; r < rows; ++r) {
      std::memcpy(plane + r * stride, window_rows.to[0] + r * stride,
                  sizeof(float) * static_cast<size_t>(width));
    }
  }
}

void temporal_planes_part(const void* context, int32_t part) {
  const TemporalPlanes& t = *static_cast<const TemporalPlanes*>(context);
  const int planes = t.engine->layout.planes;
  for (int p = 0; p < planes; ++p) {
    const int owner = t.parts > 1 && p > 0 ? 1 : 0;
    if (owner != part) continue;
    if (owner == 0) {
      temporal_plane_step(t, p, t.w->temporal, t.w->matches[p]);
    } else {
      temporal_plane_step(t, p, t.engine->bands[0].temporal, t.w->matches[p]);
    }
  }
}

// The map of brightness gains of plane p, from its samples as they are now
// (rows `stride` floats apart), or from its rows as the loader gives them;
// null where the plane's thresholds do not follow brightness.
const BrightnessMap* brightness_map(const Engine& engine, Workspace& w, int p, const float* plane,
                                    ptrdiff_t stride, const RowLoader* loader, BrightnessMap& map) {
  const BrightnessCurve& curve = engine.curves[p];
  if (!curve.on) return nullptr;
  const int32_t n = engine.layout.plane_width[p], rows = engine.layout.plane_height[p];
  map = brightness_map_start(w.cells[p], w.scratch.spare[1], n, rows);
  for (int32_t r = 0; r < rows; ++r) {
    const float* row = plane + r * stride;
    if (loader) {
      loader->load(loader->context, r, w.scratch.spare[0]);
      row = w.scratch.spare[0];
    }
    brightness_map_add_row(map, row, r);
  }
  brightness_map_finish(map, curve);
  return &map;
}

}  // namespace

void engine_process(const Engine& engine, Workspace& w, const zolta_frame& in,
                    const zolta_frame& out, const BandRunner* runner) {
  const StreamLayout& L = engine.layout;
  if (engine.settings.enabled == 0) {
    copy_frame(L, in, out);
    return;
  }
  const uint32_t float_mode = enter_default_float_mode();
  // RGB and packed frames are converted a band of rows at a time, each band
  // just before the row passes over it (RGB makes three planes from every
  // pixel), and so are frames whose planes are interleaved in one picture;
  // planes of the other families are loaded row by row as the denoiser
  // reaches them.
  const bool whole_frame = L.rgb || L.family == ZOLTA_FAMILY_YUY2 || frame_interleaved(L, in) ||
                           frame_interleaved(L, out);
  const DspKernels& dsp = *engine.dsp;
  const bool high = engine.settings.mode == 1;
  const OutputView view = output_view(L, engine.settings);
  PartScratch parts;
  part_scratch(engine, w, runner, parts);
  // Planar frames in the normal view are written plane by plane, and from
  // the column pass straight into the frame when the plane has one.
  const bool by_plane = !whole_frame && view.kind == ViewKind::kNormal;
  RowSource sources[3];
  RowLoader loaders[3];
  StripTarget targets[3];
  ColumnSink sinks[3];
  PlaneJob jobs[3];
  bool columns_out[3];
  for (int p = 0; p < L.planes; ++p) {
    sources[p] = RowSource{&L, &in, p};
    loaders[p] = RowLoader{load_row, &sources[p]};
    targets[p] = StripTarget{&L, &out, p};
    sinks[p] = ColumnSink{store_strip, &targets[p]};
    columns_out[p] = by_plane && engine.plan.chains[p][1].count > 0;
    jobs[p] = plane_job(dsp, engine.bank, engine.plan.chains[p][0], engine.plan.chains[p][1], high,
                        w.planes.plane[p], L.plane_width[p], L.plane_height[p], w.planes.stride[p],
                        whole_frame ? nullptr : &loaders[p], columns_out[p] ? &sinks[p] : nullptr);
  }
  // Gains that follow brightness need a plane's map before its row pass, so
  // frames with a curve are converted and mapped whole first.
  bool curves = false;
  for (int p = 0; p < L.planes; ++p) curves = curves || engine.curves[p].on;
  if (whole_frame && !curves) {
    ConvertAndRows convert{convert_job(Convert::kToPlanes, engine, in, out, w.planes, view), jobs,
                           parts.rows};
    const int32_t bands = (L.height + kConvertRows - 1) / kConvertRows;
    convert.convert.pieces = bands < kMaxPieces ? bands : kMaxPieces;
    run_pieces(runner, convert.convert.pieces, convert_and_rows_part, &convert);
    denoise_planes_columns(jobs, L.planes, runner, parts.strips);
  } else {
    if (whole_frame) {
      convert_in_bands(runner, convert_job(Convert::kToPlanes, engine, in, out, w.planes, view));
    }
    BrightnessMap maps[3];
    for (int p = 0; p < L.planes; ++p) {
      jobs[p].brightness = brightness_map(engine, w, p, w.planes.plane[p], w.planes.stride[p],
                                          whole_frame ? nullptr : &loaders[p], maps[p]);
    }
    denoise_planes_banded(jobs, L.planes, runner, parts.rows, parts.strips);
  }
  for (int p = 0; p < L.planes && by_plane; ++p) {
    if (columns_out[p]) continue;
    convert_in_bands(runner, convert_job(Convert::kPlaneToFrame, engine, in, out, w.planes, view, p));
  }
  if (!by_plane) {
    convert_in_bands(runner, convert_job(Convert::kToFrame, engine, in, out, w.planes, view));
  }
  leave_default_float_mode(float_mode);
}

void engine_process_window(const Engine& engine, Workspace& w, const zolta_frame& in,
                           const zolta_frame* const* neighbour_frames, int32_t count,
                           const zolta_frame& out, const BandRunner* runner) {
  const int32_t radius = engine.radius;
  bool any = false;
  for (int p = 0; p < engine.layout.planes; ++p) any = any || engine.temporal.thresholds[p] != 0;
  if (radius == 0 || !any || engine.settings.enabled == 0) {
    engine_process(engine, w, in, out, runner);
    return;
  }
  const StreamLayout& L = engine.layout;
  const uint32_t float_mode = enter_default_float_mode();
  const DspKernels& dsp = *engine.dsp;
  // The window's frames (the centre first) in the working area's frame
  // planes: a numbered frame already there is used again; the others take
  // the planes no frame of this window needs.
  const int32_t frames = count + 1;
  const zolta_frame* frame[kMaxNeighbours + 1] = {&in};
  for (int32_t k = 0; k < count; ++k) frame[k + 1] = neighbour_frames[k];
  // Planar frames are converted plane by plane as the temporal step reaches
  // their rows; the others whole, first. 8-bit planar frames are not
  // converted at all: the step reads their bytes, which are the float
  // planes' values, and nothing is kept for the next window.
  bool whole = L.family == ZOLTA_FAMILY_YUY2 || L.rgb;
  for (int32_t i = 0; i < frames && !whole; ++i) whole = frame_interleaved(L, *frame[i]);
  const bool bytes = !whole && !L.is_float && L.sample_bytes == 1 && L.k_in == 1.0f;
  int32_t slot[kMaxNeighbours + 1];
  bool held[kMaxNeighbours + 1] = {};
  bool taken[kMaxNeighbours + 1] = {};
  for (int32_t i = 0; i < frames; ++i) {
    slot[i] = bytes ? i : -1;
    for (int32_t s = 0; s <= 2 * radius && frame[i]->number != 0 && slot[i] < 0; ++s) {
      if (!taken[s] && w.numbers[s] == frame[i]->number) {
        slot[i] = s;
        taken[s] = held[i] = true;
      }
    }
  }
  for (int32_t i = 0; i < frames; ++i) {
    for (int32_t s = 0; s <= 2 * radius && slot[i] < 0; ++s) {
      if (!taken[s]) {
        slot[i] = s;
        taken[s] = true;
        w.numbers[s] = frame[i]->number;
      }
    }
  }
  if (bytes) {
    for (int32_t s = 0; s <= 2 * radius; ++s) w.numbers[s] = 0;
  }
  const bool high = engine.settings.mode == 1;
  const OutputView view = output_view(L, engine.settings);
  if (whole) {
    for (int32_t i = 0; i < frames; ++i) {
      if (held[i]) continue;
      convert_in_bands(
          runner, convert_job(Convert::kToPlanes, engine, *frame[i], out, w.window[slot[i]], view));
    }
  }
  PartScratch parts;
  part_scratch(engine, w, runner, parts);
  const bool by_plane = L.family != ZOLTA_FAMILY_YUY2 && !L.rgb && !frame_interleaved(L, out) &&
                        view.kind == ViewKind::kNormal;
  // Every plane's temporal step (or its copy), then its spatial step, its
  // thresholds following the other frames the plane's step took. Where the
  // runner has two parts, the planes' temporal steps run at once first;
  // otherwise each plane's right before its spatial step, which reads the
  // same rows of the window's frames again while the cache still holds
  // them.
  int32_t used[3] = {count, count, count};
  ByteAveraging averaging[3] = {};
  TemporalPlanes steps{&engine,  &w,       &engine.window_plans[count],
                       by_plane, whole,    bytes,
                       frames,   count,    {},
                       {},       {},       1,
                       used,     averaging};
  for (int32_t i = 0; i < frames; ++i) {
    steps.frame[i] = frame[i];
    steps.slot[i] = slot[i];
    steps.held[i] = held[i];
  }
  steps.parts = band_parts(runner) > 1 && L.planes > 1 && engine.band_count > 0 ? 2 : 1;
  const BandRunner pair{runner ? runner->run : nullptr, runner ? runner->pool : nullptr, 2};
  if (steps.parts > 1) run_bands(&pair, temporal_planes_part, &steps);
  for (int p = 0; p < L.planes; ++p) {
    if (steps.parts == 1) temporal_plane_step(steps, p, w.temporal, w.matches[p]);
    const bool step = engine.temporal.thresholds[p] != 0;
    const bool restore = step && !high && engine.temporal.restore != 0;
    // Whether a column pass runs does not depend on the share (a share keeps
    // a threshold above 0 above 0).
    const bool columns = engine.window_plans[count].chains[p][1].count > 0;
    const ptrdiff_t stride = w.planes.stride[p];
    const int32_t width = L.plane_width[p], rows = L.plane_height[p];
    const bool fused = restore && by_plane && columns;
    float* spare = w.window[2 * radius + 1].plane[p];
    float* kept = restore && !fused ? spare : nullptr;
    uint8_t* joined =
        restore ? reinterpret_cast<uint8_t*>(w.window[2 * radius + 2].plane[p]) : nullptr;
    float* plane = w.planes.plane[p];
    const LevelPlan& plan = engine.window_plans[used[p]];
    BrightnessMap map;
    if (step && bytes && by_plane && columns) {
      // The step's rows made as the row pass loads them, their sums and
      // counts kept (16 bits a sample, in the counts' plane) for the detail
      // given back strip by strip on the way out.
      uint16_t* packed = restore ? reinterpret_cast<uint16_t*>(joined) : nullptr;
      const AveragedRows source{&dsp, &averaging[p], width, packed, stride};
      const RowLoader loader{load_averaged_row, &source};
      const PackedTarget restoring{&dsp,  &L, &out, p, packed, stride, engine.temporal.restore,
                                   radius};
      const StripTarget storing{&L, &out, p};
      const ColumnSink sink = restore ? ColumnSink{restore_packed_strip, &restoring}
                                      : ColumnSink{store_strip, &storing};
      PlaneJob job = plane_job(dsp, engine.bank, plan.chains[p][0], plan.chains[p][1], high, plane,
                               width, rows, stride, &loader, &sink);
      // The gains from the step's rows as the row pass will load them.
      job.brightness = brightness_map(engine, w, p, plane, stride, &loader, map);
      denoise_plane_banded(job, runner, parts.rows, parts.strips);
      continue;
    }
    const BrightnessMap* brightness = brightness_map(engine, w, p, plane, stride, nullptr, map);
    if (fused) {
      const PlaneRows source{plane, stride, width};
      const RowLoader loader{load_plane_row, &source};
      const RestoreTarget target{&dsp,  &L, &out, p, plane, joined, stride, engine.temporal.restore,
                                 radius};
      const ColumnSink sink{restore_and_store_strip, &target};
      PlaneJob job = plane_job(dsp, engine.bank, plan.chains[p][0], plan.chains[p][1], high, spare,
                               width, rows, stride, &loader, &sink);
      job.brightness = brightness;
      denoise_plane_banded(job, runner, parts.rows, parts.strips);
      continue;
    }
    const StripTarget target{&L, &out, p};
    const ColumnSink sink{store_strip, &target};
    const bool columns_out = by_plane && !restore && columns;
    PlaneJob job = plane_job(dsp, engine.bank, plan.chains[p][0], plan.chains[p][1], high, plane,
                             width, rows, stride, nullptr, columns_out ? &sink : nullptr);
    job.brightness = brightness;
    denoise_plane_banded(job, runner, parts.rows, parts.strips);
    if (restore) {
      ConvertJob job_restore = convert_job(Convert::kRestore, engine, in, out, w.planes, view, p);
      job_restore.kept = kept;
      job_restore.joined = joined;
      job_restore.restore = engine.temporal.restore;
      job_restore.radius = radius;
      convert_in_bands(runner, job_restore);
    }
    if (by_plane && !columns_out) {
      convert_in_bands(runner,
                       convert_job(Convert::kPlaneToFrame, engine, in, out, w.planes, view, p));
    }
  }
  if (!by_plane) {
    convert_in_bands(runner, convert_job(Convert::kToFrame, engine, in, out, w.planes, view));
  }
  leave_default_float_mode(float_mode);
}

}  // namespace zolta
