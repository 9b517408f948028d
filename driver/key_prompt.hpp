// The closing prompt's wait for one key, with the console's mode put back
// however the program ends. One source per platform (key_prompt_*.cpp).
#pragma once

namespace m3u2lst::platform {

/// Waits for one key press on the console, read without echo and without
/// waiting for Enter, and leaves the console as it found it. Returns at once
/// when standard input is no console.
void wait_for_key();

}  // namespace m3u2lst::platform
