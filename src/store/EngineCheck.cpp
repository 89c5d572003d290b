#include "EngineCheck.h"

#include "engine/Engine.h"
#include "engine/FailureMessage.h"

namespace vandro::store {

using namespace engine;

EDBEngineError engineError(Result result, EngineState engine) {
  if (engine == EngineState::NotStarted && result != code::DescribedBeforeStart) {
    const QString message =
        QStringLiteral("An error occurred while attempting to initialize the database engine (error %1)")
            .arg(QString::fromStdString(hexCode(result)));
    return EDBEngineError(message, {TDBError{result, 0, message}});
  }
  std::vector<ErrorEntry> entries;
  for (int index = 1;; ++index) {
    ErrorEntry entry;
    if (Engine::instance().errorEntry(index, entry) != code::Ok || entry.code == code::Ok)
      break;
    entries.push_back(entry);
  }
  QVector<TDBError> errors;
  errors.push_back(
      TDBError{result, 0, QString::fromStdString(trimmedText(Engine::instance().errorText(result)))});
  for (const auto &entry : entries)
    errors.push_back(TDBError{entry.code, entry.nativeCode,
                              QString::fromStdString(trimmedText(entry.context))});
  return EDBEngineError(QString::fromStdString(failureMessage(result, entries)), std::move(errors));
}

void check(Result result) {
  if (result != code::Ok)
    throw engineError(result);
}

EDBEngineError storeError(Result result, const QStringList &details) {
  QString message = QString::fromStdString(trimmedText(Engine::instance().errorText(result)));
  QVector<TDBError> errors{TDBError{result, 0, message}};
  for (const QString &line : details) {
    message += QLatin1Char('\n') + line;
    errors.push_back(TDBError{result, 0, line});
  }
  return EDBEngineError(message, std::move(errors));
}

EDBEngineError changedSinceShown(const QStringList &fields, const QString &outcome) {
  return storeError(code::RecordChanged,
                    {QStringLiteral("Changed since the window showed it: %1.").arg(fields.join(QStringLiteral(", "))),
                     outcome});
}

} // namespace vandro::store
