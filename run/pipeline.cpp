// SPDX-License-Identifier: BSD-2-Clause
#include "pipeline.h"

#include <pthread.h>
#include <signal.h>

#include <climits>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace {

enum class SlotState { Free, Queued, Working, Done };

class Pipeline {
 public:
  explicit Pipeline(const PipelineStages& stages)
      : stages_(stages),
        state_(stages.slots, SlotState::Free),
        frame_(stages.slots, -1),
        bytes_(stages.slots, 0) {}

  bool run(std::string& error, PipelineStats* stats) {
    std::vector<std::thread> workers;
    std::thread writer;
    // The threads started here leave the signals that end a run (interrupt,
    // terminate, hang-up) to the calling thread, where a step that must not
    // be cut can hold them back. A broken pipe stays with the writer.
    sigset_t ending, saved;
    sigemptyset(&ending);
    sigaddset(&ending, SIGINT);
    sigaddset(&ending, SIGTERM);
    sigaddset(&ending, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &ending, &saved);
    try {
      for (int w = 0; w < stages_.threads; ++w) workers.emplace_back([this, w] { work_loop(w); });
      writer = std::thread([this] { write_loop(); });
      pthread_sigmask(SIG_SETMASK, &saved, nullptr);
      read_loop();
    } catch (const std::system_error&) {
      pthread_sigmask(SIG_SETMASK, &saved, nullptr);
      fail(0, "cannot start the worker threads");
      std::lock_guard<std::mutex> lock(mutex_);
      input_done_ = true;
    }
    wake_all();
    for (std::thread& t : workers) t.join();
    if (writer.joinable()) writer.join();
    if (stats) {
      stats->frames_written = next_write_;
      stats->most_in_flight = most_in_flight_;
      stats->most_bytes_in_flight = most_bytes_;
    }
    if (failed_index_ == LONG_MAX) return true;
    error = failed_message_;
    return false;
  }

 private:
  // Keeps the failure of the earliest frame; nothing after it is read, worked
  // on or written. Called with the lock held.
  void fail_locked(long index, const std::string& message) {
    if (index < failed_index_) {
      failed_index_ = index;
      failed_message_ = message;
    }
  }
  void fail(long index, const std::string& message) {
    std::lock_guard<std::mutex> lock(mutex_);
    fail_locked(index, message);
  }
  void wake_all() {
    slot_freed_.notify_all();
    job_added_.notify_all();
    slot_done_.notify_all();
  }

  // The stage functions may throw (out of memory); that fails the frame.
  template <typename Call>
  static bool guarded(Call call, std::string& message) {
    try {
      return call();
    } catch (const std::bad_alloc&) {
      message = "out of memory";
    } catch (const std::exception& e) {
      message = e.what();
    }
    return false;
  }

  void read_loop() {
    for (long index = 0;; ++index) {
      int slot = -1;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        slot_freed_.wait(
            lock, [&] { return index >= failed_index_ || (free_slot() >= 0 && within_budget()); });
        if (index >= failed_index_) break;
        slot = free_slot();
        state_[slot] = SlotState::Queued;  // taken by the reader until it is filled
        ++in_flight_;
        if (in_flight_ > most_in_flight_) most_in_flight_ = in_flight_;
      }
      std::string message;
      ReadResult got = ReadResult::Error;
      if (!guarded(
              [&] {
                got = stages_.read(slot, index, message);
                return true;
              },
              message))
        got = ReadResult::Error;
      const size_t bytes =
          got == ReadResult::Frame && stages_.frame_bytes ? stages_.frame_bytes(slot) : 0;
      std::lock_guard<std::mutex> lock(mutex_);
      if (got != ReadResult::Frame) {
        state_[slot] = SlotState::Free;
        --in_flight_;
        if (got == ReadResult::Error) fail_locked(index, message);
        frames_read_ = index;
        break;
      }
      frame_[slot] = index;
      bytes_[slot] = bytes;
      last_bytes_ = bytes;
      bytes_in_flight_ += bytes;
      if (bytes_in_flight_ > most_bytes_) most_bytes_ = bytes_in_flight_;
      jobs_.push_back(slot);
      job_added_.notify_one();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (frames_read_ < 0) frames_read_ = failed_index_;
    input_done_ = true;
    job_added_.notify_all();
    slot_done_.notify_all();
  }

  void work_loop(int worker) {
    for (;;) {
      int slot;
      long index;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        job_added_.wait(lock, [&] { return !jobs_.empty() || input_done_; });
        if (jobs_.empty()) return;
        slot = jobs_.front();
        jobs_.pop_front();
        index = frame_[slot];
        if (index > failed_index_) {  // after a failed frame: dropped
          state_[slot] = SlotState::Done;
          slot_done_.notify_all();
          continue;
        }
        state_[slot] = SlotState::Working;
      }
      std::string message;
      const bool ok = guarded([&] { return stages_.work(slot, worker, index, message); }, message);
      std::lock_guard<std::mutex> lock(mutex_);
      if (!ok) {
        fail_locked(index, message);
        slot_freed_.notify_all();
      }
      state_[slot] = SlotState::Done;
      slot_done_.notify_all();
    }
  }

  void write_loop() {
    for (;;) {
      int slot = -1;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        slot_done_.wait(lock, [&] {
          if (next_write_ >= failed_index_) return true;
          if (input_done_ && next_write_ >= frames_read_) return true;
          slot = done_slot(next_write_);
          return slot >= 0;
        });
        if (slot < 0) break;
      }
      std::string message;
      const bool ok = guarded([&] { return stages_.write(slot, next_write_, message); }, message);
      std::lock_guard<std::mutex> lock(mutex_);
      if (!ok) fail_locked(next_write_, message);
      state_[slot] = SlotState::Free;
      --in_flight_;
      bytes_in_flight_ -= bytes_[slot];
      bytes_[slot] = 0;
      ++next_write_;
      slot_freed_.notify_all();
    }
  }

  // Room for one more frame the size of the last one read; always for the
  // first frame in flight.
  bool within_budget() const {
    return stages_.memory_budget == 0 || in_flight_ == 0 ||
           bytes_in_flight_ + last_bytes_ <= stages_.memory_budget;
  }
  int free_slot() const {
    for (size_t s = 0; s < state_.size(); ++s)
      if (state_[s] == SlotState::Free) return static_cast<int>(s);
    return -1;
  }
  int done_slot(long index) const {
    for (size_t s = 0; s < state_.size(); ++s)
      if (state_[s] == SlotState::Done && frame_[s] == index) return static_cast<int>(s);
    return -1;
  }

  const PipelineStages& stages_;
  std::mutex mutex_;
  std::condition_variable slot_freed_, job_added_, slot_done_;
  std::vector<SlotState> state_;
  std::vector<long> frame_;
  std::vector<size_t> bytes_;  // what each slot's frame takes
  std::deque<int> jobs_;
  long frames_read_ = -1;  // known once input_done_
  bool input_done_ = false;
  long next_write_ = 0;
  int in_flight_ = 0;
  int most_in_flight_ = 0;
  size_t bytes_in_flight_ = 0, last_bytes_ = 0, most_bytes_ = 0;
  long failed_index_ = LONG_MAX;
  std::string failed_message_;
};

}  // namespace

int pipeline_slots(int threads) {
  return 2 * threads + 2;
}

bool run_pipeline(const PipelineStages& stages, std::string& error, PipelineStats* stats) {
  if (stages.threads < 1 || stages.slots < stages.threads + 2) {
    error = "internal error: a pipeline needs a worker and two slots more than workers";
    return false;
  }
  Pipeline pipeline(stages);
  return pipeline.run(error, stats);
}
