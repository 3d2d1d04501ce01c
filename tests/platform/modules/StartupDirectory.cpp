// Answers the current directory it started with, on its output or, given a
// Linux file name, in that file (for starts that keep no output).
#include <cstdio>

#include "fileapi.h"
#include "wintypes.h"

int main(int argc, char** argv) {
  char directory[MAX_PATH] = {};
  DWORD length = GetCurrentDirectoryA(sizeof directory, directory);
  if (length == 0 || length >= sizeof directory) return 1;
  std::FILE* out = argc > 1 ? std::fopen(argv[1], "wb") : stdout;
  if (!out) return 2;
  std::fputs(directory, out);
  return std::fclose(out) == 0 ? 0 : 3;
}
