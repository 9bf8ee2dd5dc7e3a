/* SPDX-License-Identifier: BSD-2-Clause */
// Frames through three stages at once: read in order on the calling thread,
// worked on by several threads, written in order by one more. The frames live
// in a fixed set of slots that are reused, so memory stays the same however
// long the stream is.
//
// Errors: the first frame (in stream order) whose reading, work or writing
// fails stops the run; every frame before it is still worked on and written,
// none after it, and that frame's message is the one returned. So the result
// does not depend on the number of threads or on timing.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "ppm_io.h"  // ReadResult

struct PipelineStages {
  int threads = 1;  // worker threads, 1 or more
  int slots = 4;    // frames held at once, at least threads + 2
  // Memory the frames held at once may take, in bytes (0: no bound but the
  // slots). A frame is read only while the frames held, with one more of the
  // size of the last one read, fit; one frame is always allowed. So the
  // frames held stay within the budget unless one frame alone is larger, or
  // a frame is larger than the one before it (by at most that growth).
  size_t memory_budget = 0;
  // The memory a slot's frame takes, asked once it is read (with a budget).
  std::function<size_t(int slot)> frame_bytes;
  // Fills a slot with frame `index` (0, 1, 2 ...); End after the last frame.
  std::function<ReadResult(int slot, long index, std::string& error)> read;
  // Works on a slot in place; `worker` is 0..threads-1, the caller's thread.
  std::function<bool(int slot, int worker, long index, std::string& error)> work;
  // Writes a worked slot; called in frame order.
  std::function<bool(int slot, long index, std::string& error)> write;
};

struct PipelineStats {
  long frames_written = 0;
  int most_in_flight = 0;           // the largest number of slots in use at one time
  size_t most_bytes_in_flight = 0;  // the most memory their frames took at one time
};

// Slots for a number of worker threads: a few frames per thread.
int pipeline_slots(int threads);

// Runs the stages until the input ends or a frame fails. False with the
// failing frame's message on failure.
bool run_pipeline(const PipelineStages& stages, std::string& error, PipelineStats* stats = nullptr);
