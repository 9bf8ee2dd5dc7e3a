/* SPDX-License-Identifier: BSD-2-Clause */
/* zolta: a wavelet noise reducer for video frames.
 *
 * The library's public interface, in plain C. Every host face (VirtualDub,
 * AviSynth, VapourSynth, AviSynth+, zolta-run) reaches the engine through
 * these functions only.
 *
 * The shape of it:
 *   - settings: eighteen thresholds [plane][direction][level] and a view;
 *     a codec for VirtualDub's "Config(a, ..., i)" text and saved files;
 *   - a stream: a sample format and a frame size;
 *   - a denoiser, created once for a stream and its settings, that processes
 *     frames given as plane pointers and strides and allocates nothing while
 *     it does;
 *   - a status code and a message for every failure. Nothing is thrown
 *     across this interface.
 *
 * Threading (the one model of every face): one denoiser per stream, shared
 * by every thread that processes its frames. At creation it is given the
 * number of frames it may process at once (`threads`) and allocates that many
 * working areas; a process call takes a free one for the length of the call,
 * and a call that finds none free waits until one is given back. A denoiser
 * may also cut one frame into bands that run at once (`frame_threads`, from
 * 1.1): it starts frame_threads - 1 workers with it, which help a call that
 * finds no other frame in process; calls beside others work alone. The
 * bytes never depend on either count. Creating,
 * updating and destroying a denoiser are not to be run beside a process call
 * on the same denoiser.
 *
 * Growth: every record the caller fills (zolta_stream, zolta_settings,
 * zolta_frame, zolta_denoiser_config, zolta_noise_model) begins with `version` and ends with
 * reserved space. Fill a record with its zolta_..._default(&record,
 * ZOLTA_API_VERSION) call, then set the fields you need. The library reads
 * only the fields of the version the record names and refuses a record of
 * version 0, of another major version, or of a minor version newer than its
 * own (ZOLTA_ERROR_ARGUMENT). A later minor version adds fields only inside
 * the reserved space, each with a default (zero) that keeps the earlier
 * behaviour, so a record keeps its size and every offset through all of
 * version 1: a program built against 1.0 runs with every libzolta.so.1.
 */
#ifndef ZOLTA_H
#define ZOLTA_H

#include <stddef.h>
#include <stdint.h>

#if defined(__GNUC__) && !defined(_WIN32)
#define ZOLTA_API __attribute__((visibility("default")))
#else
#define ZOLTA_API
#endif

/* In C++ a record's version starts as the version of this header, so that
 * `zolta_frame frame{};` is ready to fill; in C, call its _default function. */
#ifdef __cplusplus
#define ZOLTA_RECORD_VERSION = ZOLTA_API_VERSION
#else
#define ZOLTA_RECORD_VERSION
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- version --------------------------------------------------------------- */

/* (major << 16) | minor. A new minor only adds; a new major may change.
 * 1.0 is the first interface that is installed (libzolta.so.1): the records
 * with a version and reserved space, the pixel step of a frame, the window
 * process call with its temporal radius and the noise of the input's own
 * channels. 1.1 adds zolta_denoiser_config's frame_threads and the noise
 * model (measured per level, direction and brightness, kept as a profile).
 * 1.2 adds zolta_settings' brightness gains (thresholds that follow the
 * noise's brightness curve, sample by sample). */
#define ZOLTA_MAKE_VERSION(major, minor) (((major) << 16) | (minor))
#define ZOLTA_API_VERSION_MAJOR 1
#define ZOLTA_API_VERSION_MINOR 2
#define ZOLTA_API_VERSION ZOLTA_MAKE_VERSION(ZOLTA_API_VERSION_MAJOR, ZOLTA_API_VERSION_MINOR)

/* The version the library was built with. */
ZOLTA_API int zolta_version(void);
/* "zolta 1.0" and the like; a static text. */
ZOLTA_API const char* zolta_version_text(void);

/* ---- errors ----------------------------------------------------------------- */

typedef enum zolta_status {
  ZOLTA_OK = 0,
  ZOLTA_ERROR_ARGUMENT = -1,     /* a null pointer or a value out of its range */
  ZOLTA_ERROR_FORMAT = -2,       /* a family, sample type or depth not supported */
  ZOLTA_ERROR_SIZE = -3,         /* a frame size not supported by the format */
  ZOLTA_ERROR_MEMORY = -4,       /* out of memory */
  ZOLTA_ERROR_SETTINGS = -5,     /* settings text or values not valid */
  ZOLTA_ERROR_FILE_OPEN = -6,    /* a settings file that cannot be opened or is no file */
  ZOLTA_ERROR_FILE_INVALID = -7, /* a settings file without this filter's Config line */
  ZOLTA_ERROR_FRAME = -8         /* a frame that does not match the stream */
} zolta_status;

