/* SPDX-License-Identifier: BSD-2-Clause */
/* A C program of a library user: it includes <zolta.h>, links -lzolta and
 * denoises one 4:2:0 8-bit frame of fixed content with fixed thresholds,
 * writing the frame's planes (Y, Cb, Cr) to the file it is given. Built once
 * against the build tree and once against each installed copy of the
 * library, the files must be equal. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <zolta.h>

enum { WIDTH = 64, HEIGHT = 48 };

static void fill(uint8_t* plane, int size, uint32_t seed) {
  uint32_t x = seed;
  for (int i = 0; i < size; ++i) {
    x = x * 1664525u + 1013904223u;
    plane[i] = (uint8_t)(128 + (int)(x >> 26) - 32 + (i % 7) * 9);
  }
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: denoise_frame OUTPUT\n");
    return 2;
  }
  static uint8_t y[WIDTH * HEIGHT], cb[WIDTH * HEIGHT / 4], cr[WIDTH * HEIGHT / 4];
  fill(y, sizeof y, 1);
  fill(cb, sizeof cb, 2);
  fill(cr, sizeof cr, 3);

  zolta_denoiser_config config;
  zolta_denoiser_config_default(&config, ZOLTA_API_VERSION);
  config.stream.family = ZOLTA_FAMILY_YUV420;
  config.stream.sample = ZOLTA_SAMPLE_INTEGER;
  config.stream.bits = 8;
  config.stream.width = WIDTH;
  config.stream.height = HEIGHT;
  for (int p = 0; p < ZOLTA_PLANES; ++p) {
    for (int d = 0; d < ZOLTA_DIRECTIONS; ++d) {
      for (int l = 0; l < ZOLTA_LEVELS; ++l) config.settings.thresholds[p][d][l] = 160 >> l;
    }
  }
  config.threads = 1;

  zolta_error error;
  zolta_denoiser* denoiser = NULL;
  if (zolta_stream_check(&config.stream, &error) != ZOLTA_OK ||
      zolta_denoiser_create(&config, &denoiser, &error) != ZOLTA_OK) {
    fprintf(stderr, "denoise_frame: %s\n", error.message);
    return 1;
  }
  zolta_frame frame;
  zolta_frame_default(&frame, ZOLTA_API_VERSION);
  frame.data[0] = y;
  frame.data[1] = cb;
  frame.data[2] = cr;
  frame.stride[0] = WIDTH;
  frame.stride[1] = WIDTH / 2;
  frame.stride[2] = WIDTH / 2;
  const int status = zolta_denoiser_process(denoiser, &frame, &frame, &error);
  zolta_denoiser_destroy(denoiser);
  if (status != ZOLTA_OK) {
    fprintf(stderr, "denoise_frame: %s\n", error.message);
    return 1;
  }

  FILE* out = fopen(argv[1], "wb");
  if (!out) {
    perror(argv[1]);
    return 1;
  }
  const int ok = fwrite(y, 1, sizeof y, out) == sizeof y &&
                 fwrite(cb, 1, sizeof cb, out) == sizeof cb &&
                 fwrite(cr, 1, sizeof cr, out) == sizeof cr;
  if (fclose(out) != 0 || !ok) {
    fprintf(stderr, "denoise_frame: cannot write %s\n", argv[1]);
    return 1;
  }
  printf("%s: %dx%d 4:2:0 frame denoised\n", zolta_version_text(), WIDTH, HEIGHT);
  return 0;
}
