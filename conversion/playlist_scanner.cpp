// The scanner's front: what a playlist file holds decides how it is read,
// by a kernel's scan (kernels.hpp) or as a text list (text_list.hpp).
#include <new>

#include "kernels.hpp"
#include "playlist_conversion.hpp"
#include "playlist_text.hpp"
#include "text_list.hpp"

namespace m3u2lst {

PlaylistScanner::PlaylistScanner(std::string_view file) : PlaylistScanner(file, fastest_kernel()) {}

PlaylistScanner::PlaylistScanner(std::string_view file, const Kernel& kernel) : kernel_(&kernel) {
  std::string_view text = file;
  if (const Utf16Mark mark = utf16_mark(file); mark != Utf16Mark::kNone) {
    const std::string_view units = file.substr(2);
    const std::size_t size = utf8_size_of_utf16(units, mark);
    utf8_.reset(platform::allocate_large(size));
    if (!utf8_) {
      throw std::bad_alloc();
    }
    write_utf8_of_utf16(units, mark, utf8_.get());
    text = std::string_view(utf8_.get(), size);
  }
  text_list_ = playlist_layout(text) == PlaylistLayout::kTextList;
  if (text_list_) {
    list_ = detail::start_text_list(text);
  }
  state_.text = text;
  state_.readable_size = text.size();
}

bool PlaylistScanner::fill(RecordChunk& out, std::size_t fill_to) {
  return text_list_ ? detail::fill_text_list(list_, out, fill_to)
                    : kernel_->fill(state_, out, fill_to);
}

}  // namespace m3u2lst
