// What the skip rule and the rtmp extraction need to know of a URL line,
// gathered mark by mark while the line is scanned once.
#pragma once

#include <cstddef>
#include <string_view>

#include "byte_search.hpp"
#include "playlist_conversion.hpp"

namespace m3u2lst {

/// Where a mark may start: the first two bytes of ".url", "?id", "&ip" and
/// "&auth", "=rtmp://" and ";;rtmp://".
namespace mark_start {
using byte_search::Class;
using byte_search::Set;
using Url = Class<Set<'.'>, Set<'u'>>;
using Id = Class<Set<'?'>, Set<'i'>>;
using IpOrAuth = Class<Set<'&'>, Set<'i', 'a'>>;
using EqualsRtmp = Class<Set<'='>, Set<'r'>>;
using SemicolonsRtmp = Class<Set<';'>, Set<';'>>;
}  // namespace mark_start

class UrlMarks {
 public:
  /// Notes the mark, if any, that begins `from_here`: the URL line's text from
  /// a '.', '?', '&', '=' or ';' at `offset` in the line. The text may run past
  /// the line's end, as no mark holds a CR, an LF or a zero byte to match
  /// across it.
  void note(std::string_view from_here, std::size_t offset) {
    switch (from_here[0]) {
      case '.':
        url_mark_ = url_mark_ || from_here.starts_with(".url");
        break;
      case '?':
        id_ = id_ || from_here.starts_with("?id");
        break;
      case '&':
        ip_ = ip_ || from_here.starts_with("&ip");
        auth_ = auth_ || from_here.starts_with("&auth");
        break;
      case '=':
        if (equals_rtmp_ == kNone && from_here.starts_with("=rtmp://")) {
          equals_rtmp_ = offset;
        }
        break;
      default:  // ';'
        if (semicolons_rtmp_ == kNone && from_here.starts_with(";;rtmp://")) {
          semicolons_rtmp_ = offset;
        }
        break;
    }
  }

  UrlFacts facts() const {
    UrlFacts facts;
    // Token-authenticated links carry all three parameters; one or two alone do not count.
    facts.skipped = url_mark_ || (id_ && ip_ && auth_);
    // "=rtmp://" wins over ";;rtmp://" wherever each stands.
    if (equals_rtmp_ != kNone) {
      facts.rtmp_offset = equals_rtmp_ + 1;
    } else if (semicolons_rtmp_ != kNone) {
      facts.rtmp_offset = semicolons_rtmp_ + 2;
    }
    return facts;
  }

 private:
  static constexpr std::size_t kNone = std::string_view::npos;
  bool url_mark_ = false;
  bool id_ = false;
  bool ip_ = false;
  bool auth_ = false;
  std::size_t equals_rtmp_ = kNone;
  std::size_t semicolons_rtmp_ = kNone;
};

}  // namespace m3u2lst