/* Filled by every call that can fail, when given. The message is one line
 * without a final period only where it ends in a quoted name; it never holds
 * a newline. */
typedef struct zolta_error {
  int32_t code; /* zolta_status */
  char message[512];
} zolta_error;

/* ---- settings ----------------------------------------------------------------- */

enum { ZOLTA_PLANES = 3, ZOLTA_DIRECTIONS = 2, ZOLTA_LEVELS = 3, ZOLTA_BRIGHTNESS_BANDS = 16 };

/* Thresholds of the public interface lie in 0..ZOLTA_THRESHOLD_MAX; a value v
 * means a hard threshold of v / 16 on the detail of its level, 0 turns the
 * level off. The two legacy faces keep their own ranges. */
#define ZOLTA_THRESHOLD_MAX 4095

typedef enum zolta_view {
  ZOLTA_VIEW_NORMAL = 0, /* the denoised picture */
  ZOLTA_VIEW_HIGH = 1,   /* the amplified detail (x16) of plane `plane`, as grey */
  ZOLTA_VIEW_DIFF = 2    /* 8 x (input - denoised) around the middle grey */
} zolta_view;

/* The views on every format (b bits; half = 1 << (b - 1); float output is
 * never clamped):
 *   grey picture (HIGH, or show_plane outside DIFF): the shown plane v on the
 *     8-bit scale becomes clamp(round(v * (2^b - 1) / 255) + (HIGH ? half :
 *     0), 0, 2^b - 1); float (v + (HIGH ? 128 : 0)) / 255. RGB families write
 *     it to R, G and B (32-bit RGB also to its fourth byte); YUV and GRAY
 *     write it as Y (a chroma plane shown at full size, each sample
 *     repeated) with chroma at half (float 0).
 *   DIFF: per sample of every plane (RGB: per channel) clamp(8 x (input -
 *     denoised) + half, 0, 2^b - 1); float 8 x (input - denoised), plus
 *     128 / 255 for Y, GRAY and R, G, B.
 *   enabled = 0: the input is copied. */

typedef struct zolta_settings {
  uint32_t version
      ZOLTA_RECORD_VERSION; /* ZOLTA_API_VERSION of the caller (zolta_settings_default) */
  /* [plane][direction][level]. Planes are the denoiser's own: Y, Cb, Cr
   * (also for RGB frames, which are denoised as Y, Cb, Cr); the only plane of
   * GRAY is plane 0. Direction 0 is along rows (X), 1 along columns (Y);
   * level 0 is the finest. */
  int32_t thresholds[ZOLTA_PLANES][ZOLTA_DIRECTIONS][ZOLTA_LEVELS];
  int32_t view;       /* zolta_view */
  int32_t show_plane; /* non-zero: the picture shows plane `plane` as grey */
  int32_t plane;      /* 0..2, the plane that the grey views show */
  int32_t enabled;    /* zero: frames are copied unchanged */
  /* Used only by a denoiser with a temporal radius (zolta_denoiser_config):
   * per plane, the threshold of the temporal step, 0..ZOLTA_THRESHOLD_MAX, v
   * meaning v / 16 on the 8-bit scale, 0 leaving the plane to the spatial
   * step alone. A neighbour frame's sample joins the centre frame's average
   * where its 8 x 8 block, found in the neighbour by block matching, differs
   * from the centre's by at most v / 16 on average (and is not brighter or
   * darker by more than v * 3 / 128 on the whole), the sample's own
   * difference is at most v / 4, and the neighbour holds the centre's scene
   * (see zolta_denoiser_process_window); with brightness gains, a block
   * joins by v times the gain of its own brightness. */
  int32_t temporal_thresholds[ZOLTA_PLANES];
  /* The share of the spatial thresholds of a plane that goes through the
   * temporal step, in 256ths, at radius 1 ([0]) and 2 ([1]); 0 means 256
   * (all of them). A threshold v > 0 becomes max(1, (v * share + 128) >> 8). */
  int32_t temporal_spatial_share[2];
  /* Of the detail the spatial step removes from a sample that the temporal
   * step averaged over m frames of a window of 2R + 1, the part
   * q (m - 1) / (512 R) comes back (q at radius 1 in [0], at radius 2 in
   * [1], each 0..256; 0: none): where the frames already took the noise out,
   * less picture is taken away. */
  int32_t temporal_restore[2];
  /* From 1.2 (records of 1.0 and 1.1 have none): per plane, how its spatial
   * thresholds follow brightness. Band k is the gain, in 1024ths, where the
   * plane's local brightness is (k + 0.5) * 16 on the 8-bit scale; a plane
   * whose sixteen values are all 0 keeps its thresholds as given (exactly
   * the bytes of earlier versions). Otherwise the local brightness is the
   * mean of the plane's cell of 16 x 16 samples (cells from the top left
   * corner; at the right and bottom edges, what is left), as the frame
   * arrives (with a temporal radius, after the temporal step); its gain,
   * taken linearly between band centres (beyond the first and the last,
   * theirs), is interpolated bilinearly between the centres of the cells
   * around a sample (at the edges, the nearest cell's), and every spatial
   * threshold v of the sample becomes (v / 16) * gain. Single precision in
   * that order (doc/settings-from-noise.md). */
  uint16_t brightness_gains[ZOLTA_PLANES][ZOLTA_BRIGHTNESS_BANDS];
  int32_t reserved[33];
} zolta_settings;

