#!/bin/sh
# Builds the registry-file reader's libFuzzer target with clang and runs it for a bounded time.
#   scripts/fuzz-regfile.sh [seconds]     (default 60; CI calls it with at most 60)
# Needs clang and libclang-rt-14-dev. Each input is limited to 10 s and 512 MiB.
set -eu
cd "$(dirname "$0")/.."
seconds="${1:-60}"
out=build-fuzz
mkdir -p "$out/corpus"
# shellcheck disable=SC2046
clang++ -std=c++20 -g -O1 -fPIC -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I. $(pkg-config --cflags Qt6Core) \
  tests/fuzz/fuzz_regfile.cpp settings/TRegFile.cpp \
  $(pkg-config --libs Qt6Core) -o "$out/fuzz_regfile"
# A seed the reader accepts, so that the round trip is exercised from the start.
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Quenfield\\Orvel\\P]\r\n"a"="text"\r\n"b"=dword:0000002a\r\n"c"=hex:01,02\r\n@="x"\r\n[-HKEY_CURRENT_USER\\Software\\Quenfield\\Orvel\\Q]\r\n' \
  > "$out/corpus/seed.reg"
# The 512 MiB are per input (-malloc_limit_mb); the whole process may grow larger, because the
# sanitizer's allocator keeps freed memory in quarantine and its RSS climbs with the run's length.
exec "$out/fuzz_regfile" -max_total_time="$seconds" -timeout=10 -malloc_limit_mb=512 -rss_limit_mb=2048 \
  -max_len=65536 "$out/corpus"
