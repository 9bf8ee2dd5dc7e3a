// SPDX-License-Identifier: BSD-2-Clause
// The GStreamer plugin "zolta" (libgstzolta.so): the element zoltadenoise.
#include <gst/gst.h>

#include "gst_zolta_denoise.h"

namespace {

gboolean plugin_init(GstPlugin* plugin) {
  return gst_element_register(plugin, "zoltadenoise", GST_RANK_NONE, GST_TYPE_ZOLTA_DENOISE);
}

}  // namespace

#define PACKAGE "zolta"
GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, zolta, "zolta wavelet noise reduction",
                  plugin_init, "1.0", GST_LICENSE_UNKNOWN, "zolta", "zolta")