/* Every threshold 0, the normal view, plane 0, enabled; `version` set to the
 * given version (normally ZOLTA_API_VERSION) and the reserved space zeroed. */
ZOLTA_API void zolta_settings_default(zolta_settings* settings, uint32_t version);

/* ---- the settings codec ----------------------------------------------------------
 *
 * VirtualDub keeps the eighteen thresholds as nine integers, each one
 * threshold along rows and one along columns of the same plane and level:
 * value i (0..8) is plane i / 3, level i % 3, holding
 *   (threshold along rows << 8) + threshold along columns.
 * Packing wraps in 32 bits. Two rules read a value back; they agree on
 * 0..65535 and differ only outside it:
 *   ZOLTA_UNPACK_SCRIPT: the script call "Config": rows = value >> 8 (an
 *     arithmetic shift, sign kept, not masked), columns = value & 255;
 *   ZOLTA_UNPACK_FILE: AviSynth's reading of a saved file: rows =
 *     (value >> 8) & 255, columns = value & 255.
 *   ZOLTA_UNPACK_STRICT: values outside 0..65535 are refused
 *     (ZOLTA_ERROR_SETTINGS), so that a value means the same under both.
 */
typedef enum zolta_unpack_rule {
  ZOLTA_UNPACK_SCRIPT = 0,
  ZOLTA_UNPACK_FILE = 1,
  ZOLTA_UNPACK_STRICT = 2
} zolta_unpack_rule;

ZOLTA_API void zolta_config_pack(const zolta_settings* settings, int32_t packed[9]);
/* Writes only the thresholds of `settings`; on failure writes nothing. */
ZOLTA_API int zolta_config_unpack(const int32_t packed[9], int32_t rule, zolta_settings* settings,
                                  zolta_error* error);

/* "Config(a, b, c, d, e, f, g, h, i)": nine integers, blanks free around
 * every token, an optional ';' after the call. Integers must fit in 32 bits;
 * their range is the unpack rule's business. */
ZOLTA_API int zolta_config_parse(const char* text, int32_t packed[9], zolta_error* error);
/* Writes "Config(a, b, c, d, e, f, g, h, i)" with its terminating zero.
 * Returns the length of the text without the zero; when `size` cannot hold
 * all of it, writes an empty text if size > 0 and returns the length needed. */
ZOLTA_API size_t zolta_config_format(const int32_t packed[9], char* buffer, size_t size);

/* A processing-settings file that VirtualDub saved with this filter: the
 * line after the first line that contains "quilmer" reads
 * "VirtualDub.video.filters.instance[N].Config(a, ..., i". Lines are taken in
 * pieces of at most 1023 characters. Files over ZOLTA_SETTINGS_FILE_MAX bytes,
 * directories and other non-files are refused. */
#define ZOLTA_SETTINGS_FILE_MAX (4 * 1024 * 1024)
ZOLTA_API int zolta_settings_file_read(const char* path, int32_t packed[9], zolta_error* error);
/* The same reading of a text already in memory (`length` bytes). */
ZOLTA_API int zolta_settings_text_read(const char* text, size_t length, int32_t packed[9],
                                       zolta_error* error);
/* The smallest settings file that both hosts read back as `packed`.
 * Returns the length as zolta_config_format does. */
ZOLTA_API size_t zolta_settings_file_format(const int32_t packed[9], char* buffer, size_t size);

/* ---- formats -------------------------------------------------------------------- */

typedef enum zolta_family {
  ZOLTA_FAMILY_GRAY = 0,   /* one plane */
  ZOLTA_FAMILY_YUV444 = 1, /* planes Y, Cb, Cr; chroma at full size */
  ZOLTA_FAMILY_YUV422 = 2, /* chroma at half width */
  ZOLTA_FAMILY_YUV420 = 3, /* chroma at half width and half height */
  ZOLTA_FAMILY_YUV411 = 4, /* chroma at a quarter of the width */
  ZOLTA_FAMILY_RGB = 5,    /* planes R, G, B */
  ZOLTA_FAMILY_RGB32 = 6,  /* packed: bytes B, G, R, unused; 8-bit only */
  ZOLTA_FAMILY_YUY2 = 7,   /* packed: bytes Y0, Cb, Y1, Cr; 8-bit only */
  ZOLTA_FAMILY_RGB24 = 8   /* packed: bytes R, G, B; 8-bit only */
} zolta_family;

