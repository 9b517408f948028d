// The record pipeline: one thread scans, the other writes.
#include "record_pipeline.hpp"

#include <array>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "list_file.hpp"

namespace m3u2lst {

namespace {

/// Fills `chunk`, emptied first, with the next records, after `line_end`
/// where it is the first chunk to hold any, until it holds about
/// `chunk_bytes` or the text is done. A fill that found no record starts the chunk again, so that a
/// line end is never written without records behind it. Returns whether more records may follow.
/// Throws std::bad_alloc when memory runs out.
bool fill_chunk(PlaylistScanner& scanner, RecordChunk& chunk, std::string_view line_end,
                std::size_t chunk_bytes) {
  bool more = true;
  do {
    chunk.clear();
    if (!line_end.empty()) {
      std::memcpy(chunk.reserve(line_end.size()), line_end.data(), line_end.size());
      chunk.commit(line_end.size());
    }
    more = scanner.fill(chunk, chunk_bytes);
  } while (more && chunk.size() == line_end.size());
  if (chunk.size() == line_end.size()) {
    chunk.clear();  // the text is done, and gave no records
  }
  return more;
}

/// The save on one thread: fill a chunk, write it, and so on.
Failure write_on_one_thread(PlaylistScanner& scanner, std::string_view line_end,
                            std::size_t chunk_bytes, const ChunkWriter& write) {
  RecordChunk chunk;
  chunk.reserve(chunk_bytes + 4096);
  bool more = true;
  while (more) {
    more = fill_chunk(scanner, chunk, line_end, chunk_bytes);
    if (chunk.size() > 0) {
      if (const Failure failure = write(chunk.records(), line_end.size())) {
        return failure;
      }
      line_end = {};  // written with the first records
    }
  }
  return {};
}

/// Three chunks passed between the scanning thread and the writing one, in
/// a ring: the scanner fills chunk `filled % 3` while fewer than three wait,
/// and the writer writes chunk `written % 3` while any waits.
class Handover {
 public:
  explicit Handover(std::size_t chunk_bytes) {
    for (RecordChunk& chunk : chunks_) {
      chunk.reserve(chunk_bytes + 4096);
    }
  }

  /// The scanning thread: fills chunks and hands them over until the text
  /// is done, memory runs out, or the writer gives up.
  void scan(PlaylistScanner& scanner, std::string_view line_end, std::size_t chunk_bytes) {
    bool more = true;
    while (more) {
      std::size_t slot;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return filled_ - written_ < chunks_.size() || stopped_; });
        if (stopped_) {
          return;
        }
        slot = filled_ % chunks_.size();
      }
      RecordChunk& chunk = chunks_[slot];
      try {
        more = fill_chunk(scanner, chunk, line_end, chunk_bytes);
      } catch (const std::bad_alloc&) {
        finish(Failure{Step::kListMemory, 0});
        return;
      }
      if (chunk.size() > 0) {
        line_end = {};  // gone with the first records
        std::lock_guard lock(mutex_);
        ++filled_;
      }
      changed_.notify_all();
    }
    finish({});
  }

  /// The writing thread: writes each chunk as it comes, in order, until the
  /// scanner is done or a write fails.
  Failure write_all(std::size_t line_end, const ChunkWriter& write) {
    for (;;) {
      std::size_t slot;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return written_ < filled_ || done_; });
        if (written_ == filled_) {
          return scan_failure_;  // done, and everything handed over is written
        }
        slot = written_ % chunks_.size();
      }
      RecordChunk& chunk = chunks_[slot];
      const Failure failure = write(chunk.records(), line_end);
      line_end = 0;
      chunk.clear();
      {
        std::lock_guard lock(mutex_);
        ++written_;
        stopped_ = stopped_ || static_cast<bool>(failure);
      }
      changed_.notify_all();
      if (failure) {
        return failure;
      }
    }
  }

 private:
  void finish(Failure failure) {
    {
      std::lock_guard lock(mutex_);
      done_ = true;
      scan_failure_ = failure;
    }
    changed_.notify_all();
  }

  std::array<RecordChunk, 3> chunks_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t filled_ = 0;   // chunks handed to the writer
  std::size_t written_ = 0;  // chunks it is done with
  bool done_ = false;        // the scanner will hand over no more
  bool stopped_ = false;     // a write failed: the scanner stops
  Failure scan_failure_;     // why the scanner stopped early, if it did
};

/// The save on two threads; false in `started` where no thread could be had.
Failure write_on_two_threads(PlaylistScanner& scanner, std::string_view line_end,
                             std::size_t chunk_bytes, const ChunkWriter& write, bool& started) {
  Handover handover(chunk_bytes);
  std::thread scanning;
  {
    // Started with the ending signals held, so the scanning thread holds
    // them all its life.
    const list_file::EndingHeld ending_held;
    try {
      scanning = std::thread([&] { handover.scan(scanner, line_end, chunk_bytes); });
    } catch (const std::system_error&) {
      started = false;
      return {};
    }
  }
  started = true;
  const Failure failure = handover.write_all(line_end.size(), write);
  scanning.join();  // it stops at once after a failed write
  return failure;
}

}  // namespace

Failure write_in_chunks(PlaylistScanner& scanner, std::string_view line_end,
                        std::size_t chunk_bytes, bool threaded, const ChunkWriter& write) noexcept {
  try {
    if (threaded) {
      bool started = false;
      const Failure failure = write_on_two_threads(scanner, line_end, chunk_bytes, write, started);
      if (started) {
        return failure;
      }
    }
    return write_on_one_thread(scanner, line_end, chunk_bytes, write);
  } catch (const std::bad_alloc&) {
    return {Step::kListMemory, 0};
  }
}

}  // namespace m3u2lst
