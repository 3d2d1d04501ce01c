#include "FileShare.h"

#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>
#include <map>
#include <mutex>

#include "fileapi.h"
#include "winerror.h"

namespace qorv::platform {

namespace {

struct OpenEntry {
  DWORD Access;
  DWORD Share;
};

struct ShareList {
  std::mutex Lock;
  std::map<FileKey, std::map<unsigned long, OpenEntry>> Opens;
  unsigned long NextId = 1;
};

ShareList& List() {
  static ShareList* list = new ShareList;  // handles may close from static destructors
  return *list;
}

bool Reads(DWORD access) { return access & (GENERIC_READ | GENERIC_ALL); }
bool Writes(DWORD access) { return access & (GENERIC_WRITE | GENERIC_ALL); }

// Each side must share what the other wants to do, as on Windows.
bool Compatible(const OpenEntry& held, DWORD access, DWORD share) {
  if (Reads(access) && !(held.Share & FILE_SHARE_READ)) return false;
  if (Writes(access) && !(held.Share & FILE_SHARE_WRITE)) return false;
  if (Reads(held.Access) && !(share & FILE_SHARE_READ)) return false;
  if (Writes(held.Access) && !(share & FILE_SHARE_WRITE)) return false;
  return true;
}

}  // namespace

FileKey KeyOfDescriptor(int fd) {
  struct stat st {};
  ::fstat(fd, &st);
  return {st.st_dev, st.st_ino};
}

ShareReservation::ShareReservation(FileKey key, unsigned long id) : key_(key), id_(id) {}

ShareReservation::ShareReservation(ShareReservation&& other) noexcept : key_(other.key_), id_(other.id_) {
  other.id_ = 0;
}

ShareReservation& ShareReservation::operator=(ShareReservation&& other) noexcept {
  if (this != &other) {
    Release();
    key_ = other.key_;
    id_ = other.id_;
    other.id_ = 0;
  }
  return *this;
}

void ShareReservation::Release() {
  if (!id_) return;
  auto& list = List();
  std::lock_guard guard(list.Lock);
  auto it = list.Opens.find(key_);
  if (it != list.Opens.end()) {
    it->second.erase(id_);
    if (it->second.empty()) list.Opens.erase(it);
  }
  id_ = 0;
}

bool ReserveShare(int fd, DWORD access, DWORD share, ShareReservation& reservation) {
  FileKey key = KeyOfDescriptor(fd);
  unsigned long id = 0;
  {
    auto& list = List();
    std::lock_guard guard(list.Lock);
    auto it = list.Opens.find(key);
    if (it != list.Opens.end()) {
      for (const auto& [_, held] : it->second) {
        if (!Compatible(held, access, share)) return FailWith(ERROR_SHARING_VIOLATION);
      }
    }
    // Other processes' opens are seen only through the flock; it is taken
    // under the list lock so two opens here cannot both pass the check.
    if (::flock(fd, (share == 0 ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
      return FailWith(errno == EWOULDBLOCK ? ERROR_SHARING_VIOLATION : ErrorFromErrno(errno));
    }
    id = list.NextId++;
    list.Opens[key][id] = {access, share};
  }
  reservation = ShareReservation(key, id);
  return TRUE;
}

bool OpensAllowDelete(FileKey key) {
  auto& list = List();
  std::lock_guard guard(list.Lock);
  auto it = list.Opens.find(key);
  if (it == list.Opens.end()) return true;
  for (const auto& [id, held] : it->second) {
    if (!(held.Share & FILE_SHARE_DELETE)) return false;
  }
  return true;
}

bool HasOpens(FileKey key) {
  auto& list = List();
  std::lock_guard guard(list.Lock);
  return list.Opens.count(key) != 0;
}

}  // namespace qorv::platform
