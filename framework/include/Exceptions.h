// The framework's exception classes. Every exception the framework and the
// layers above raise derives from Exception, which carries a message text and
// also answers std::exception::what(), so a catch of either kind sees it.
#pragma once

#include <exception>
#include <string>

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

// Allocation failed; the message is always "Out of memory".
class EOutOfMemory : public Exception {
 public:
  EOutOfMemory();
};

// A text that is not what a conversion expects (see StrToInt, Format).
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};
