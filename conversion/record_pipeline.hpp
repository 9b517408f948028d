// A save in two stages for large playlists: a second thread scans and
// gathers record chunks while the calling thread writes the chunk before.
// The chunks go to the writer in order, whole records each, through a
// bounded hand-over of three chunks, so the records and the list are
// exactly those of a save on one thread.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

#include "failure.hpp"
#include "playlist_conversion.hpp"

namespace m3u2lst {

/// Writes one chunk of whole records, the first `line_end` bytes of which
/// are the line end the list needed before them.
using ChunkWriter = std::function<Failure(std::string_view chunk, std::size_t line_end)>;

/// Gathers the records `scanner` finds into chunks of about `chunk_bytes`,
/// the first of them after `line_end`, and hands each chunk that holds
/// records to `write`, in order, on the calling thread. With `threaded`, a
/// second thread scans while `write` writes; it is started with the signals
/// that end the program held (list_file::EndingHeld), which it keeps held
/// for its whole life, so that they only ever end the program on the
/// writing thread, between two writes. Where no thread can be started, the
/// save runs on one thread. Stops at the first chunk `write` fails, and
/// returns that failure: no chunk after it is written. Returns
/// Step::kListMemory when memory for the records runs out. Never throws.
Failure write_in_chunks(PlaylistScanner& scanner, std::string_view line_end,
                        std::size_t chunk_bytes, bool threaded, const ChunkWriter& write) noexcept;

}  // namespace m3u2lst