typedef enum zolta_sample {
  ZOLTA_SAMPLE_INTEGER = 0, /* 8 bits: uint8_t; 9 to 16 bits: uint16_t, low bits */
  ZOLTA_SAMPLE_FLOAT = 1    /* 32-bit float */
} zolta_sample;

/* What the samples mean. The denoiser works on float planes on the 8-bit
 * scale, so that a threshold means the same at every depth:
 *   integer x of b bits -> (float)x * (float)(255.0 / (2^b - 1)) (exactly x
 *     at 8 bits); back: clamp(round(v * (float)((2^b - 1) / 255.0)), 0,
 *     2^b - 1), rounding to nearest, ties to even;
 *   float: Y, GRAY, R, G, B as v * 255 (0..1 -> 0..255); Cb, Cr as
 *     c * 255 + 128 (-0.5..0.5 -> 0..255); back v / 255 and
 *     (v - 128) / 255, not clamped.
 * YUV planes go in as they are (chroma centred at 128, as in YUY2). RGB
 * frames (planar at any depth, RGB24, RGB32) are denoised as Y, Cb, Cr made
 * from the 8-bit-scale R, G, B by the 32-bit RGB formulas
 *   Y = (0.587 G + 0.299 R) + 0.114 B, Cb = 0.565 (B - Y), Cr = 0.713 (R - Y)
 *   B = 1.77 Cb + Y, R = 1.403 Cr + Y, G = (-0.344 Cb - 0.714 Cr) + Y
 * in single precision in that order. Along rows, full-width chroma (4:4:4,
 * every RGB family) steps one level further apart than luma; subsampled
 * chroma steps as luma; along columns every plane steps as luma. So 8-bit
 * 4:2:2 gives the YUY2 bytes, and 8-bit planar RGB and RGB24 the RGB32 bytes,
 * in every view. */

typedef struct zolta_stream {
  uint32_t version
      ZOLTA_RECORD_VERSION; /* ZOLTA_API_VERSION of the caller (zolta_stream_default) */
  int32_t family;           /* zolta_family */
  int32_t sample;           /* zolta_sample */
  int32_t bits;             /* 8, 9, 10, 12, 14 or 16 for integers; 32 for float */
  int32_t width;            /* of the picture (of luma) */
  int32_t height;
  int32_t reserved[16];
} zolta_stream;

/* Family GRAY, 8-bit integers, size 0 x 0; `version` set, reserved zeroed. */
ZOLTA_API void zolta_stream_default(zolta_stream* stream, uint32_t version);

/* Checks a stream: ZOLTA_OK, or ZOLTA_ERROR_FORMAT / ZOLTA_ERROR_SIZE with a
 * message that names the format and the rule. Every plane's width and height
 * must be a positive multiple of 4 (so 4:2:0 needs multiples of 8, 4:1:1 a
 * width that is a multiple of 16, YUY2 a width that is a multiple of 8). */
ZOLTA_API int zolta_stream_check(const zolta_stream* stream, zolta_error* error);
/* Number of planes (1, 3, or 1 for the packed families) and the size of
 * plane p in samples (packed families: pixels of plane 0). */
ZOLTA_API int zolta_stream_planes(const zolta_stream* stream);
ZOLTA_API void zolta_stream_plane_size(const zolta_stream* stream, int plane, int32_t* width,
                                       int32_t* height);

/* One frame: a pointer to the first sample of each plane, the distance in
 * bytes from one row to the next (may be negative) and from one sample of a
 * row to the next. Packed families use plane 0 only. Planar RGB is R, G, B;
 * planar YUV is Y, Cb, Cr.
 *
 * The pixel step lets the planes of a planar family lie interleaved in one
 * picture, each plane pointing at its first sample: RGBA or BGRA of 8 or 16
 * bits (R, G, B at their offsets, step 4 or 8 bytes), grey with alpha (step 2
 * or 4), RGB of 16 bits (step 6). A step of 0 means the sample size (planes
 * of their own); otherwise it is a positive multiple of the sample size.
 * Samples between the steps (alpha) are never read or written. Packed
 * families take step 0 only. */
typedef struct zolta_frame {
  uint32_t version ZOLTA_RECORD_VERSION; /* ZOLTA_API_VERSION of the caller (zolta_frame_default) */
  void* data[3];
  ptrdiff_t stride[3];
  ptrdiff_t step[3];
  /* Used only by a denoiser with a temporal radius: 0, or the frame's
   * number in its stream plus one. A caller that numbers its frames promises
   * that every frame it gives one denoiser with the same number has the same
   * samples; the denoiser may then keep a frame it converted for one window
   * and use it again in the next, instead of converting it once per window
   * (each frame of a stream is in 2R + 1 windows). Frames numbered 0 are
   * converted every time. */
  intptr_t number;
  intptr_t reserved[7];
} zolta_frame;

