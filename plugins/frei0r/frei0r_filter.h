/* SPDX-License-Identifier: BSD-2-Clause */
// One frei0r instance: a frame size, the parameters as the host set them and
// the denoiser they give. Each instance is its own: the host may create
// several and call them from several threads; the calls on one instance are
// serialised by its lock. Allocation happens only at construction.
#pragma once

#include <cstdint>
#include <string>

struct Frei0rFilter;

// A size the engine refuses, or an empty frame, gives an instance that lets
// frames pass through unchanged, with *message saying why; null only when
// memory runs out (*message). *message is empty when all is well.
Frei0rFilter* frei0r_filter_create(unsigned width, unsigned height, std::string* message);
void frei0r_filter_destroy(Frei0rFilter* filter);

// frei0r's parameter calls: `param` points at a double or at a char pointer.
void frei0r_filter_set(Frei0rFilter* filter, const void* param, int index);
void frei0r_filter_get(Frei0rFilter* filter, void* param, int index);

// A BGRA frame of the instance's size into another (or the same). Alpha is
// copied as it is. Settings the engine refuses let the frame pass through
// unchanged, and their message goes to standard error once.
void frei0r_filter_update(Frei0rFilter* filter, const uint32_t* in, uint32_t* out);
