// The framework's exception classes. Every exception the framework and the
// layers above raise derives from Exception, which carries a message text and
// also answers std::exception::what(), so a catch of either kind sees it.
#pragma once

#include <exception>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>

class Exception : public std::exception {
 public:
  explicit Exception(std::string message);
  ~Exception() override;

  const std::string& Message() const noexcept { return message_; }
  void SetMessage(std::string message) { message_ = std::move(message); }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

// An input/output failure: the message and the positive system error number.
class EInOutError : public Exception {
 public:
  EInOutError(std::string message, int errorCode);
  int ErrorCode() const noexcept { return errorCode_; }

 private:
  int errorCode_;
};

// Allocation failed; the message is always "Out of memory" (short enough to
// need no allocation of its own).
class EOutOfMemory : public Exception {
 public:
  EOutOfMemory();
};

// A request for more than the framework will make, such as a drawing surface
// past the size limit; the message names what was asked for.
class EOutOfResources : public Exception {
 public:
  using Exception::Exception;
};

// Runs body at one of the framework's entry points (form and picture loading,
// surface creation): memory exhaustion inside it leaves as EOutOfMemory, never
// as a bare std::bad_alloc, and so does a container asked for more than it
// can ever hold (std::length_error). The message loop's exception display
// does the same for handlers.
template <class F>
decltype(auto) TranslateOutOfMemory(F&& body) {
  try {
    return std::forward<F>(body)();
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory();
  } catch (const std::length_error&) {
    throw EOutOfMemory();
  }
}

// A text that is not what a conversion expects (see StrToInt, Format).
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};
