#!/usr/bin/env bash
# Builds the release packages: the Windows zip (cross-built with MinGW-w64),
# the Linux tarball and the .deb, into OUT/packages, with SHA256SUMS beside
# them. The same sources give the same bytes wherever they are built: every
# date in them is SOURCE_DATE_EPOCH, which defaults to the last commit's.
#   cmake/make_packages.sh OUT
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$1"
out=$(cd "$1" && pwd)
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$source_dir" log -1 --format=%ct)}
# Files are packed with the modes they are made with.
umask 022

cmake -S "$source_dir" -B "$out/build-linux" -DM3U2LST_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build "$out/build-linux" --parallel > /dev/null
cmake -S "$source_dir" -B "$out/build-windows" -DM3U2LST_BUILD_TESTS=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-w64-x86_64.cmake" > /dev/null
cmake --build "$out/build-windows" --parallel > /dev/null

rm -rf "$out/packages"
mkdir -p "$out/packages"
for platform in linux windows; do
  (cd "$out/build-$platform" && cpack -B "$out/cpack-$platform" > /dev/null)
  find "$out/cpack-$platform" -maxdepth 1 -type f \( -name '*.zip' -o -name '*.tar.gz' -o -name '*.deb' \) \
    -exec cp {} "$out/packages/" \;
done
cd "$out/packages"
sha256sum -- *.zip *.tar.gz *.deb > SHA256SUMS
cat SHA256SUMS
