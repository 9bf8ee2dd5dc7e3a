#!/usr/bin/python3
# SPDX-License-Identifier: BSD-2-Clause
"""OpenCV's non-local means across frames on a 4:2:0 8-bit Y4M clip, for the
camera bench: every plane of frame n from frames n-R..n+R (the clip's ends
mirrored), patches of 7 x 7 searched in 21 x 21.

  opencv_nlm.py IN OUT H [--radius R] [--every K]
      H: the filter strength (the same on every plane); R: default 2 (5
      frames); with --every K only frames 0, K, 2K ... are denoised and
      written (the filter costs about 2.5 s a frame of 384 x 256 on one core).
"""
import argparse
import os
import sys

import cv2

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import y4m  # noqa: E402


def mirrored(count, n, radius):
    """Frame indices n-radius..n+radius with the clip's ends mirrored."""
    out = []
    for k in range(n - radius, n + radius + 1):
        while k < 0 or k >= count:
            k = -k if k < 0 else 2 * (count - 1) - k
        out.append(k)
    return out


def main():
    parser = argparse.ArgumentParser(description="OpenCV's non-local means across frames.")
    parser.add_argument("input")
    parser.add_argument("output")
    parser.add_argument("h", type=float)
    parser.add_argument("--radius", type=int, default=2)
    parser.add_argument("--every", type=int, default=1)
    args = parser.parse_args()
    clip = y4m.read(args.input)
    h, radius = args.h, args.radius
    if radius < 0 or args.every < 1:
        raise SystemExit("opencv_nlm: the radius must be 0 or more, --every 1 or more")
    if len(clip.frames) < radius + 1:
        raise SystemExit("opencv_nlm: the clip is shorter than the window")
    cv2.setNumThreads(1)
    out = []
    for n in range(0, len(clip.frames), args.every):
        window = mirrored(len(clip.frames), n, radius)
        planes = []
        for p in range(3):
            stack = [clip.frames[k][p] for k in window]
            planes.append(cv2.fastNlMeansDenoisingMulti(stack, radius, 2 * radius + 1, None, h, 7, 21))
        out.append(tuple(planes))
    y4m.write(args.output, y4m.Clip(clip.width, clip.height, out, clip.header_tail))


if __name__ == "__main__":
    main()
