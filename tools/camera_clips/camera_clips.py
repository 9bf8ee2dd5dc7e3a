#!/usr/bin/python3
# SPDX-License-Identifier: BSD-2-Clause
"""Clips with noise as a camera makes it, from the bundled photographs.

  camera_clips.py make DIR [--clips LIST] [--levels LIST] [--frames N]
                  [--size WxH] [--seed N] [--data DIR]
      Writes DIR/CLIP-clean.y4m and DIR/CLIP-LEVEL.y4m (4:2:0 8-bit) for every
      clip (PHOTO-still, PHOTO-pan; PHOTO a PNG in the data folder) and level
      (camera.LEVELS). Defaults: 40 frames of 384 x 256, seed 2026, every clip
      of astronaut and coffee, every level.  A short clip for tests:
      make DIR --clips astronaut-pan --levels highiso --frames 8 --size 128x96
  camera_clips.py psnr CLEAN OUT [--every K]
      PSNR of OUT against CLEAN over the whole clip: every sample of every
      plane, then Y alone ("ALL Y"). With --every K, OUT holds CLEAN's frames
      0, K, 2K ... alone.
  camera_clips.py noise CLEAN NOISY [--bands N]
      The standard deviation of NOISY less CLEAN per plane ("Y Cb Cr"); with
      --bands, also per plane for N bands of the clean sample's value (bands
      of fewer than 1000 samples left out): the noise's brightness curve.

Frame n of a "pan" clip is the photograph turned by 0.04 degrees x n about
the window's centre, which moves 0.43 px right and 0.27 px down per frame
(bicubic, in linear light); a "still" clip repeats the centred window, with
new noise in every frame.  Noise is drawn from numpy's PCG64 seeded with the
seed and the clip's and level's names, so every run writes the same bytes.
"""
import argparse
import math
import os
import subprocess
import sys
import tempfile
import zlib

import numpy as np

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import y4m  # noqa: E402

# camera (scipy) and cv2 are loaded by "make" alone: "psnr" and "noise" start
# quickly.
camera = cv2 = None

PAN_STEP = (0.43, 0.27)  # pixels per frame, right and down
PAN_TURN = 0.04          # degrees per frame
DEFAULT_CLIPS = ["astronaut-still", "astronaut-pan", "coffee-still", "coffee-pan"]


def load_photo(path):
    bgr = cv2.imread(path, cv2.IMREAD_COLOR)
    if bgr is None:
        raise SystemExit(f"camera_clips: cannot read {path}")
    return camera.to_linear(bgr[..., ::-1].copy())


def windows(photo, motion, frames, width, height):
    """The linear-light frames the camera sees."""
    ph, pw = photo.shape[:2]
    cx, cy = pw / 2.0, ph / 2.0
    if motion == "still":
        x0, y0 = int(round(cx - width / 2)), int(round(cy - height / 2))
        if x0 < 0 or y0 < 0 or x0 + width > pw or y0 + height > ph:
            raise SystemExit("camera_clips: the window is larger than the photograph")
        for _ in range(frames):
            yield photo[y0:y0 + height, x0:x0 + width]
        return
    # The centre travels symmetrically about the photograph's centre.
    half = (frames - 1) / 2.0
    reach = math.hypot(width, height) / 2 * math.sin(math.radians(PAN_TURN * half)) + 2
    if (width / 2 + PAN_STEP[0] * half + reach > pw / 2 or
            height / 2 + PAN_STEP[1] * half + reach > ph / 2):
        raise SystemExit("camera_clips: the pan leaves the photograph")
    for n in range(frames):
        t = n - half
        a = math.radians(PAN_TURN * t)
        c, s = math.cos(a), math.sin(a)
        sx, sy = cx + PAN_STEP[0] * t, cy + PAN_STEP[1] * t
        ox, oy = (width - 1) / 2.0, (height - 1) / 2.0
        # source = R (dest - window centre) + travelling centre
        m = np.array([[c, -s, sx - 0.5 - (c * ox - s * oy)],
                      [s, c, sy - 0.5 - (s * ox + c * oy)]], np.float64)
        frame = cv2.warpAffine(photo, m, (width, height),
                               flags=cv2.INTER_CUBIC | cv2.WARP_INVERSE_MAP,
                               borderMode=cv2.BORDER_REFLECT)
        yield np.clip(frame, 0.0, None)


def through_x264(path, crf):
    """Replaces the clip at PATH by itself through libx264 at CRF, decoded."""
    ff = ["ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin", "-y"]
    with tempfile.TemporaryDirectory() as tmp:
        coded = os.path.join(tmp, "clip.264")
        back = os.path.join(tmp, "back.y4m")
        subprocess.run(ff + ["-i", path, "-c:v", "libx264", "-preset", "medium", "-crf", str(crf),
                             "-threads", "1", "-f", "h264", coded], check=True)
        subprocess.run(ff + ["-threads", "1", "-i", coded, "-pix_fmt", "yuv420p", "-f",
                             "yuv4mpegpipe", back], check=True)
        original = y4m.read(path)
        decoded = y4m.read(back)
        if len(decoded.frames) != len(original.frames):
            raise SystemExit("camera_clips: the x264 round trip lost frames")
        decoded.header_tail = original.header_tail
        y4m.write(path, decoded)


