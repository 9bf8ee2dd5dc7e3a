/* SPDX-License-Identifier: BSD-2-Clause */
// A fixed set of pictures and settings run through the loaded library by the
// host stand-ins, each output frame reduced to a digest. The native build and
// the Windows build run the same set; equal digests mean byte-identical
// frames. The set covers both frame formats, every output mode, the
// single-plane view, the switch, and each of the eighteen levels alone.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "library.h"

struct TestPicture {
  std::string name;
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint32_t> rgb32;  // width * height pixels: blue in the low byte
};

struct FrameCase {
  std::string name;
  bool yuy2 = false;  // through the AviSynth side, else the VirtualDub side
  size_t picture = 0;
  int32_t thresholds[3][6] = {};
  int32_t mode = 0;  // VirtualDub side only, as are the three below
  int32_t enabled = 1;
  int32_t show_plane = 0;
  int32_t plane = 0;
};

struct FrameDigest {
  std::string name;
  std::string digest;  // 16 hexadecimal digits
};

// The generated pictures, then the photograph when one is given (its pixels
// as 32-bit RGB words, 512 x 512).
std::vector<TestPicture> test_pictures(const std::vector<uint32_t>* photo);
std::vector<FrameCase> frame_cases(const std::vector<TestPicture>& pictures);

// YUY2 bytes made from a picture: a fixed integer colour conversion, so that
// both builds feed the AviSynth side the same bytes.
std::vector<uint8_t> yuy2_from_rgb32(const TestPicture& picture);

// FNV-1a, 64 bits, as 16 lower-case hexadecimal digits.
std::string digest_bytes(const uint8_t* data, size_t size);

// Runs every case through the library. work_dir receives the settings files
// the AviSynth side reads. Returns false with a message when a case cannot
// be run at all; a library error inside a case is raised by the stand-ins.
bool run_frame_cases(const LoadedLibrary& library, const std::vector<TestPicture>& pictures,
                     const std::vector<FrameCase>& cases, const std::string& work_dir,
                     std::vector<FrameDigest>& digests, std::string& error);

// "name digest" lines, one per case.
std::string format_digests(const std::vector<FrameDigest>& digests);
bool parse_digests(const std::string& text, std::vector<FrameDigest>& digests);

// Raw photograph files exchanged between the builds: little-endian words.
bool write_words(const std::string& path, const std::vector<uint32_t>& words);
bool read_words(const std::string& path, std::vector<uint32_t>& words);
