#include "Exception.h"

namespace vandro {

Exception::Exception(const QString &message)
    : Exception(message, __builtin_return_address(0)) {}

Exception::Exception(const QString &message, const void *address)
    : m_message(message), m_utf8(message.toStdString()), m_address(address) {}

EAbort::EAbort(const QString &message) : Exception(message, __builtin_return_address(0)) {}

EConvertError::EConvertError(const QString &message)
    : Exception(message, __builtin_return_address(0)) {}

EVariantError::EVariantError(const QString &message)
    : Exception(message, __builtin_return_address(0)) {}

EInvalidOp::EInvalidOp(const QString &message) : Exception(message, __builtin_return_address(0)) {}

EDatabaseError::EDatabaseError(const QString &message)
    : Exception(message, __builtin_return_address(0)) {}

EDatabaseError::EDatabaseError(const QString &componentName, const QString &text)
    : Exception(QStringLiteral("%1: %2").arg(componentName, text), __builtin_return_address(0)) {}

EDatabaseError::EDatabaseError(const QString &message, const void *address)
    : Exception(message, address) {}

EDBEngineError::EDBEngineError(const QString &message, QVector<TDBError> errors)
    : EDatabaseError(message, __builtin_return_address(0)), m_errors(std::move(errors)) {}

} // namespace vandro
