#!/bin/sh
# Builds one libFuzzer target with clang (ASan and UBSan on) and runs it for a
# bounded time on a copy of its seed corpus, so that new inputs never land in
# the source tree. Exit 77 (a skip) without clang.
#   run_fuzzer.sh SOURCE_DIR BUILD_DIR NAME SECONDS
set -eu
source_dir=$1 work=$2/fuzz/$3 name=$3 seconds=$4
command -v clang++ >/dev/null || { echo "no clang++: the $name fuzzer is skipped"; exit 77; }
sources=src/shared/key_decoder.cpp
[ "$name" = setup_file ] && sources="src/setup/setup_file.cpp src/setup/setup_file_posix.cpp
  src/shared/files.cpp src/shared/files_posix.cpp src/shared/shown_texts.cpp src/shared/shown_texts_posix.cpp
  src/shared/console.cpp src/shared/console_posix.cpp src/shared/child_process_posix.cpp src/shared/key_decoder.cpp
  src/shared/command_line.cpp"
rm -rf "$work" && mkdir -p "$work/corpus"
cd "$source_dir"
# shellcheck disable=SC2086
clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -Isrc/setup -Isrc/shared "tests/fuzz/${name}_fuzzer.cpp" $sources -o "$work/fuzzer"
cd "$work"
exec ./fuzzer -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$work/" corpus "$source_dir/tests/fuzz/corpus/$name"
