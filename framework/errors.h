// One error hierarchy: every error carries its message text and is caught once,
// by the application's error box, the start-up failure box or a tool's main.
#pragma once

#include <exception>
#include <string>

// printf-style formatting of the fixed message texts.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const std::string& Message() const { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }
  virtual const char* ClassName() const { return "Exception"; }

 private:
  std::string message_;
};

#define INSTALADOR_ERROR_CLASS(Name, Base)                   \
  class Name : public Base {                                 \
   public:                                                   \
    using Base::Base;                                        \
    const char* ClassName() const override { return #Name; } \
  }

INSTALADOR_ERROR_CLASS(EStreamError, Exception);
INSTALADOR_ERROR_CLASS(EFilerError, EStreamError);
INSTALADOR_ERROR_CLASS(EReadError, EFilerError);
INSTALADOR_ERROR_CLASS(EWriteError, EFilerError);
INSTALADOR_ERROR_CLASS(EClassNotFound, EFilerError);
INSTALADOR_ERROR_CLASS(EFCreateError, EStreamError);
INSTALADOR_ERROR_CLASS(EFOpenError, EStreamError);
INSTALADOR_ERROR_CLASS(EListError, Exception);
INSTALADOR_ERROR_CLASS(EConvertError, Exception);
INSTALADOR_ERROR_CLASS(EPropertyError, Exception);
INSTALADOR_ERROR_CLASS(EResNotFound, Exception);
INSTALADOR_ERROR_CLASS(EZlibError, Exception);
INSTALADOR_ERROR_CLASS(ECompressionError, EZlibError);
INSTALADOR_ERROR_CLASS(EDecompressionError, EZlibError);
INSTALADOR_ERROR_CLASS(ERegistryException, Exception);
INSTALADOR_ERROR_CLASS(EOleError, Exception);
INSTALADOR_ERROR_CLASS(EOleSysError, EOleError);
INSTALADOR_ERROR_CLASS(EIntfCastError, Exception);
// A payload or executable that is not what it claims to be (tools and loaders).
INSTALADOR_ERROR_CLASS(EFormatError, Exception);

#undef INSTALADOR_ERROR_CLASS
