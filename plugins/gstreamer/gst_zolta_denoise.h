/* SPDX-License-Identifier: BSD-2-Clause */
// The element zoltadenoise: a GstVideoFilter that denoises each frame in
// place on its streaming thread, one frame at a time.
#pragma once

#include <gst/gst.h>

G_BEGIN_DECLS

GType gst_zolta_denoise_get_type(void);
#define GST_TYPE_ZOLTA_DENOISE (gst_zolta_denoise_get_type())

G_END_DECLS
