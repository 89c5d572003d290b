// The error objects of the program: an exception class family, each with a
// message text and the code address where it was raised.
#pragma once

#include <QString>
#include <QVector>
#include <exception>
#include <string>

namespace vandro {

// The root of the family. Every failure the program reports is one of these;
// anything else that escapes a handler is reported in the long form.
class Exception : public std::exception {
public:
  // Records the caller's code address, so that the last-resort box can say
  // where the failure was raised.
  [[gnu::noinline]] explicit Exception(const QString &message);
  ~Exception() override = default;

  const QString &message() const { return m_message; }
  // The class name shown in the last-resort box.
  virtual const char *className() const { return "Exception"; }
  // The code address of the function that raised the error.
  const void *address() const { return m_address; }
  const char *what() const noexcept override { return m_utf8.c_str(); }

protected:
  Exception(const QString &message, const void *address);

private:
  QString m_message;
  std::string m_utf8;
  const void *m_address;
};

// The silent error: never shown.
class EAbort : public Exception {
public:
  [[gnu::noinline]] explicit EAbort(const QString &message = QString());
  const char *className() const override { return "EAbort"; }
};

// A text that is no integer.
class EConvertError : public Exception {
public:
  [[gnu::noinline]] explicit EConvertError(const QString &message);
  const char *className() const override { return "EConvertError"; }
};

// A general value of a kind that an operation cannot take.
class EVariantError : public Exception {
public:
  [[gnu::noinline]] explicit EVariantError(const QString &message);
  const char *className() const override { return "EVariantError"; }
};

// A floating-point operation without a result.
class EInvalidOp : public Exception {
public:
  [[gnu::noinline]] explicit EInvalidOp(const QString &message);
  const char *className() const override { return "EInvalidOp"; }
};

// A failure of the relation store. Raised on behalf of a named component,
// the message reads "Name: text".
class EDatabaseError : public Exception {
public:
  [[gnu::noinline]] explicit EDatabaseError(const QString &message);
  // "%s: %s" with the component's name.
  [[gnu::noinline]] EDatabaseError(const QString &componentName, const QString &text);
  const char *className() const override { return "EDatabaseError"; }

protected:
  EDatabaseError(const QString &message, const void *address);
};

// One entry of an engine failure: the engine code, the storage library's own
// code, and the text.
struct TDBError {
  int ErrorCode = 0;
  int NativeError = 0;
  QString Message;
};

// A failure of the database engine, with its entries.
class EDBEngineError : public EDatabaseError {
public:
  [[gnu::noinline]] EDBEngineError(const QString &message, QVector<TDBError> errors);
  const char *className() const override { return "EDBEngineError"; }
  const QVector<TDBError> &Errors() const { return m_errors; }
  int ErrorCount() const { return static_cast<int>(m_errors.size()); }

private:
  QVector<TDBError> m_errors;
};

} // namespace vandro
