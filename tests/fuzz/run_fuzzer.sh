#!/bin/sh
# Builds one libFuzzer target with clang (ASan and UBSan on) and runs it for a
# bounded time on a copy of its seed corpus, so that new inputs never land in
# the source tree. Exit 77 (a skip) without clang or its fuzzer runtime.
#   run_fuzzer.sh SOURCE_DIR BUILD_DIR NAME SECONDS
set -eu
source_dir=$1 build_dir=$2 name=$3 seconds=$4
sources=src/shared/key_decoder.cpp
[ "$name" = setup_file ] && sources="src/setup/setup_file.cpp src/setup/setup_file_posix.cpp
  src/shared/operations.cpp src/shared/operations_posix.cpp src/shared/console_keys.cpp
  src/shared/console_keys_posix.cpp src/shared/key_decoder.cpp src/shared/command_line.cpp"
work=$build_dir/fuzz/$name
rm -rf "$work" && mkdir -p "$work/corpus"
cd "$source_dir"
# shellcheck disable=SC2086
clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -Isrc/setup -Isrc/shared "tests/fuzz/${name}_fuzzer.cpp" $sources -o "$work/fuzzer" 2>"$work/build.log" || {
  cat "$work/build.log"
  if command -v clang++ >/dev/null && echo 'extern "C" int LLVMFuzzerTestOneInput(const char*,unsigned long){return 0;}' |
     clang++ -x c++ -fsanitize=fuzzer - -o "$work/probe" 2>/dev/null; then exit 1; fi
  echo "no clang++ with a fuzzer runtime: the $name fuzzer is skipped"; exit 77; }
cd "$work"
exec ./fuzzer -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$work/" corpus "$source_dir/tests/fuzz/corpus/$name"
