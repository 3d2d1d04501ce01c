// System message texts for Windows error numbers, in our own words. Each ends
// in CR LF as the system's texts do, so callers that trim them (the serial
// engine's CleanErrorText) see what they would see on Windows.
#include <cstring>
#include <utility>

#include "NoThrow.h"
#include "winerror.h"

using qorv::platform::Guarded;

namespace {

constexpr std::pair<DWORD, const char*> kMessages[] = {
    {0, "The operation completed successfully."},
    {1, "The function is not valid for this object."},
    {2, "The file cannot be found."},
    {3, "The path cannot be found."},
    {4, "Too many files are open."},
    {5, "Access is denied."},
    {6, "The handle is not valid."},
    {8, "There is not enough memory to carry out this command."},
    {11, "An attempt was made to load a program with an incorrect format."},
    {13, "The data is not valid."},
    {14, "There is not enough memory to complete this operation."},
    {15, "The drive cannot be found."},
    {17, "The file cannot be moved to a different disk drive."},
    {18, "There are no more files."},
    {19, "The medium is write protected."},
    {20, "The device cannot be found."},
    {21, "The device is not ready."},
    {22, "The device does not recognise the command."},
    {23, "Data error (cyclic redundancy check)."},
    {31, "A device attached to the system is not working."},
    {32, "The file is in use by another process and cannot be accessed."},
    {33, "Another process has locked a portion of the file."},
    {38, "The end of the file has been reached."},
    {39, "The disk is full."},
    {50, "The request is not supported."},
    {55, "The network resource or device is no longer available."},
    {80, "The file already exists."},
    {87, "The parameter is incorrect."},
    {109, "The pipe has been ended."},
    {112, "There is not enough space on the disk."},
    {120, "This function is not supported on this system."},
    {122, "The data area passed to a system call is too small."},
    {123, "The file name, folder name or volume label syntax is incorrect."},
    {126, "The specified module cannot be found."},
    {127, "The specified procedure cannot be found."},
    {131, "An attempt was made to move the file pointer before the beginning of the file."},
    {145, "The folder is not empty."},
    {161, "The path given is not valid."},
    {170, "The requested resource is in use."},
    {183, "A file cannot be created when that file already exists."},
    {193, "The file is not a valid application or library for this system."},
    {206, "The file name or extension is too long."},
    {234, "More data is available."},
    {258, "The wait operation timed out."},
    {259, "No more data is available."},
    {267, "The folder name is not valid."},
    {317, "The text for this message number cannot be found in the system message table."},
    {995, "The I/O operation has been aborted because of either a thread exit or an application request."},
    {996, "The overlapped I/O event is not in a signalled state."},
    {997, "Overlapped I/O operation is in progress."},
    {998, "Access to this memory location is not valid."},
    {1004, "The flags are not valid."},
    {1009, "The configuration registry database is damaged."},
    {1010, "The configuration registry key is not valid."},
    {1011, "The configuration registry key cannot be opened."},
    {1012, "The configuration registry key cannot be read."},
    {1013, "The configuration registry key cannot be written."},
    {1018, "The registry key has been marked for deletion and cannot be changed."},
    {1113, "No mapping for the Unicode character exists in the target multi-byte code page."},
    {1121, "A counter time-out has caused the serial I/O operation to end."},
    {1155, "No application is associated with the specified file for this operation."},
    {1223, "The operation was cancelled by the user."},
    {1400, "The window handle is not valid."},
    {1410, "The window class already exists."},
    {1411, "The window class does not exist."},
    {1413, "The index is not valid."},
    {1450, "There are not enough system resources to complete the requested service."},
    {1460, "The operation returned because the time-out period expired."},
    {1617, "The device has been removed."},
    {1812, "The image file holds no resource section."},
    {1813, "The resource type cannot be found in the image file."},
    {1814, "The resource name cannot be found in the image file."},
    {1921, "The name of the file cannot be resolved by the system."},
};

const char* MessageText(DWORD id) {
  for (const auto& [number, text] : kMessages) {
    if (number == id) return text;
  }
  return nullptr;
}

}  // namespace

// Width control (the low byte of the flags) is not applied: the texts are one
// line each and keep their CR LF.
DWORD WINAPI FormatMessageA(DWORD dwFlags, LPCVOID, DWORD dwMessageId, DWORD, LPSTR lpBuffer, DWORD nSize, void*) {
  return Guarded(DWORD{0}, [&]() -> DWORD {
    constexpr DWORD kSupported = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                                 FORMAT_MESSAGE_ARGUMENT_ARRAY | FORMAT_MESSAGE_MAX_WIDTH_MASK;
    if (!(dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) || (dwFlags & ~kSupported) || !lpBuffer) {
      return qorv::platform::FailWith(ERROR_INVALID_PARAMETER);
    }
    const char* text = MessageText(dwMessageId);
    if (!text) return qorv::platform::FailWith(ERROR_MR_MID_NOT_FOUND);
    size_t length = std::strlen(text) + 2;
    if (length + 1 > nSize) return qorv::platform::FailWith(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(lpBuffer, text, length - 2);
    std::memcpy(lpBuffer + length - 2, "\r\n", 3);
    return static_cast<DWORD>(length);
  });
}
