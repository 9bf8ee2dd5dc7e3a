/* SPDX-License-Identifier: BSD-2-Clause */
/* A caller written in C: its records come from the _default calls. */
#include <stdio.h>
#include <string.h>

#include "zolta.h"

int c_caller_denoise_gray(uint8_t* samples, int32_t width, int32_t height, char* message,
                          size_t size) {
  zolta_denoiser_config config;
  zolta_denoiser* denoiser = NULL;
  zolta_frame frame;
  zolta_error error;
  const float sigma[3] = {10.0f, 10.0f, 10.0f};
  int status;
  zolta_denoiser_config_default(&config, ZOLTA_API_VERSION);
  config.stream.family = ZOLTA_FAMILY_GRAY;
  config.stream.width = width;
  config.stream.height = height;
  status = zolta_settings_for_sigma(sigma, ZOLTA_FAMILY_GRAY, &config.settings, &error);
  if (status == ZOLTA_OK) status = zolta_denoiser_create(&config, &denoiser, &error);
  if (status == ZOLTA_OK) {
    zolta_frame_default(&frame, ZOLTA_API_VERSION);
    frame.data[0] = samples;
    frame.stride[0] = width;
    status = zolta_denoiser_process(denoiser, &frame, &frame, &error);
  }
  zolta_denoiser_destroy(denoiser);
  if (status != ZOLTA_OK) snprintf(message, size, "%s", error.message);
  return status;
}
