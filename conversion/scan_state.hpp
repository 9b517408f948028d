// Where the reading of one playlist stands between two fills: the state the
// scanner keeps, which the kernels (kernels.hpp) and the text list reader
// (text_list.hpp) carry on from.
#pragma once

#include <cstddef>
#include <string_view>

#include "url_facts.hpp"

namespace m3u2lst::detail {

/// The scan of an M3U text.
struct ScanState {
  std::string_view text;                            // cut at its first zero byte once that is found
  std::size_t readable_size = 0;                    // the text's size as given: so much may be read
  std::size_t cursor = 0;                           // where the scan for the next entry starts
  bool more_entries = true;                         // false once no entry can follow
  std::size_t no_lf_from = std::string_view::npos;  // no LF stands at or after this

  /// The last address search that passed over lines: from the line at
  /// `searched_from`, every line before `outcome_line` was passed over, and
  /// at `outcome_line` stands the address (ending at `address_end`), an entry
  /// line, or the text's end (`address_end` npos for both). A search from
  /// any line in between ends the same way, so an entry whose marker stands
  /// inside an option line takes the outcome without walking those lines again.
  struct AddressSearch {
    std::size_t searched_from = std::string_view::npos;
    std::size_t outcome_line = 0;
    std::size_t address_end = std::string_view::npos;
    UrlFacts facts;
  } last_search;
};

/// The reading of a "name,URL" text list.
struct TextListState {
  std::string_view text;  // after a UTF-8 byte order mark, up to the first zero byte
  std::size_t cursor = 0;
  char line_end = '\n';  // an LF, or in a text with no LF, a CR
};

}  // namespace m3u2lst::detail
