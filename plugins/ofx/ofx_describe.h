/* SPDX-License-Identifier: BSD-2-Clause */
// What the effect tells the host about itself: in Describe its labels,
// contexts, depths and render behaviour; in DescribeInContext its two clips
// and its parameters.
#pragma once

#include "ofx_api.h"

OfxStatus ofx_describe(OfxImageEffectHandle effect);
OfxStatus ofx_describe_in_context(OfxImageEffectHandle effect);

// Whether the host takes images at other times than the one rendered.
bool ofx_host_has_temporal_access();
