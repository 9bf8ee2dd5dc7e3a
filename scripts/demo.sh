#!/usr/bin/env bash
# SPDX-License-Identifier: BSD-2-Clause
# Builds zolta natively and runs its demo: noise on the bundled photograph,
# denoised through the VirtualDub path of the library, PSNR before and after.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --native
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target zolta-run -j2 >/dev/null
./build/zolta-run
