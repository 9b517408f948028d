// Console lines: names and paths put into them, and printed.
#include "console_lines.hpp"

#include "console.hpp"

namespace m3u2lst {

std::string fill_line(std::string_view line, std::string_view value) {
  const std::size_t at = line.find("%s");
  return std::string(line.substr(0, at))
      .append(platform::shown_name(value))
      .append(line.substr(at + 2));
}

void print_line(std::string_view line, std::string_view value) {
  platform::print(fill_line(line, value));
}

}  // namespace m3u2lst
