// A plain model of the conversion rules, and random playlists to hold the
// converter against it. Shared by the test suite and the fuzzer.
#pragma once

#include <cstddef>
#include <random>
#include <string>

namespace m3u2lst::testing {

/// The records a playlist file yields, worked out straight from the rules with
/// plain searches: the yardstick for the converter.
std::string model_records(const std::string& file_bytes);

/// A random playlist made of the pieces that matter to the rules: markers,
/// commas, quotes, CR, LF, blanks, option lines, skip marks, rtmp addresses,
/// "name,URL" lines and their sources, zero bytes and plain text; now and
/// then as UTF-16 in either byte order.
std::string random_playlist(std::mt19937& random, std::size_t pieces);

}  // namespace m3u2lst::testing
