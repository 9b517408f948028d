// "name,URL" text lists, the layout of most Chinese-language channel lists:
//
//   央视频道,#genre#
//   CCTV-1,http://a.example/1.m3u8#http://b.example/1.m3u8$备用
//
// A line gives records when the text after its first comma starts with a
// scheme and "://". That text may join several sources of one channel with
// '#' (where a scheme and "://" follow it); each source is cut at its first
// '$' (its label) and gives one record under the skip rule and the rtmp
// extraction. Group lines ("News,#genre#"), comments ('#' first after
// blanks), lines whose name holds "://" (a list of addresses) and every
// other line give nothing.
#pragma once

#include <cstddef>
#include <string_view>

#include "record_chunk.hpp"
#include "scan_state.hpp"

namespace m3u2lst::detail {

/// The state that reads `text` (as given, zero bytes and all) from its
/// start: the text after a UTF-8 byte order mark, up to its first zero byte,
/// with its lines ending at LF, or in a text with no LF, at CR.
TextListState start_text_list(std::string_view text) noexcept;

/// Appends to `out` the records of the next lines, one line's records at a
/// time, until `out` holds at least `fill_to` bytes or the text is done.
/// Returns false once the text is done. Throws std::bad_alloc only when
/// `out` cannot grow.
bool fill_text_list(TextListState& state, RecordChunk& out, std::size_t fill_to);

}  // namespace m3u2lst::detail
