#!/usr/bin/env bash
# Sets everything up and runs every test: the format check, the normal build
# with warnings as errors, the audio tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer, and short fuzz runs.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh -DPLOVI_WERROR=ON
scripts/check_format.sh
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy

ctest --test-dir build --output-on-failure

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPLOVI_SANITIZE=ON -DPLOVI_WERROR=ON >/dev/null
cmake --build build-asan
ASAN_OPTIONS=detect_leaks=0 ctest --test-dir build-asan --output-on-failure -L sanitize

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPLOVI_FUZZ=ON -DPLOVI_WERROR=ON >/dev/null
cmake --build build-fuzz
ASAN_OPTIONS=detect_leaks=0 ctest --test-dir build-fuzz --output-on-failure -L fuzz
