// Writes a realistic IPTV playlist of about the asked size (see
// playlist_generator.hpp) with CR LF or LF line ends; with "options", every
// entry has player options before its address and a quoted comma; "utf16"
// saves the plain shape as UTF-16, and "text-list" writes "name,URL" lines.
//   make_playlist SIZE_MIB crlf|lf OUTPUT [SEED [plain|options|utf16|text-list]]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "playlist_generator.hpp"

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s SIZE_MIB crlf|lf OUTPUT [SEED [plain|options|utf16|text-list]]\n",
                 argv[0]);
    return 2;
  }
  const double size_mib = std::atof(argv[1]);
  const bool crlf = std::strcmp(argv[2], "crlf") == 0;
  std::mt19937_64 random(argc > 4 ? std::strtoull(argv[4], nullptr, 10) : 2026);
  using m3u2lst::bench::Shape;
  const char* shape_name = argc > 5 ? argv[5] : "plain";
  const Shape shape = std::strcmp(shape_name, "options") == 0     ? Shape::kOptions
                      : std::strcmp(shape_name, "utf16") == 0     ? Shape::kUtf16
                      : std::strcmp(shape_name, "text-list") == 0 ? Shape::kTextList
                                                                  : Shape::kPlain;
  std::FILE* out = std::fopen(argv[3], "wb");
  if (out == nullptr) {
    std::perror(argv[3]);
    return 1;
  }
  bool written = true;
  m3u2lst::bench::generate_playlist(
      static_cast<unsigned long long>(size_mib * 1024 * 1024), crlf ? "\r\n" : "\n", random,
      [&](const std::string& piece) {
        written = written && std::fwrite(piece.data(), 1, piece.size(), out) == piece.size();
      },
      shape);
  return std::fclose(out) == 0 && written ? 0 : 1;
}
