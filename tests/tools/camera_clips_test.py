#!/usr/bin/python3
# SPDX-License-Identifier: BSD-2-Clause
"""Tests of the camera-noise clip maker (tools/camera_clips)."""
import os
import subprocess
import sys
import tempfile
import unittest

import numpy as np

sys.dont_write_bytecode = True
TOOLS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "camera_clips")
sys.path.insert(0, TOOLS)
import camera  # noqa: E402
import camera_clips  # noqa: E402
import opencv_nlm  # noqa: E402
import y4m  # noqa: E402


class Pipeline(unittest.TestCase):
    def test_mosaic_is_rggb(self):
        red, green, blue = camera.bayer_masks(4, 6)
        self.assertTrue(red[0, 0] and green[0, 1] and green[1, 0] and blue[1, 1])
        self.assertTrue(np.all(red.astype(int) + green + blue == 1))
        self.assertEqual((red.sum(), green.sum(), blue.sum()), (6, 12, 6))

    def test_demosaic_keeps_flat_colours_and_ramps(self):
        h, w = 12, 16
        rows, cols = np.mgrid[0:h, 0:w].astype(np.float64)
        cases = [
            ("flat grey", np.full((h, w, 3), 0.5), False),
            ("flat colour", np.broadcast_to([0.2, 0.7, 0.9], (h, w, 3)).copy(), False),
            ("ramps", np.stack([0.01 * cols, 0.02 * rows, 0.01 * (cols + rows)], -1), True),
        ]
        for name, rgb, interior_only in cases:
            with self.subTest(name):
                out = camera.demosaic(camera.mosaic(rgb))
                if interior_only:  # the mirrored edges bend a ramp
                    out, rgb = out[2:-2, 2:-2], rgb[2:-2, 2:-2]
                np.testing.assert_allclose(out, rgb, atol=1e-6)

    def test_bt601_studio_range(self):
        cases = [((1, 1, 1), (235, 128, 128)), ((0, 0, 0), (16, 128, 128)),
                 ((1, 0, 0), (81, 90, 240)), ((0, 1, 0), (145, 54, 34)),
                 ((0, 0, 1), (41, 240, 110)), ((0.25 ** 2.2,) * 3, (71, 128, 128))]
        for rgb, want in cases:
            with self.subTest(rgb):
                planes = camera.to_yuv420(np.broadcast_to(rgb, (4, 4, 3)).astype(np.float64))
                self.assertEqual(tuple(int(p[0, 0]) for p in planes), want)
                self.assertEqual([p.shape for p in planes], [(4, 4), (2, 2), (2, 2)])

    def test_shot_and_read_noise_follow_the_light(self):
        level = camera.Level("test", 400.0, 3.0)
        for value in (0.05, 0.5):
            raw = np.full((256, 256), value)
            out = camera.expose(raw, level, np.random.default_rng(1))
            for colour, mask in zip("RGB", camera.bayer_masks(256, 256)):
                with self.subTest(value=value, colour=colour):
                    gain = level.electrons * camera.SENSITIVITY["RGB".index(colour)]
                    want = (value * gain + level.read ** 2) / gain ** 2
                    self.assertAlmostEqual(out[mask].mean(), value, delta=4 * np.sqrt(want / mask.sum()))
                    self.assertAlmostEqual(out[mask].var() / want, 1.0, delta=0.06)


