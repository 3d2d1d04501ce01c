#include "Exceptions.h"

#include <utility>

Exception::Exception(std::string message) : message_(std::move(message)) {}
Exception::~Exception() = default;

EInOutError::EInOutError(std::string message, int errorCode) : Exception(std::move(message)), errorCode_(errorCode) {}

EOutOfMemory::EOutOfMemory() : Exception("Out of memory") {}
