#!/bin/sh
# Builds one libFuzzer target with clang (ASan and UBSan on) into the build
# folder and runs it for a bounded time on a copy of its seed corpus, so that
# new inputs never land in the source tree. Exit 77 (a skip) without clang.
#   run_fuzzer.sh SOURCE_DIR BUILD_DIR NAME SECONDS
set -eu
source_dir=$1 build_dir=$2 name=$3 seconds=$4
compiler=$(command -v clang++ || true)
if [ -z "$compiler" ]; then
  echo "clang++ not found: the $name fuzzer is skipped (scripts/install-deps installs clang)"
  exit 77
fi
case $name in
  setup_file)
    sources="tests/fuzz/setup_file_fuzzer.cpp tests/fuzz/fuzz_stub.cpp src/setup/setup_file.cpp
             src/setup/setup_file_posix.cpp src/shared/operations.cpp src/shared/operations_posix.cpp
             src/shared/console_keys.cpp src/shared/console_keys_posix.cpp src/shared/key_decoder.cpp
             src/shared/command_line.cpp" ;;
  key_decoder)
    sources="tests/fuzz/key_decoder_fuzzer.cpp src/shared/key_decoder.cpp" ;;
  *) echo "unknown fuzzer $name"; exit 2 ;;
esac
mkdir -p "$build_dir/fuzz"
binary=$build_dir/fuzz/${name}_fuzzer
cd "$source_dir"
# A toolchain without the fuzzer runtime (libclang-rt-*-dev) is a skip too.
if ! echo 'extern "C" int LLVMFuzzerTestOneInput(const char*, unsigned long){return 0;}' |
     "$compiler" -x c++ -fsanitize=fuzzer - -o "$build_dir/fuzz/probe" 2>/dev/null; then
  echo "clang++ has no libFuzzer runtime: the $name fuzzer is skipped"
  exit 77
fi
# shellcheck disable=SC2086
"$compiler" -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -Isrc/setup -Isrc/shared $sources -o "$binary"
work=$build_dir/fuzz/${name}_corpus
rm -rf "$work"
mkdir -p "$work"
cd "$build_dir/fuzz"
exec "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$build_dir/fuzz/${name}-" "$work" "$source_dir/tests/fuzz/corpus/$name"
