// Converts one playlist file with the plain model of the rules and writes the
// records to standard output: the yardstick the benchmark checks the
// program's output against.
//   model_convert PLAYLIST > records
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "conversion_model.hpp"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s PLAYLIST\n", argv[0]);
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const std::string file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const std::string records = m3u2lst::testing::model_records(file);
  return std::fwrite(records.data(), 1, records.size(), stdout) == records.size() ? 0 : 1;
}
