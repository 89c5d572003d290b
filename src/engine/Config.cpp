#include "Config.h"

#include "ErrorEntries.h"
#include "MessageText.h"
#include "Quoted.h"
#include "WholeFile.h"

#include <algorithm>
#include <cerrno>
#include <unordered_map>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace vandro::engine {

namespace {

std::string trim(const std::string &text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos)
    return {};
  const auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

bool sameName(const std::string &a, const std::string &b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// A value written in double quotes is the text between them.
std::string unquoted(const std::string &value) {
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
    return value.substr(1, value.size() - 2);
  return value;
}

// How a value stands in the file: in double quotes where reading it back
// would otherwise lose blanks at its ends or quotes around it.
std::string written(const std::string &value) {
  const bool quote = !value.empty() && (value != trim(value) || (value.size() >= 2 && value.front() == '"' &&
                                                                  value.back() == '"'));
  return quote ? engine::quoted(value, '"') : value;
}

std::string lowerCase(std::string text) {
  for (char &c : text)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

} // namespace

std::string Config::resolvedPath(const std::string &value) const {
  namespace fs = std::filesystem;
  if (value.empty())
    return value;
  if (value == "~" || value.rfind("~/", 0) == 0) {
    const char *home = std::getenv("HOME");
    return std::string(home ? home : "") + value.substr(1);
  }
  if (value.front() == '/')
    return value;
  // Relative to the folder of the configuration file, not the working one.
  std::error_code ec;
  const fs::path folder = fs::absolute(fs::path(m_path), ec).parent_path();
  return (folder / value).lexically_normal().string();
}

std::string Config::defaultPath() {
  if (const char *explicitPath = std::getenv("VANDRO_ENGINE_CONFIG"); explicitPath && *explicitPath)
    return explicitPath;
  std::string base;
  if (const char *xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
    base = xdg;
  else if (const char *home = std::getenv("HOME"); home && *home)
    base = std::string(home) + "/.config";
  else
    base = ".config";
  return base + "/vandro/engine.conf";
}

namespace {

// The bytes of the configuration file at `path`: Ok with `exists` false
// when there is none, and with nothing read for /dev/null (a configuration
// without aliases); ConfigUnreadable naming the cause otherwise.
Result readConfigFile(const std::string &path, std::string &content, bool &exists) {
  exists = false;
  auto unreadable = [&](int error) {
    return ErrorEntries::fail(code::ConfigUnreadable,
                              {{code::ConfigUnreadable, 0, "File: " + path},
                               {code::ConfigUnreadable, error, std::strerror(error)}});
  };
  // Plain system calls: each failure is an answer here, never an exception.
  // Opened without waiting, so that a pipe under the name cannot hang the
  // program; only a regular file is read.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0)
    return errno == ENOENT ? code::Ok : unreadable(errno);
  struct stat status {};
  const int statError = ::fstat(fd, &status) == 0 ? 0 : errno;
  // /dev/null stands for a configuration without aliases, as usual.
  struct stat null {};
  if (!statError && S_ISCHR(status.st_mode) && ::stat("/dev/null", &null) == 0 && null.st_rdev == status.st_rdev) {
    ::close(fd);
    exists = true;
    return code::Ok;
  }
  if (statError || !S_ISREG(status.st_mode)) {
    const int error = statError ? statError : S_ISDIR(status.st_mode) ? EISDIR : 0;
    ::close(fd);
    if (error)
      return unreadable(error);
    return ErrorEntries::fail(code::ConfigUnreadable, {{code::ConfigUnreadable, 0, "File: " + path},
                                                       {code::ConfigUnreadable, 0, "It is not a regular file"}});
  }
  char buffer[8192];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR)
      continue;
    if (got < 0) {
      const int error = errno;
      ::close(fd);
      return unreadable(error);
    }
    if (got == 0)
      break;
    content.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  exists = true;
  return code::Ok;
}

} // namespace

Result Config::load(const std::string &path) {
  m_path = path;
  m_lines.clear();
  std::string content;
  if (const Result read = readConfigFile(path, content, m_fileExists); read != code::Ok)
    return read;
  // Editors may start a UTF-8 file with a byte-order mark; it is no text.
  if (content.rfind("\xEF\xBB\xBF", 0) == 0) {
    m_byteOrderMark = true;
    content.erase(0, 3);
  }
  return parse(content);
}

Result Config::parse(const std::string &content) {
  const std::string &path = m_path;
  m_lineEnd = "\n";
  std::string section;
  int number = 0;
  std::unordered_map<std::string, int> headers; // each alias's name, folded -> its line
  for (std::size_t at = 0; at < content.size();) {
    const auto newline = content.find('\n', at);
    const std::size_t stop = newline == std::string::npos ? content.size() : newline;
    std::string text = content.substr(at, stop - at);
    std::string end = newline == std::string::npos ? "" : "\n";
    if (!text.empty() && text.back() == '\r') {
      text.pop_back();
      end = "\r" + end;
    }
    at = newline == std::string::npos ? content.size() : newline + 1;
    if (number == 0 && !end.empty())
      m_lineEnd = end;
    ++number;
    Line line;
    line.text = text;
    line.end = end;
    line.number = number;
    const std::string trimmed = trim(text);
    if (trimmed.empty() || trimmed[0] == ';' || trimmed[0] == '#') {
      line.section = section;
    } else if (trimmed.front() == '[') {
      if (trimmed.back() != ']' || trim(trimmed.substr(1, trimmed.size() - 2)).empty())
        return ErrorEntries::fail(
            code::ConfigMalformed,
            {{code::ConfigMalformed, 0, "File: " + path + ", line " + std::to_string(number)},
             {code::ConfigMalformed, 0, "A section name must stand as [Name]: " + shownText(trimmed)}});
      section = trim(trimmed.substr(1, trimmed.size() - 2));
      // Two sections of one name would silently make one alias of both.
      if (const auto [first, added] = headers.emplace(lowerCase(section), number); !added)
        return ErrorEntries::fail(
            code::ConfigMalformed,
            {{code::ConfigMalformed, 0, "File: " + path + ", line " + std::to_string(number)},
             {code::ConfigMalformed, 0,
              "The alias " + shownText(section) + " has a section of its own already, at line " +
                  std::to_string(first->second)}});
      line.section = section;
      line.header = true;
    } else {
      const auto equals = trimmed.find('=');
      if (equals == std::string::npos || section.empty() || trim(trimmed.substr(0, equals)).empty())
        return ErrorEntries::fail(
            code::ConfigMalformed,
            {{code::ConfigMalformed, 0, "File: " + path + ", line " + std::to_string(number)},
             {code::ConfigMalformed, 0,
              section.empty() ? "A setting stands before the first [alias] section: " + shownText(trimmed)
                              : "Expected key = value: " + shownText(trimmed)}});
      line.section = section;
      line.key = trim(trimmed.substr(0, equals));
      line.value = unquoted(trim(trimmed.substr(equals + 1)));
    }
    m_lines.push_back(std::move(line));
  }
  return code::Ok;
}

void Config::addLine(AliasInfo &alias, const Line &line) const {
  if (sameName(line.key, "driver"))
    alias.driver = line.value.empty() ? std::string(kDirectoryDriver) : lowerCase(line.value);
  else if (sameName(line.key, "path"))
    alias.path = resolvedPath(line.value);
  else if (!line.key.empty()) {
    alias.settings.emplace_back(lowerCase(line.key), line.value);
    alias.settingLines.push_back(line.number);
  }
}

std::vector<AliasInfo> Config::aliases() const {
  // One pass: each alias's lines follow its section header.
  std::vector<AliasInfo> list;
  std::unordered_map<std::string, std::size_t> index; // folded name -> place in `list`
  for (const auto &line : m_lines) {
    if (line.section.empty())
      continue;
    const auto [at, added] = index.emplace(lowerCase(line.section), list.size());
    if (added)
      list.push_back(AliasInfo{line.section, std::string(kDirectoryDriver), "", line.number, {}, {}});
    addLine(list[at->second], line);
  }
  return list;
}

std::optional<AliasInfo> Config::alias(const std::string &name) const {
  std::optional<AliasInfo> found;
  for (const auto &line : m_lines) {
    if (!sameName(line.section, name))
      continue;
    if (!found)
      found = AliasInfo{line.section, std::string(kDirectoryDriver), "", line.number, {}, {}};
    addLine(*found, line);
  }
  return found;
}

void Config::setAlias(const std::string &name, const std::string &directory,
                      const std::string &driver) {
  auto setKey = [&](const std::string &key, const std::string &value) {
    // Replace the key's last line in the section, else add it after the
    // section's last setting.
    std::optional<std::size_t> lastKey, lastOfSection;
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
      if (!sameName(m_lines[i].section, name))
        continue;
      if (m_lines[i].header || !m_lines[i].key.empty())
        lastOfSection = i;
      if (sameName(m_lines[i].key, key))
        lastKey = i;
    }
    Line line;
    line.end = m_lineEnd;
    line.section = lastOfSection ? m_lines[*lastOfSection].section : name;
    line.key = key;
    line.value = value;
    line.text = key + " = " + written(value);
    if (lastKey) {
      m_lines[*lastKey] = line;
    } else if (lastOfSection) {
      m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(*lastOfSection + 1), line);
    } else {
      if (!m_lines.empty() && !trim(m_lines.back().text).empty())
        m_lines.push_back(Line{"", m_lineEnd, m_lines.back().section, false, "", ""});
      m_lines.push_back(Line{"[" + name + "]", m_lineEnd, name, true, "", ""});
      m_lines.push_back(line);
    }
  };
  setKey("driver", driver);
  setKey("path", directory);
}

