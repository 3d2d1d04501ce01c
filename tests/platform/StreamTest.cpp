#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "TestSupport.h"
#include "globalmem.h"
#include "objbase.h"
#include "shlwapi.h"
#include "systemroot.h"

namespace {

LARGE_INTEGER Move(LONGLONG n) {
  LARGE_INTEGER v;
  v.QuadPart = n;
  return v;
}
ULARGE_INTEGER Size(ULONGLONG n) {
  ULARGE_INTEGER v;
  v.QuadPart = n;
  return v;
}

std::string ReadAll(IStream* stream) {
  EXPECT_EQ(stream->Seek(Move(0), STREAM_SEEK_SET, nullptr), S_OK);
  std::string out;
  char buffer[7];
  ULONG got = 0;
  do {
    EXPECT_EQ(stream->Read(buffer, sizeof buffer, &got), S_OK);
    out.append(buffer, got);
  } while (got == sizeof buffer);
  return out;
}

TEST(GlobalMemory, MovableBlocksLockCountAndResize) {
  HGLOBAL block = GlobalAlloc(GHND, 4);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(GlobalSize(block), 4u);
  auto* bytes = static_cast<BYTE*>(GlobalLock(block));
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(bytes[3], 0) << "GMEM_ZEROINIT";
  std::memcpy(bytes, "abcd", 4);
  EXPECT_EQ(GlobalReAlloc(block, 1 << 20, 0), nullptr) << "a locked block that must move stays";
  EXPECT_EQ(GlobalUnlock(block), FALSE);
  EXPECT_EQ(GetLastError(), NO_ERROR) << "the last lock went";
  EXPECT_EQ(GlobalUnlock(block), FALSE);
  EXPECT_EQ(GetLastError(), ERROR_NOT_LOCKED);
  ASSERT_EQ(GlobalReAlloc(block, 1 << 20, GMEM_ZEROINIT), block) << "a movable block keeps its handle";
  bytes = static_cast<BYTE*>(GlobalLock(block));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes), 4), "abcd");
  EXPECT_EQ(bytes[(1 << 20) - 1], 0);
  GlobalUnlock(block);
  EXPECT_EQ(GlobalFree(block), nullptr);
  EXPECT_EQ(GlobalFree(block), block) << "freed twice";
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(GlobalLock(block), nullptr);
  EXPECT_EQ(GlobalSize(block), 0u);

  HGLOBAL empty = GlobalAlloc(GMEM_MOVEABLE, 0);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(GlobalLock(empty), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_DISCARDED);
  GlobalFree(empty);

  HGLOBAL fixed = GlobalAlloc(GPTR, 8);
  EXPECT_EQ(GlobalLock(fixed), fixed) << "a fixed block's handle is its address";
  GlobalFree(fixed);
}

