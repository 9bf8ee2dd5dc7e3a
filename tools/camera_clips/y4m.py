# SPDX-License-Identifier: BSD-2-Clause
"""Reading and writing 4:2:0 8-bit YUV4MPEG2 clips as numpy planes."""
import numpy as np


class Clip:
    """Frames of one clip: each frame a tuple (Y, Cb, Cr) of uint8 arrays."""

    def __init__(self, width, height, frames, header_tail="F25:1 Ip A1:1 C420jpeg"):
        self.width = width
        self.height = height
        self.frames = frames
        self.header_tail = header_tail


def read(path):
    with open(path, "rb") as f:
        data = f.read()
    end = data.find(b"\n")
    if not data.startswith(b"YUV4MPEG2 ") or end < 0:
        raise ValueError(f"{path}: not a YUV4MPEG2 clip")
    fields = data[10:end].decode("ascii").split()
    width = height = None
    tail = []
    for field in fields:
        if field[0] == "W":
            width = int(field[1:])
        elif field[0] == "H":
            height = int(field[1:])
        else:
            if field[0] == "C" and not field.startswith("C420"):
                raise ValueError(f"{path}: {field} is not 4:2:0 8-bit")
            tail.append(field)
    if not width or not height or width % 2 or height % 2:
        raise ValueError(f"{path}: a width and height that are even are needed")
    luma = width * height
    chroma = luma // 4
    frames = []
    at = end + 1
    while at < len(data):
        line_end = data.find(b"\n", at)
        if line_end < 0 or not data.startswith(b"FRAME", at):
            raise ValueError(f"{path}: a frame header is broken")
        at = line_end + 1
        if at + luma + 2 * chroma > len(data):
            raise ValueError(f"{path}: the last frame is cut short")
        buf = np.frombuffer(data, np.uint8, luma + 2 * chroma, at)
        frames.append((buf[:luma].reshape(height, width),
                       buf[luma:luma + chroma].reshape(height // 2, width // 2),
                       buf[luma + chroma:].reshape(height // 2, width // 2)))
        at += luma + 2 * chroma
    return Clip(width, height, frames, " ".join(tail))


def write(path, clip):
    with open(path, "wb") as f:
        f.write(f"YUV4MPEG2 W{clip.width} H{clip.height} {clip.header_tail}\n".encode("ascii"))
        for planes in clip.frames:
            f.write(b"FRAME\n")
            for plane in planes:
                f.write(np.ascontiguousarray(plane, np.uint8).tobytes())