class Files(unittest.TestCase):
    def test_y4m_round_trip_and_refusals(self):
        rng = np.random.default_rng(2)
        frames = [tuple(rng.integers(0, 256, s, dtype=np.uint8) for s in ((8, 16), (4, 8), (4, 8)))
                  for _ in range(3)]
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "a.y4m")
            y4m.write(path, y4m.Clip(16, 8, frames))
            back = y4m.read(path)
            self.assertEqual((back.width, back.height, len(back.frames)), (16, 8, 3))
            for a, b in zip(frames, back.frames):
                for pa, pb in zip(a, b):
                    np.testing.assert_array_equal(pa, pb)
            data = open(path, "rb").read()
            for name, bad in [("4:4:4", data.replace(b"C420jpeg", b"C444")),
                              ("cut short", data[:-5]), ("not y4m", b"P6\n" + data)]:
                with self.subTest(name):
                    open(path, "wb").write(bad)
                    with self.assertRaises(ValueError):
                        y4m.read(path)

    def test_noise_by_brightness_band(self):
        rng = np.random.default_rng(3)
        clean = np.repeat(np.arange(256, dtype=np.float64), 400)
        sigma = np.where(clean < 64, 6.0, np.where(clean < 128, 3.0, 1.0))
        noisy = clean + rng.normal(0.0, 1.0, clean.size) * sigma
        bands = camera_clips.noise_by_band(clean, noisy, 4)
        self.assertEqual([(lo, hi, n) for lo, hi, n, _ in bands],
                         [(0, 64, 25600), (64, 128, 25600), (128, 192, 25600), (192, 256, 25600)])
        for (_, _, _, got), want in zip(bands, (6.0, 3.0, 1.0, 1.0)):
            self.assertAlmostEqual(got / want, 1.0, delta=0.03)
        sparse = camera_clips.noise_by_band(clean[:2000], noisy[:2000], 4)  # 0..4 only
        self.assertEqual([(lo, n) for lo, _, n, _ in sparse], [(0, 2000)])

    def test_mirrored_windows(self):
        cases = [((40, 0, 2), [2, 1, 0, 1, 2]), ((40, 39, 2), [37, 38, 39, 38, 37]),
                 ((40, 20, 2), [18, 19, 20, 21, 22]), ((3, 1, 2), [1, 0, 1, 2, 1]),
                 ((5, 2, 0), [2])]
        for args, want in cases:
            with self.subTest(args):
                self.assertEqual(opencv_nlm.mirrored(*args), want)

    def test_short_clips_are_the_same_for_a_seed(self):
        tool = [sys.executable, os.path.join(TOOLS, "camera_clips.py")]
        with tempfile.TemporaryDirectory() as tmp:
            def make(out, seed):
                subprocess.run(tool + ["make", os.path.join(tmp, out), "--clips",
                                       "astronaut-pan,coffee-still", "--levels", "highiso",
                                       "--frames", "8", "--size", "128x96", "--seed", str(seed)],
                               check=True, stderr=subprocess.DEVNULL)
                return {n: open(os.path.join(tmp, out, n), "rb").read()
                        for n in sorted(os.listdir(os.path.join(tmp, out)))}
            a, b, c = make("a", 7), make("b", 7), make("c", 8)
            self.assertEqual(sorted(a), ["astronaut-pan-clean.y4m", "astronaut-pan-highiso.y4m",
                                         "coffee-still-clean.y4m", "coffee-still-highiso.y4m"])
            self.assertEqual(a, b)
            self.assertEqual(a["astronaut-pan-clean.y4m"], c["astronaut-pan-clean.y4m"])
            self.assertNotEqual(a["astronaut-pan-highiso.y4m"], c["astronaut-pan-highiso.y4m"])
            pan = y4m.read(os.path.join(tmp, "a", "astronaut-pan-clean.y4m"))
            still = y4m.read(os.path.join(tmp, "a", "coffee-still-clean.y4m"))
            self.assertEqual((pan.width, pan.height, len(pan.frames)), (128, 96, 8))
            self.assertTrue(all(np.array_equal(f[0], still.frames[0][0]) for f in still.frames))
            self.assertFalse(np.array_equal(pan.frames[0][0], pan.frames[1][0]))
            for clip in ("astronaut-pan", "coffee-still"):
                clean = os.path.join(tmp, "a", clip + "-clean.y4m")
                noisy = os.path.join(tmp, "a", clip + "-highiso.y4m")
                psnr = subprocess.run(tool + ["psnr", clean, noisy], check=True, capture_output=True,
                                      text=True).stdout.split()
                same = subprocess.run(tool + ["psnr", clean, clean], check=True, capture_output=True,
                                      text=True).stdout.split()
                self.assertEqual(same, ["99.99", "99.99"])
                self.assertTrue(26 < float(psnr[0]) < 33, psnr)


if __name__ == "__main__":
    unittest.main()
