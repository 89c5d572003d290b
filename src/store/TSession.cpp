#include "TSession.h"

#include "engine/ServerWait.h"

#include "EngineCheck.h"
#include "engine/Config.h"
#include "engine/DatabaseName.h"
#include "engine/Engine.h"
#include "corpus/RelationTable.h"

namespace vandro::store {

using namespace engine;

using namespace corpus;

TSession *Session = nullptr;

namespace {

// UTF-8 of at most 255 bytes, cut at a character boundary.
std::string enginePassword(const QString &password) {
  std::string bytes = password.toStdString();
  if (bytes.size() > 255) {
    std::size_t cut = 255;
    while (cut > 0 && (static_cast<unsigned char>(bytes[cut]) & 0xC0) == 0x80)
      --cut;
    bytes.resize(cut);
  }
  return bytes;
}

} // namespace

TSession::TSession(QString name) : m_name(std::move(name)) {
  if (!Session)
    Session = this;
}

TSession::~TSession() {
  end();
  if (Session == this)
    Session = nullptr;
}

void TSession::start() {
  if (m_started)
    return;
  const Result result = Engine::instance().initialise(kInterfaceVersion, kLanguage);
  if (result != code::Ok && result != code::AlreadyInitialised)
    throw engineError(result, EngineState::NotStarted);
  m_started = true;
}

Database &TSession::database(const QString &databaseName) {
  start();
  if (auto found = m_databases.find(databaseName); found != m_databases.end())
    return *found->second;
  const std::string name = databaseName.toStdString();
  const bool path = isDirectoryName(name);
  std::unique_ptr<Database> database;
  check(Engine::instance().openDatabase(path ? "" : name, path ? name : "", OpenMode::ReadWrite,
                                        ShareMode::Shared, database));
  return *m_databases.emplace(databaseName, std::move(database)).first->second;
}

void TSession::AddPassword(const QString &password) {
  start();
  (void)Engine::instance().addPassword(enginePassword(password));
}

void TSession::RemovePassword(const QString &password) {
  if (m_started)
    (void)Engine::instance().dropPassword(enginePassword(password));
}

void TSession::RemoveAllPasswords() {
  if (m_started)
    Engine::instance().dropAllPasswords();
}

bool TSession::askPassword() { return m_prompt && m_prompt(*this); }

void TSession::end() {
  m_databases.clear();
  if (m_started) {
    (void)Engine::instance().exit();
    m_started = false;
  }
}

void TSession::setWaitHook(std::function<void(int)> hook) { engine::setWaitHook(std::move(hook)); }

QString TSession::configurationPath() { return QString::fromStdString(engine::Config::defaultPath()); }

QStringList TSession::relationNames() {
  QStringList names;
  for (const std::string_view name : corpus::kRelationNames)
    names << QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
  return names;
}

} // namespace vandro::store
