#!/usr/bin/env bash
# Each x86-64 kernel's check of the processor, proven on emulated processor
# models (qemu-x86_64): the conversion tests, which say the kernel chosen and
# hold it to the fastest one the model has, and one run of the whole program
# on the bundled examples, whose list must equal the native run's. A check
# that asks too little dies of SIGILL; one that asks too much chooses a
# slower kernel than the model has.
#   tests/processor_models.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

native="$work/native"
mkdir -p "$native"
cp -r "$source_dir/examples/iptv channel" "$native/"
(cd "$native" && "$build/m3u2lst" < /dev/null > /dev/null)

# model:the fastest kernel it has
for row in Haswell:avx2 SandyBridge:ssse3 Westmere:ssse3 Conroe:ssse3 qemu64:sse2; do
  model=${row%%:*}
  kernel=${row#*:}
  tests=$(M3U2LST_EXPECTED_KERNEL=$kernel qemu-x86_64 -cpu "$model" "$build/conversion_tests" 2>/dev/null \
    --gtest_brief=1 2>&1) || { echo "$model: the conversion tests failed:"; echo "$tests"; exit 1; }
  chosen=$(sed -n 's/^kernel chosen: //p' <<< "$tests")
  folder="$work/$model"
  mkdir -p "$folder"
  cp -r "$source_dir/examples/iptv channel" "$folder/"
  (cd "$folder" && qemu-x86_64 -cpu "$model" "$build/m3u2lst" < /dev/null > /dev/null 2>&1) ||
    { echo "$model: the program failed with status $?"; exit 1; }
  cmp -s "$native/iptv.lst" "$folder/iptv.lst" ||
    { echo "$model: the program's list differs from the native run's"; exit 1; }
  echo "$model: kernel $chosen (expected $kernel), conversion tests and the program's list as native"
done