/* No planes, every stride and step 0; `version` set, reserved zeroed. */
ZOLTA_API void zolta_frame_default(zolta_frame* frame, uint32_t version);

/* ---- the denoiser ------------------------------------------------------------------ */

typedef struct zolta_denoiser zolta_denoiser;

typedef struct zolta_denoiser_config {
  uint32_t version
      ZOLTA_RECORD_VERSION; /* ZOLTA_API_VERSION of the caller (zolta_denoiser_config_default) */
  zolta_stream stream;
  zolta_settings settings;
  int32_t threads; /* frames processed at once; 0 means 1 */
  /* Frames before and after the one denoised that the temporal step uses:
   * 0 (each frame on its own, the default), 1 or 2 (windows of 3 or 5
   * frames; zolta_denoiser_process_window). */
  int32_t temporal_radius;
  /* From version 1.1: threads that share the work of one frame (bands of
   * rows and of columns, planes' conversions), 0..64; 0 means 1, today's
   * behaviour. The denoiser starts frame_threads - 1 worker threads when it
   * is created and stops them when it is destroyed; a process call uses
   * them when it is the only call in process. The temporal step of a
   * plane is not cut (its block search runs in order), but the planes' steps
   * run at once. The output is the same byte for byte. */
  int32_t frame_threads;
  int32_t reserved[30];
} zolta_denoiser_config;

/* The stream's and the settings' defaults inside, threads 0; `version` of
 * all three set, reserved zeroed. */
ZOLTA_API void zolta_denoiser_config_default(zolta_denoiser_config* config, uint32_t version);

/* Builds the filter bank and the scratch areas. On failure *denoiser is null. */
ZOLTA_API int zolta_denoiser_create(const zolta_denoiser_config* config, zolta_denoiser** denoiser,
                                    zolta_error* error);
/* Replaces the settings; not beside a process call. */
ZOLTA_API int zolta_denoiser_update(zolta_denoiser* denoiser, const zolta_settings* settings,
                                    zolta_error* error);
/* Reads `in` and writes `out`, which may be the very same frame (same
 * pointers and strides) but must not otherwise overlap it. Allocates nothing.
 * Planes of 16-bit and float samples must be aligned to their sample size
 * (pointer and stride); every stride's size must be at least a row.
 * Runs under the processor's default floating-point mode and gives the
 * caller's mode back. */
ZOLTA_API int zolta_denoiser_process(zolta_denoiser* denoiser, const zolta_frame* in,
                                     const zolta_frame* out, zolta_error* error);

/* The temporal radius R of a denoiser (zolta_denoiser_config's
 * temporal_radius): output frame n is made from input frames n - R ... n + R. */
ZOLTA_API int zolta_denoiser_radius(const zolta_denoiser* denoiser);

