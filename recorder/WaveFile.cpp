#include "WaveFile.h"

#include <cstring>

#include "AudioCapture.h"
#include "fileapi.h"
#include "synch.h"

namespace qorv::recorder {
namespace {

constexpr DWORD kSamplesPerSecond = 8000;
constexpr WORD kFormatPcm = 1;
constexpr WORD kChannels = 1;
constexpr WORD kBlockAlign = 1;
constexpr WORD kBitsPerSample = 8;
constexpr DWORD kFormatBlockSize = 16;
// Bytes of the header after the RIFF size field: the file length minus 8, less the samples.
constexpr DWORD kRiffSizeBase = kWaveHeaderSize - 8;

class THeaderWriter {
 public:
  explicit THeaderWriter(BYTE* at) : at_(at) {}
  void Tag(const char (&tag)[5]) { Bytes(tag, 4); }
  void U16(WORD v) {
    const BYTE le[2] = {LOBYTE(v), HIBYTE(v)};
    Bytes(le, 2);
  }
  void U32(DWORD v) {
    const BYTE le[4] = {LOBYTE(v), HIBYTE(v), LOBYTE(v >> 16), HIBYTE(v >> 16)};
    Bytes(le, 4);
  }

 private:
  void Bytes(const void* from, size_t n) {
    std::memcpy(at_, from, n);
    at_ += n;
  }
  BYTE* at_;
};

// Removes the named file; a recording that did not reach the disk whole must
// not stay behind looking like one.
void DiscardIncomplete(const std::string& path) { DeleteFileA(path.c_str()); }

}  // namespace

void BuildWaveHeader(TRecorderState& state, int sampleCount) {
  const DWORD samples = static_cast<DWORD>(sampleCount);
  THeaderWriter header(state.AudioBuffer.Data());
  header.Tag("RIFF");
  header.U32(kRiffSizeBase + samples);
  header.Tag("WAVE");
  header.Tag("fmt ");
  header.U32(kFormatBlockSize);
  header.U16(kFormatPcm);
  header.U16(kChannels);
  header.U32(kSamplesPerSecond);
  header.U32(kSamplesPerSecond * kBlockAlign);
  header.U16(kBlockAlign);
  header.U16(kBitsPerSample);
  header.Tag("data");
  header.U32(samples);
}

void WriteWaveFile(TRecorderState& state) {
  const int sampleCount = RecordedSampleCount(state);
  BuildWaveHeader(state, sampleCount);

  const std::string& path = state.SavePath;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;

  const DWORD fileSize = static_cast<DWORD>(kWaveHeaderSize + sampleCount);
  DWORD written = 0;
  const BOOL wrote = WriteFile(file, state.AudioBuffer.Data(), fileSize, &written, nullptr);
  // Closed before the name is removed: the file is held with no sharing.
  const BOOL closed = CloseHandle(file);
  if (!wrote || written != fileSize || !closed) DiscardIncomplete(path);
}

}  // namespace qorv::recorder
