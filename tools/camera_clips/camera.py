# SPDX-License-Identifier: BSD-2-Clause
"""A camera's way to noise: linear light, an RGGB Bayer mosaic, shot and read
noise, bilinear demosaicing, gamma 2.2, BT.601 4:2:0 8-bit.

Frames are float32 RGB arrays in linear light (0..1), height x width x 3.
"""
import numpy as np
from scipy import ndimage

GAMMA = 2.2

# How many of the light's electrons each colour's photosites keep against
# green's: the red and blue ones collect fewer, and the white balance gains
# (1 / sensitivity) make their noise larger after demosaicing.
SENSITIVITY = np.array([0.5, 1.0, 0.65], np.float64)


class Level:
    """A light level: ELECTRONS green photosites collect at white, READ the
    read noise's standard deviation in electrons."""

    def __init__(self, name, electrons, read, crf=None):
        self.name = name
        self.electrons = electrons
        self.read = read
        self.crf = crf


# Light levels; the noisy clips' PSNR against the clean ones lies near
# 38 (mild), 35.5 (low light) and 30.5 dB (high ISO) on the bundled
# photographs.  "lowlight-x264" is "lowlight" through libx264 at CRF 20.
LEVELS = {
    "mild": Level("mild", 800.0, 2.0),
    "lowlight": Level("lowlight", 560.0, 3.0),
    "highiso": Level("highiso", 210.0, 3.0),
    "lowlight-x264": Level("lowlight-x264", 560.0, 3.0, crf=20),
}


def to_linear(rgb8):
    """8-bit gamma-coded RGB to linear light."""
    return (rgb8.astype(np.float32) / 255.0) ** GAMMA


def bayer_masks(height, width):
    """Boolean masks of the red, green and blue photosites of an RGGB mosaic
    (red at even rows and even columns, blue at odd rows and odd columns)."""
    rows = np.arange(height)[:, None] % 2
    cols = np.arange(width)[None, :] % 2
    red = (rows == 0) & (cols == 0)
    blue = (rows == 1) & (cols == 1)
    return red, ~(red | blue), blue


def mosaic(linear):
    """The photosites' readings: each keeps its own colour of LINEAR."""
    red, green, blue = bayer_masks(*linear.shape[:2])
    return (linear[..., 0] * red + linear[..., 1] * green + linear[..., 2] * blue).astype(np.float64)


def expose(raw, level, rng):
    """Shot noise (Poisson in the electrons each photosite collects) and
    Gaussian read noise on RAW, back on RAW's scale (white balanced)."""
    red, green, blue = bayer_masks(*raw.shape)
    gain = level.electrons * (SENSITIVITY[0] * red + SENSITIVITY[1] * green + SENSITIVITY[2] * blue)
    electrons = rng.poisson(np.clip(raw, 0.0, None) * gain).astype(np.float64)
    electrons += rng.normal(0.0, level.read, raw.shape)
    return electrons / gain


_GREEN_KERNEL = np.array([[0, 1, 0], [1, 4, 1], [0, 1, 0]], np.float64) / 4.0
_RED_BLUE_KERNEL = np.array([[1, 2, 1], [2, 4, 2], [1, 2, 1]], np.float64) / 4.0


def demosaic(raw):
    """Bilinear demosaicing of an RGGB mosaic to linear RGB. Mirroring at the
    edges keeps the mosaic's pattern."""
    red, green, blue = bayer_masks(*raw.shape)
    out = np.empty(raw.shape + (3,), np.float64)
    out[..., 0] = ndimage.convolve(raw * red, _RED_BLUE_KERNEL, mode="mirror")
    out[..., 1] = ndimage.convolve(raw * green, _GREEN_KERNEL, mode="mirror")
    out[..., 2] = ndimage.convolve(raw * blue, _RED_BLUE_KERNEL, mode="mirror")
    return out


def to_yuv420(linear):
    """Gamma 2.2, then BT.601 studio range (Y 16..235, Cb and Cr 16..240), the
    chroma averaged over 2 x 2 samples (centred siting, as C420jpeg says),
    rounded to 8 bits."""
    rgb = np.clip(linear, 0.0, 1.0) ** (1.0 / GAMMA)
    luma = 0.299 * rgb[..., 0] + 0.587 * rgb[..., 1] + 0.114 * rgb[..., 2]
    cb = (rgb[..., 2] - luma) / 1.772
    cr = (rgb[..., 0] - luma) / 1.402

    def half(plane):
        return 0.25 * (plane[0::2, 0::2] + plane[0::2, 1::2] + plane[1::2, 0::2] + plane[1::2, 1::2])

    def byte(plane):
        return np.clip(np.rint(plane), 0, 255).astype(np.uint8)

    return (byte(16.0 + 219.0 * luma), byte(128.0 + 224.0 * half(cb)), byte(128.0 + 224.0 * half(cr)))


def camera_frame(linear, level, rng):
    """One frame as the camera gives it: noisy when LEVEL is given, else the
    same pipeline without noise."""
    raw = mosaic(linear)
    if level is not None:
        raw = expose(raw, level, rng)
    return to_yuv420(demosaic(raw))