/* Frame n from its window: `frames` holds `count` = 2R + 1 pointers to input
 * frames n - R ... n + R in order, frames[R] being frame n. At the ends of a
 * stream the caller fills the window by mirroring at the first and the last
 * frame (frame -k is frame k, frame N - 1 + k is frame N - 1 - k); a pointer
 * may appear more than once. A frame given again (the same plane pointers,
 * strides and steps as the centre or as a frame before it in the rule's
 * order) is left out, so a window mirrored at an end works as the shorter
 * window of the frames that exist. `out` may be frames[R] itself (same pointers,
 * strides and steps) but must not overlap any input frame otherwise. The
 * rules of zolta_denoiser_process hold for every frame of the window, and
 * with R = 0 the call is zolta_denoiser_process(frames[0], out). Threads may
 * process the windows of different frames at once; the input frames are only
 * read.
 *
 * With R > 0, every plane p whose temporal threshold v is not 0 goes through
 * the temporal step before the spatial one, on the 8-bit scale, with the
 * neighbours k (the other frames, n - R ... n - 1, then n + 1 ... n + R, in
 * that order, each once).
 *
 * Block matching: the plane is cut into blocks of 8 x 8 samples (smaller at
 * its right and bottom edges), row by row, left to right. The difference of
 * a block at displacement (dx, dy) in neighbour k is the sum, over its
 * columns j, of a_j = the sum of |f_k(x + dx, y + dy) - c(x, y)| down the
 * column (top to bottom), taken as ((a0 + a1) + (a2 + a3)) + ((a4 + a5) +
 * (a6 + a7)), absent columns 0; a displacement is tried only if |dx|, |dy|
 * <= 24 and the displaced block lies inside the plane. A candidate becomes
 * the best only if its difference is less than the best's. The candidates, in
 * order: the displacements found for the left, the upper and the upper right
 * block (each once), then (0, 0) if not yet tried, stopping as soon as the
 * best's difference is at most g = v * 7 / 128 times the block's samples;
 * then, at most 24 times, the four displacements one sample left, right,
 * up and down of the best, in that order, again if one of them became the
 * best, while the best's difference is above g or, unless 0, below g / 16
 * times the block's samples (far below the noise the settings are for: on
 * a cleaner picture, where a displacement a sample or two off passes too,
 * only a least difference ends the search). The block's mean is the best's
 * difference over its samples, its offset the sum of f_k(x + dx, y + dy) -
 * c(x, y) at the best's displacement, and its square the sum of
 * (f_k(x + dx, y + dy) - c(x, y))^2 there, each taken in the same order,
 * over its samples.
 *
 * A block matches if its mean <= v / 16 and |its offset| <= v * 3 / 128; it
 * joins if its mean <= u / 16, |its offset| <= u * 3 / 128 and its square
 * <= 2 * (mean * mean) + (u / 64) * (u / 64) in single precision (its
 * differences spread as noise's do, not a few samples far off and the rest
 * close, as a grid or text matched in the wrong place), u the block's own
 * threshold: v (as a float) where the plane's brightness gains are all 0;
 * otherwise u = v * g, g the gains' value (taken as zolta_settings'
 * brightness_gains describe, linear between band centres) at the mean of
 * the centre frame's block: its samples summed down each column, the
 * column sums as the difference's, over the block's samples. Neighbour k
 * is taken only if it holds the centre's scene:
 * with B the plane's blocks off its outer ring (not in the first or last
 * row or column of blocks; all blocks if the plane has fewer than 3 blocks
 * across or down), M those of them that match and were found short of
 * the search's bound (|dx| < 24 and |dy| < 24: one found at the bound may
 * have stopped there on motion beyond it, and on a smooth picture under
 * much noise many blocks match picture that is not theirs) and D the sum
 * of their offsets (block rows top to bottom, each left to right, from 0,
 * single precision), 16 M >= 13 B and |D| <= (v / 512) * (M + 16) in
 * single precision. A neighbour not taken (a cut, a flash, a fade, motion
 * beyond the search) adds nothing to the plane.
 *
 * Averaging: with c the centre frame's sample and f_k the sample of
 * neighbour k at the displacement of its block, the sample becomes s / m
 * with s = c, m = 1, and for every taken k in order s = s + (joins ? f_k :
 * 0), m = m + (joins ? 1 : 0), where joins is (the block joins and |f_k - c|
 * <= u / 4); single precision, in this order. What the search did not
 * follow (a new object, a change of light, a pattern that repeats) leaves a
 * poor, offset or unevenly spread match and keeps the centre's sample;
 * noise is averaged away.
 *
 * The spatial step of plane p then runs with its thresholds scaled by the
 * share S of the radius (temporal_spatial_share, 0 meaning 256), which with
 * K < 2R other frames taken for the plane (at a stream's ends, or where
 * some hold another scene; every other frame for a plane without the
 * temporal step) it takes as 256 - ((256 - S) K) / (2R) in integers; and (outside the High view) a sample t of the
 * temporal step that the spatial step made u becomes u + (t - u) * w with
 * w = (float)(q (m - 1)) / (float)(512 R), q the temporal_restore of the
 * radius. */
ZOLTA_API int zolta_denoiser_process_window(zolta_denoiser* denoiser,
                                            const zolta_frame* const* frames, int32_t count,
                                            const zolta_frame* out, zolta_error* error);
ZOLTA_API void zolta_denoiser_destroy(zolta_denoiser* denoiser);

/* ---- choosing settings from the noise ------------------------------------------------ */

/* Estimates the standard deviation of white noise in each plane of one
 * frame, on the 8-bit scale, from the median absolute deviation of its
 * finest detail. Planes the stream lacks get 0. */
ZOLTA_API int zolta_noise_estimate(const zolta_stream* stream, const zolta_frame* frame,
                                   float sigma[3], zolta_error* error);
/* The same from `count` (1 or more) consecutive frames of one stream,
 * frames[0] first; the frames are only read. Texture repeats from one frame
 * to the next, noise does not: each block of 16 x 16 samples of a plane is
 * looked for in the next frame up to 4 samples away each way (so a picture
 * panning by a few samples a frame is followed), and the median spread of
 * the differences where blocks are found again gives sigma * sqrt(2). Plane
 * p gets the smaller of that and the median over the frames of
 * zolta_noise_estimate's sigma[p]; blocks given twice (a repeated frame) do
 * not count, and with fewer than 8 blocks found again, or count 1, it is
 * that median alone: count 1 gives exactly zolta_noise_estimate's values.
 * One frame takes fine texture for noise too; frames that repeat it read
 * nearer the noise. ZOLTA_ERROR_ARGUMENT for a count below 1 or a null pointer (of the
 * array or a frame in it); a frame that does not fit the stream gives the
 * error zolta_noise_estimate gives, naming the frame. Single precision in a
 * fixed order: the same values on every processor. */