// A memory stream reads short at the end, grows on writes past it, refuses a
// seek before its start, and shares its block with clones.
TEST(StreamOnHGlobal, ReadsWritesSeeksAndClones) {
  IStream* stream = nullptr;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
  ULONG n = 0;
  ASSERT_EQ(stream->Write("hello", 5, &n), S_OK);
  EXPECT_EQ(n, 5u);
  ULARGE_INTEGER position{};
  ASSERT_EQ(stream->Seek(Move(3), STREAM_SEEK_END, &position), S_OK);
  EXPECT_EQ(position.QuadPart, 8u) << "seeking past the end is allowed";
  ASSERT_EQ(stream->Write("!", 1, &n), S_OK);
  EXPECT_EQ(ReadAll(stream), std::string("hello\0\0\0!", 9)) << "the gap reads as zeros";

  EXPECT_EQ(stream->Seek(Move(-10), STREAM_SEEK_END, &position), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(stream->Seek(Move(0), 7, &position), STG_E_INVALIDFUNCTION);
  ASSERT_EQ(stream->Seek(Move(-4), STREAM_SEEK_END, &position), S_OK);
  char buffer[16];
  ASSERT_EQ(stream->Read(buffer, sizeof buffer, &n), S_OK);
  EXPECT_EQ(n, 4u) << "a short read at the end is no error";
  ASSERT_EQ(stream->Read(buffer, sizeof buffer, &n), S_OK);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(stream->Read(nullptr, 1, &n), STG_E_INVALIDPOINTER);

  IStream* clone = nullptr;
  ASSERT_EQ(stream->Seek(Move(1), STREAM_SEEK_SET, nullptr), S_OK);
  ASSERT_EQ(stream->Clone(&clone), S_OK);
  ASSERT_EQ(clone->Write("E", 1, &n), S_OK) << "written at the position it was cloned at";
  ASSERT_EQ(stream->SetSize(Size(5)), S_OK);
  EXPECT_EQ(ReadAll(clone), "hEllo");

  STATSTG stat{};
  ASSERT_EQ(stream->Stat(&stat, STATFLAG_DEFAULT), S_OK);
  EXPECT_EQ(stat.type, STGTY_STREAM);
  EXPECT_EQ(stat.cbSize.QuadPart, 5u);
  EXPECT_EQ(stat.pwcsName, nullptr);
  EXPECT_EQ(stream->Stat(&stat, 5), STG_E_INVALIDFLAG);
  EXPECT_EQ(stream->LockRegion(Size(0), Size(1), LOCK_WRITE), STG_E_INVALIDFUNCTION);

  HGLOBAL block = nullptr;
  ASSERT_EQ(GetHGlobalFromStream(clone, &block), S_OK);
  EXPECT_EQ(GlobalSize(block), 5u);
  stream->Release();
  EXPECT_EQ(GlobalSize(block), 5u) << "the clone still holds the block";
  clone->Release();
  EXPECT_EQ(GlobalSize(block), 0u) << "freed with the last stream";
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

// A caller's block is the stream's contents, and stays the caller's when
// the stream is not to free it.
TEST(StreamOnHGlobal, CallersBlockIsKeptAndCopiedFrom) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 3);
  std::memcpy(GlobalLock(block), "xyz", 3);
  GlobalUnlock(block);
  IStream* source = nullptr;
  ASSERT_EQ(CreateStreamOnHGlobal(block, FALSE, &source), S_OK);
  IStream* target = nullptr;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &target), S_OK);
  ULARGE_INTEGER read{};
  ULARGE_INTEGER written{};
  ASSERT_EQ(source->CopyTo(target, Size(100), &read, &written), S_OK);
  EXPECT_EQ(read.QuadPart, 3u);
  EXPECT_EQ(written.QuadPart, 3u);
  EXPECT_EQ(ReadAll(target), "xyz");
  EXPECT_EQ(source->CopyTo(nullptr, Size(1), nullptr, nullptr), STG_E_INVALIDPOINTER);
  source->Release();
  target->Release();
  EXPECT_EQ(GlobalSize(block), 3u);
  GlobalFree(block);
  EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, nullptr), E_INVALIDARG);
}

TEST(StreamOnFile, OpensCreatesAndRespectsTheMode) {
  IStream* stream = nullptr;
  EXPECT_EQ(SHCreateStreamOnFileA("C:\\missing.bin", STGM_READ, &stream), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(stream, nullptr);
  EXPECT_EQ(SHCreateStreamOnFileA("C:\\no\\such\\folder.bin", STGM_CREATE | STGM_WRITE, &stream),
            HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(SHCreateStreamOnFileA("C:\\data.bin", STGM_READ | STGM_TRANSACTED, &stream), E_INVALIDARG);

  ASSERT_EQ(SHCreateStreamOnFileA("C:\\data.bin", STGM_CREATE | STGM_READWRITE, &stream), S_OK);
  ULONG n = 0;
  ASSERT_EQ(stream->Write("0123456789", 10, &n), S_OK);
  ASSERT_EQ(stream->SetSize(Size(4)), S_OK);
  EXPECT_EQ(ReadAll(stream), "0123");
  STATSTG stat{};
  ASSERT_EQ(stream->Stat(&stat, STATFLAG_DEFAULT), S_OK);
  EXPECT_EQ(stat.cbSize.QuadPart, 4u);
  EXPECT_EQ(std::u16string(stat.pwcsName), u"C:\\data.bin");
  CoTaskMemFree(stat.pwcsName);
  IStream* clone = reinterpret_cast<IStream*>(1);
  EXPECT_EQ(stream->Clone(&clone), E_NOTIMPL);
  stream->Release();

  ASSERT_EQ(SHCreateStreamOnFileA("C:\\data.bin", STGM_READ, &stream), S_OK);
  EXPECT_EQ(stream->Write("x", 1, &n), STG_E_ACCESSDENIED);
  EXPECT_EQ(ReadAll(stream), "0123");
  IStream* second = nullptr;
  EXPECT_EQ(SHCreateStreamOnFileA("C:\\data.bin", STGM_READWRITE | STGM_SHARE_EXCLUSIVE, &second),
            HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION));
  stream->Release();
  auto bytes = qorv::test::ReadFileBytes(qorv::platform::ReadDriveMapping('C').Folder / "data.bin");
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "0123");
}

}  // namespace
