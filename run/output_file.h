// Output that never looks complete unless it is: a named file is written
// beside its final place and renamed there only when everything succeeded;
// "-" writes to standard output.
#pragma once

#include <cstdio>
#include <string>

struct OutputFile {
  std::string path;       // final name, or "-"
  std::string temporary;  // name written to until commit
  std::FILE* file = nullptr;
};

bool open_output(OutputFile& output, const std::string& path, std::string& error);
// Flushes, closes and renames into place. On failure removes the partial file.
bool commit_output(OutputFile& output, std::string& error);
// Closes and removes the partial file; harmless after commit or on stdout.
void discard_output(OutputFile& output);