ZOLTA_API int zolta_noise_estimate_frames(const zolta_stream* stream,
                                          const zolta_frame* const* frames, int32_t count,
                                          float sigma[3], zolta_error* error);
/* Settings for noise of standard deviation sigma[p] in the denoiser's plane
 * p (8-bit scale, 0 < sigma <= 50; planes the family lacks are ignored), from
 * a table measured on photographs with added Gaussian noise; the temporal
 * fields too (used only by a denoiser with a temporal radius), from a table
 * measured on clips cut from photographs. What zolta_noise_estimate
 * measures goes in as it is. */
ZOLTA_API int zolta_settings_for_sigma(const float sigma[3], int32_t family,
                                       zolta_settings* settings, zolta_error* error);

/* Noise given in the input's own channels (R, G, B for the RGB families,
 * independent in each; Y, Cb, Cr or grey otherwise), standard deviations on
 * the 8-bit scale, as the noise of the denoiser's planes: for RGB, in
 * Y = 0.299 R + 0.587 G + 0.114 B, Cb = 0.565 (B - Y), Cr = 0.713 (R - Y);
 * for every other family the same values. */
ZOLTA_API int zolta_noise_to_planes(const float channel_sigma[3], int32_t family,
                                    float plane_sigma[3], zolta_error* error);
/* The two steps at once: settings for noise given in the input's channels.
 * Every face that takes a noise level from its user goes through this. */
ZOLTA_API int zolta_settings_for_noise(const float channel_sigma[3], int32_t family,
                                       zolta_settings* settings, zolta_error* error);

/* ---- the noise model ---------------------------------------------------------------
 *
 * What a stream's frames are measured to hold: per plane, the noise of a
 * sample, the noise each of the eighteen thresholds faces, and how the noise
 * changes with brightness. Camera noise is not white: demosaicing and scaling
 * spread it over neighbouring samples (more of it in the coarser levels) and
 * its level follows the light (shot noise, gamma). Settings made from the
 * model (zolta_settings_for_model) follow that; the model can be kept as a
 * small text file, a noise profile, and read back. */

enum { ZOLTA_NOISE_BANDS = 16 };

typedef struct zolta_noise_model {
  uint32_t version
      ZOLTA_RECORD_VERSION; /* ZOLTA_API_VERSION of the caller (zolta_noise_model_default) */
  int32_t planes;           /* planes measured: 1 (GRAY) or 3; 0: none (an empty model) */
  int32_t frames;           /* frames it was measured on (0: not known) */
  /* Bit p set: plane p was measured across frames (what changed between
   * motion-matched blocks of consecutive frames); clear: from one frame's
   * finest detail, white noise assumed (detail[p] all sigma[p], curve flat). */
  int32_t across;
  /* Standard deviation of the noise of one sample, 8-bit scale. */
  float sigma[3];
  /* [plane][direction][level] as zolta_settings' thresholds: the noise in
   * the detail that threshold is compared with, given as the standard
   * deviation of the white noise that would put as much noise there. White
   * noise of sigma s gives s in all six; correlated noise less in the fine
   * levels and more in the coarse. */
  float detail[3][2][3];
  /* The noise of a sample (standard deviation, 8-bit scale) where the
   * plane's local mean (over 16 x 16 samples) is (k + 0.5) * 16, k = 0..15;
   * between those points it is taken linearly, beyond the first and the
   * last as the nearest. Bands the frames did not show hold the nearest
   * band measured. */
  float curve[3][ZOLTA_NOISE_BANDS];
  int32_t reserved[64];
} zolta_noise_model;

/* An empty model (planes 0); `version` set, reserved zeroed. */
ZOLTA_API void zolta_noise_model_default(zolta_noise_model* model, uint32_t version);

/* Measures the model on `count` (1 or more) consecutive frames of one
 * stream, frames[0] first; the frames are only read. `model` must carry its
 * version (zolta_noise_model_default); every other field is written.
 *
 * Across frames: blocks of 16 x 16 samples of a plane (at most 96 a pair of
 * frames, on a lattice over the plane, far enough inside that every level's
 * detail comes from the plane's own samples) are looked for in the next
 * frame up to 4 samples away each way (chosen on their even rows);
 * each frame's plane goes through the undecimated transform the denoiser
 * uses (along rows, and along columns, three levels each) and the detail of
 * the two frames at the matched positions is differenced on the block's odd
 * rows. The median over the blocks of those mean squares, halved, gives the
 * noise of each level and direction; of the samples themselves, sigma; of
 * the samples of the blocks whose mean lies in a brightness band, that
 * band's point of the curve (bands of fewer than 8 blocks take their
 * neighbours'). What repeats is picture and cancels; blocks that are not
 * found again (motion, a cut) lie above the median; blocks given twice
 * (a repeated frame) do not count. A plane with fewer than 8 blocks found
 * again, a reading above 4 times the one-frame estimate, blocks whose
 * readings' upper quartile lies above 8 times the lower (picture the search
 * did not follow), or count 1 is
 * measured on its one-frame estimate (zolta_noise_estimate's, the median
 * over the frames) as white noise. Single precision in a fixed order: the
 * same values on every processor. Errors as zolta_noise_estimate_frames. */
