// What the tests and the fuzzer ask of the conversion beyond its API: the
// rules on one address, one record, and all the records of a text at once.
// Built on the library's own pieces, so they check what the program runs.
#pragma once

#include <string>
#include <string_view>

#include "conversion/kernels.hpp"

namespace m3u2lst::testing {

/// Whether the skip rule leaves out the channel at the address `url`.
bool is_skipped_url(std::string_view url);

/// What the rtmp extraction keeps of `url`: its embedded "rtmp://" address,
/// or the whole of it.
std::string_view rtmp_url(std::string_view url);

/// The list record of the channel `name` at the address `url`.
std::string list_record(std::string_view name, std::string_view url);

/// All the records of the playlist `file`, as the program appends them,
/// scanned by `kernel`. Throws std::bad_alloc only when memory runs out.
std::string convert_text(std::string_view file, const Kernel& kernel = fastest_kernel());

}  // namespace m3u2lst::testing
