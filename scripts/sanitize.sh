#!/usr/bin/env bash
# The whole suite under AddressSanitizer + UBSan (its own build folder), then the tests of
# the threads, the serial engine and the recorder (the worker thread's path) under
# ThreadSanitizer (a Qt-free build). CI runs this after scripts/test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
asan=${OSC_ASAN_DIR:-build-asan}
tsan=${OSC_TSAN_DIR:-build-tsan}
export QT_QPA_PLATFORM=offscreen LANG=C.UTF-8
# Tools run while building (icons, the screenshot) use Qt, whose caches outlive main().
export ASAN_OPTIONS=detect_leaks=0

start=$SECONDS
[ -f "$asan/build.ninja" ] || cmake -S . -B "$asan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DOSC_SANITIZE=ON -DOSC_BUILD_BENCH=OFF
cmake --build "$asan" -j "$(nproc)"
unset ASAN_OPTIONS  # the tests set their own, leaks included
ctest --test-dir "$asan" --output-on-failure -j "$(nproc)" --timeout 600
echo "ASan+UBSan: $((SECONDS - start)) s"

start=$SECONDS
[ -f "$tsan/build.ninja" ] || cmake -S . -B "$tsan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DOSC_TSAN=ON -DOSC_WITH_QT=OFF -DOSC_BUILD_BENCH=OFF
cmake --build "$tsan" -j "$(nproc)"
ctest --test-dir "$tsan" --output-on-failure -j "$(nproc)" --timeout 600 \
  -R '^([A-Za-z]+/)?(Threads|Kernel|Comm[A-Za-z]*|SimpleThread[A-Za-z]*|SerialCom[A-Za-z]*|Recorder[A-Za-z]*)\.'
echo "TSan: $((SECONDS - start)) s"