ZOLTA_API int zolta_noise_measure(const zolta_stream* stream, const zolta_frame* const* frames,
                                  int32_t count, zolta_noise_model* model, zolta_error* error);

/* Settings for a model, per plane of the family (GRAY: plane 0). With the
 * plane's peak, the largest of sigma[p] and curve[p][0..15] (the noise where
 * the plane is noisiest), each of the eighteen thresholds is the
 * noise-level table's threshold of its level and direction
 * (zolta_settings_for_sigma) for the peak, times a power of how spread the
 * noise is along that direction: c = detail[p][d][2] / detail[p][d][0]
 * (1 where that is below 1 or detail[p][d][0] is 0, at most 3), raised to
 * q / 4 with q per level, along rows then columns, 0 3 5 and -4 0 1 for
 * plane 0, 0 8 4 and -6 -4 -2 for planes 1 and 2 (demosaiced or scaled
 * noise, spread over neighbouring samples, wants the coarse levels along
 * rows harder and what the pass along columns meets softer); the power is
 * made of square roots and products, in single precision, and the product
 * rounded to nearest, at most ZOLTA_THRESHOLD_MAX. The
 * temporal fields are zolta_settings_for_sigma's for the peaks. From 1.2 the
 * brightness gains follow the curve: band k's gain is the sum of the table's
 * six thresholds of the plane for min(curve[p][k], peak) over that sum for
 * the peak (1024ths; a band of no noise 0), and a flat curve gives none (all
 * 0). A plane's temporal threshold is then widened for noise spread over
 * neighbouring samples, which moves a block's differences more than white
 * noise does: times the largest of detail[p][0][2] and detail[p][1][2] over
 * sigma[p], taken between 1 and 7 / 6 (rounded to the nearest, at most
 * ZOLTA_THRESHOLD_MAX). So a model of white noise (all values sigma) gives
 * what zolta_settings_for_sigma gives.
 * Values must be finite, 0..255 (a plane of sigma 0 is left alone);
 * ZOLTA_ERROR_ARGUMENT otherwise, or for a model with fewer planes than the
 * family. */
ZOLTA_API int zolta_settings_for_model(const zolta_noise_model* model, int32_t family,
                                       zolta_settings* settings, zolta_error* error);

/* ---- noise profiles: the model as text ---------------------------------------------
 *
 * A profile is a short text (doc/noise-profile.md), one item a line:
 *   zolta noise profile 1
 *   planes 3
 *   frames 8                      (optional)
 *   across 0 1 1                  (optional: per plane, 1 measured across frames)
 *   sigma 3.87 3.48 3.42
 *   detail P X|Y D0 D1 D2         (for every plane P and both directions)
 *   curve P C0 ... C15            (for every plane P)
 * Blank lines and lines starting with '#' are ignored; every value is a
 * decimal number 0..255. The first line names the format's version; a
 * reader refuses a version it does not know, an unknown or repeated item, a
 * missing one, and any value out of its range, naming the line. */

/* Writes the profile of `model` with its terminating zero; returns the
 * length as zolta_config_format does (0 for a null or empty model). */
ZOLTA_API size_t zolta_noise_profile_format(const zolta_noise_model* model, char* buffer,
                                            size_t size);
/* Reads a profile of `length` bytes into `model`, which must carry its
 * version; on failure the model is left as it was (ZOLTA_ERROR_SETTINGS). */
ZOLTA_API int zolta_noise_profile_parse(const char* text, size_t length, zolta_noise_model* model,
                                        zolta_error* error);
/* The same from a file of at most ZOLTA_NOISE_PROFILE_MAX bytes
 * (ZOLTA_ERROR_FILE_OPEN for one that cannot be opened or is no file,
 * ZOLTA_ERROR_FILE_INVALID for one too large or not a profile). */
#define ZOLTA_NOISE_PROFILE_MAX (64 * 1024)
ZOLTA_API int zolta_noise_profile_read(const char* path, zolta_noise_model* model,
                                       zolta_error* error);

#ifdef __cplusplus
}
#endif

#endif /* ZOLTA_H */