void Config::setServerAlias(const std::string &name, const std::string &driver,
                            const std::vector<std::pair<std::string, std::string>> &settings) {
  // Where the section stood, it stands again; else it goes at the end.
  std::size_t at = m_lines.size();
  for (std::size_t i = 0; i < m_lines.size(); ++i)
    if (m_lines[i].header && sameName(m_lines[i].section, name)) {
      at = i;
      break;
    }
  const bool existed = at < m_lines.size();
  removeAlias(name);
  std::vector<Line> section;
  if (!existed && !m_lines.empty() && !trim(m_lines.back().text).empty())
    section.push_back(Line{"", m_lineEnd, m_lines.back().section, false, "", ""});
  section.push_back(Line{"[" + name + "]", m_lineEnd, name, true, "", ""});
  auto add = [&](const std::string &key, const std::string &value) {
    section.push_back(Line{key + " = " + written(value), m_lineEnd, name, false, key, value});
  };
  add("driver", driver);
  for (const auto &[key, value] : settings)
    add(key, value);
  if (at > m_lines.size())
    at = m_lines.size();
  if (at == m_lines.size() && !m_lines.empty() && m_lines.back().end.empty())
    m_lines.back().end = m_lineEnd;
  m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(at), section.begin(), section.end());
}

bool Config::removeAlias(const std::string &name) {
  // From each of the alias's headers to its last setting: blank lines and
  // comments after that belong to what follows.
  bool removed = false;
  for (std::size_t i = 0; i < m_lines.size();) {
    if (!m_lines[i].header || !sameName(m_lines[i].section, name)) {
      ++i;
      continue;
    }
    std::size_t last = i;
    for (std::size_t j = i + 1; j < m_lines.size() && !m_lines[j].header; ++j)
      if (!m_lines[j].key.empty())
        last = j;
    m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(i),
                  m_lines.begin() + static_cast<std::ptrdiff_t>(last + 1));
    removed = true;
  }
  return removed;
}