def make(args):
    global camera, cv2
    import camera
    import cv2
    width, height = (int(v) for v in args.size.lower().split("x"))
    if width % 8 or height % 8:
        raise SystemExit("camera_clips: the width and height must be multiples of 8")
    if args.frames < 1:
        raise SystemExit("camera_clips: --frames must be at least 1")
    levels = args.levels.split(",") if args.levels else list(camera.LEVELS)
    for name in levels:
        if name not in camera.LEVELS:
            raise SystemExit(f"camera_clips: no level {name} (levels: {', '.join(camera.LEVELS)})")
    os.makedirs(args.out, exist_ok=True)
    for clip in (args.clips.split(",") if args.clips else DEFAULT_CLIPS):
        photo_name, _, motion = clip.rpartition("-")
        if motion not in ("still", "pan") or not photo_name:
            raise SystemExit(f"camera_clips: {clip} is not PHOTO-still or PHOTO-pan")
        photo = load_photo(os.path.join(args.data, photo_name + ".png"))
        seen = list(windows(photo, motion, args.frames, width, height))
        clean = [camera.camera_frame(f, None, None) for f in seen]
        y4m.write(os.path.join(args.out, f"{clip}-clean.y4m"), y4m.Clip(width, height, clean))
        for name in levels:
            level = camera.LEVELS[name]
            rng = np.random.default_rng([args.seed, zlib.crc32(f"{clip}/{level.name}".encode())])
            noisy = [camera.camera_frame(f, level, rng) for f in seen]
            path = os.path.join(args.out, f"{clip}-{name}.y4m")
            y4m.write(path, y4m.Clip(width, height, noisy))
            if level.crf is not None:
                through_x264(path, level.crf)


def planes_of(clip):
    return [np.stack([f[p] for f in clip.frames]).astype(np.float64) for p in range(3)]


def read_pair(clean_path, out_path, every=1):
    clean, out = y4m.read(clean_path), y4m.read(out_path)
    clean.frames = clean.frames[::every]
    if (clean.width, clean.height, len(clean.frames)) != (out.width, out.height, len(out.frames)):
        raise SystemExit("camera_clips: the clips differ in size or length")
    return planes_of(clean), planes_of(out)


def psnr_of(squared, count):
    return 99.99 if squared == 0 else 10 * math.log10(255.0 ** 2 * count / squared)


def psnr(args):
    clean, out = read_pair(args.clean, args.out, args.every)
    errors = [float(np.sum((a - b) ** 2)) for a, b in zip(clean, out)]
    sizes = [a.size for a in clean]
    print(f"{psnr_of(sum(errors), sum(sizes)):.2f} {psnr_of(errors[0], sizes[0]):.2f}")


def noise_by_band(clean, noisy, bands, least=1000):
    """(low, high, count, sigma) of NOISY less CLEAN for the samples whose clean
    value lies in each of BANDS equal parts of 0..256; bands with fewer than
    LEAST samples are left out."""
    out = []
    edges = np.linspace(0.0, 256.0, bands + 1)
    for low, high in zip(edges[:-1], edges[1:]):
        inside = (clean >= low) & (clean < high)
        count = int(inside.sum())
        if count >= least:
            out.append((low, high, count, float(np.std(noisy[inside] - clean[inside]))))
    return out


def noise(args):
    clean, noisy = read_pair(args.clean, args.out)
    print(" ".join(f"{float(np.std(b - a)):.2f}" for a, b in zip(clean, noisy)))
    if args.bands:
        for name, a, b in zip(("Y", "Cb", "Cr"), clean, noisy):
            print(name + ": " + ", ".join(f"{lo:.0f}-{hi:.0f} {sigma:.2f}"
                                          for lo, hi, _, sigma in noise_by_band(a, b, args.bands)))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description="Clips with noise as a camera makes it.")
    sub = parser.add_subparsers(dest="command", required=True)
    m = sub.add_parser("make")
    m.add_argument("out")
    m.add_argument("--clips", default="")
    m.add_argument("--levels", default="")
    m.add_argument("--frames", type=int, default=40)
    m.add_argument("--size", default="384x256")
    m.add_argument("--seed", type=int, default=2026)
    m.add_argument("--data", default=os.path.join(here, "..", "..", "data"))
    for name in ("psnr", "noise"):
        p = sub.add_parser(name)
        p.add_argument("clean")
        p.add_argument("out")
        p.add_argument("--every", type=int, default=1)
        if name == "noise":
            p.add_argument("--bands", type=int, default=0)
    args = parser.parse_args()
    {"make": make, "psnr": psnr, "noise": noise}[args.command](args)


if __name__ == "__main__":
    main()
