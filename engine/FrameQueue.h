// The hand-over between the engine's two threads: the decoding thread pushes
// filtered frames, the encoding thread pops them, and a small capacity
// (at least 2) keeps the decoder at most a few frames ahead (memory stays flat, and a failing
// encoder stops the decoder at once). Either side may abort; the other then
// sees false from its next Push or Pop and never waits for ever.
// Ownership: the queue owns the frames it holds and frees them when aborted
// or destroyed. Thread: one producer and one consumer thread.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>

#include "LibavOwners.h"

namespace evc {

class FrameQueue {
 public:
  explicit FrameQueue(size_t capacity) : capacity_(capacity) {}

  // Waits while the queue is full. False when the queue was aborted: the
  // frame is dropped and the producer should stop.
  bool Push(FramePtr frame) {
    std::unique_lock lock(mutex_);
    if (frames_.size() >= capacity_) {
      // Once full, wait until half is taken: one wake-up per half queue
      // rather than one per frame for the faster side, which matters when
      // the cores are busy.
      producerWaiting_ = true;
      notFull_.wait(lock, [&] { return aborted_ || frames_.size() <= capacity_ / 2; });
      producerWaiting_ = false;
    }
    if (aborted_) return false;
    frames_.push_back(std::move(frame));
    if (consumerWaiting_) notEmpty_.notify_one();
    return true;
  }

  // Waits for a frame. False when no frame will come: the producer finished
  // and every frame was taken, or the queue was aborted.
  bool Pop(FramePtr& frame) {
    std::unique_lock lock(mutex_);
    if (frames_.empty()) {
      // The encoder is the slower side: it takes the first frame there is,
      // for every moment it waits is lost from the whole job.
      consumerWaiting_ = true;
      notEmpty_.wait(lock, [&] { return aborted_ || finished_ || !frames_.empty(); });
      consumerWaiting_ = false;
    }
    if (aborted_ || frames_.empty()) return false;
    frame = std::move(frames_.front());
    frames_.pop_front();
    if (producerWaiting_ && frames_.size() <= capacity_ / 2) notFull_.notify_one();
    return true;
  }

  // The producer has no more frames; those queued are still delivered.
  void Finish() {
    std::lock_guard lock(mutex_);
    finished_ = true;
    notEmpty_.notify_all();
  }

  // Stops both sides now; queued frames are freed.
  void Abort() {
    std::lock_guard lock(mutex_);
    aborted_ = true;
    frames_.clear();
    notFull_.notify_all();
    notEmpty_.notify_all();
  }

 private:
  const size_t capacity_;
  std::mutex mutex_;
  std::condition_variable notFull_;
  std::condition_variable notEmpty_;
  std::deque<FramePtr> frames_;
  bool finished_ = false;
  bool aborted_ = false;
  bool producerWaiting_ = false;
  bool consumerWaiting_ = false;
};

}  // namespace evc