Result Config::save() const {
  namespace fs = std::filesystem;
  const fs::path target(m_path);
  auto failure = [&](const std::string &file, const std::string &reason, int err = 0) {
    return ErrorEntries::fail(code::ConfigUnwritable,
                              {{code::ConfigUnwritable, 0, "File: " + file},
                               {code::ConfigUnwritable, err, reason}});
  };
  std::error_code ec;
  if (target.has_parent_path() && !fs::is_directory(target.parent_path(), ec)) {
    fs::create_directories(target.parent_path(), ec);
    if (ec)
      return failure(target.parent_path().string(), ec.message(), ec.value());
  }
  WholeFile file(m_path);
  if (const std::string reason = file.begin(WholeFile::Devices::Refused); !reason.empty())
    return failure(m_path, reason);
  const std::string &temporary = file.writePath();
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0)
    return failure(m_path, std::strerror(errno), errno);
  std::string content = m_byteOrderMark ? "\xEF\xBB\xBF" : "";
  for (std::size_t i = 0; i < m_lines.size(); ++i) {
    // Each line keeps its own line end; a new line, or a last line that
    // had none but is followed by others now, gets the file's kind.
    const Line &line = m_lines[i];
    const bool last = i + 1 == m_lines.size();
    content += line.text + (line.end.empty() && !last ? m_lineEnd : line.end);
  }
  const char *data = content.data();
  std::size_t left = content.size();
  while (left > 0) {
    const ssize_t written = ::write(fd, data, left);
    if (written < 0) {
      if (errno == EINTR)
        continue;
      const int err = errno;
      ::close(fd);
      return failure(m_path, std::strerror(err), err);
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  if (::close(fd) != 0)
    return failure(m_path, std::strerror(errno), errno);
  if (const std::string reason = file.finish(); !reason.empty())
    return failure(m_path, reason);
  return code::Ok;
}

} // namespace vandro::engine
