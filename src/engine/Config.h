// The engine configuration: an INI file whose sections are database aliases.
#pragma once

#include "Result.h"

#include <optional>
#include <string>
#include <vector>

namespace vandro::engine {

struct AliasInfo {
  std::string name;
  std::string driver; // "sqlite" when the section names none
  std::string path;   // the database directory
};

// The file is kept line by line, so that editing one alias leaves every other
// section, comment and blank line exactly as it was.
//
//   [Vandro]
//   driver = sqlite
//   path = /home/ann/rst-annotation
//
// Lines starting with ";" or "#" are comments. Keys and section names are
// matched without regard to case.
class Config {
public:
  // $VANDRO_ENGINE_CONFIG when set, else ${XDG_CONFIG_HOME:-$HOME/.config}/vandro/engine.conf.
  static std::string defaultPath();

  // Reads `path`. A missing file gives an empty configuration (no aliases).
  // Fails with ConfigUnreadable or ConfigMalformed (entries name the file
  // and the line).
  [[nodiscard]] Result load(const std::string &path);

  const std::string &path() const { return m_path; }
  std::vector<AliasInfo> aliases() const;
  std::optional<AliasInfo> alias(const std::string &name) const;

  // Adds the alias or replaces its path and driver; other keys of its
  // section stay.
  void setAlias(const std::string &name, const std::string &directory,
                const std::string &driver = "sqlite");
  // Removes the alias's section; false when there was none.
  bool removeAlias(const std::string &name);

  // Writes the file atomically: a temporary file beside it, flushed to disk,
  // then renamed over the old one. Creates the folder when needed.
  [[nodiscard]] Result save() const;

private:
  struct Line {
    std::string text;    // as read, without the line end
    std::string end;     // the line end it had: "\n", "\r\n", or none at the end of the file
    std::string section; // the section this line belongs to ("" before any)
    bool header = false;
    std::string key;     // for key = value lines, trimmed
    std::string value;
  };
  std::vector<Line> m_lines;
  std::string m_path;
  std::string m_lineEnd = "\n"; // for new lines: the file's own kind
};

} // namespace vandro::engine
