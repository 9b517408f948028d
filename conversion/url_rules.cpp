// The skip rule and the rtmp extraction, read from one address.
#include <array>

#include "marks.hpp"
#include "url_facts.hpp"

namespace m3u2lst {

namespace {

/// The bytes a URL mark starts with: the address is looked at only there.
constexpr auto kMarkStarts = [] {
  std::array<bool, 256> starts{};
  for (const UrlMark& mark : kUrlMarks) {
    starts[static_cast<unsigned char>(mark.text[0])] = true;
  }
  return starts;
}();

}  // namespace

UrlFacts read_url_facts(std::string_view url) noexcept {
  UrlMarks marks;
  for (std::size_t at = 0; at < url.size(); ++at) {
    if (kMarkStarts[static_cast<unsigned char>(url[at])]) {
      marks.note(url.substr(at), at);
    }
  }
  return marks.facts();
}

}  // namespace m3u2lst
