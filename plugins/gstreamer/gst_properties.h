/* SPDX-License-Identifier: BSD-2-Clause */
// The element's properties, made from the rows of the parameter table that
// the GStreamer face offers, in table order: numbers as doubles or integers
// in the row's range, choices as an enumeration, texts and lists as strings
// (a list "a,b,..."). An integer row without a default takes min - 1 for
// "not given" (plane -1: the picture itself).
#pragma once

#include <glib-object.h>

#include "editor_settings.h"
#include "parameters.h"

int zolta_gst_param_count();
// The row of property id (1..count), or null.
const ParamDef* zolta_gst_param(guint property_id);
GParamSpec* zolta_gst_param_spec(const ParamDef& p);

// A property's value into the values the settings are made from, and back.
void zolta_gst_param_store(const ParamDef& p, const GValue* value, EditorValues* values);
void zolta_gst_param_load(const ParamDef& p, const EditorValues& values, GValue* value);
// The values every property starts with.
EditorValues zolta_gst_defaults();
