// The engine configuration: an INI file whose sections are database aliases.
#pragma once

#include "Result.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vandro::engine {

// The driver of an alias that names none: a directory of table files.
inline constexpr std::string_view kDirectoryDriver = "sqlite";

struct AliasInfo {
  std::string name;
  std::string driver; // in lower case; kDirectoryDriver when the section names none or an empty one
  std::string path;   // the database directory, absolute ("~" and relative paths resolved)
  int line = 0;       // the line of the alias's [section] header in the file
  // Every other setting of the section, as written (keys in lower case), in
  // file order: a server driver's connection keywords.
  std::vector<std::pair<std::string, std::string>> settings;
  std::vector<int> settingLines; // the line of each of `settings` in the file
};

// The file is kept line by line, so that editing one alias leaves every other
// section, comment and blank line exactly as it was.
//
//   [Vandro]
//   driver = sqlite
//   path = /home/ann/rst-annotation
//
// Lines starting with ";" or "#" are comments. Keys, section names and
// driver names are matched without regard to case. A value in double quotes
// is the text between them. A path may start with "~" (the home folder); a
// relative path is taken from the configuration file's folder. A UTF-8
// byte-order mark at the start of the file is ignored (and kept).
class Config {
public:
  // $VANDRO_ENGINE_CONFIG when set, else ${XDG_CONFIG_HOME:-$HOME/.config}/vandro/engine.conf.
  static std::string defaultPath();

  // Reads `path`. A missing file gives an empty configuration (no aliases).
  // Fails with ConfigUnreadable (a folder, no permission, a read error: the
  // entries name the file and the cause) or ConfigMalformed (the file and
  // the line); never raises.
  [[nodiscard]] Result load(const std::string &path);

  const std::string &path() const { return m_path; }
  // Whether the last load found a file (a missing file is no error).
  bool fileExists() const { return m_fileExists; }
  std::vector<AliasInfo> aliases() const;
  std::optional<AliasInfo> alias(const std::string &name) const;

  // Adds the alias or replaces its path and driver; other keys of its
  // section stay.
  void setAlias(const std::string &name, const std::string &directory,
                const std::string &driver = std::string(kDirectoryDriver));
  // Adds the alias or makes it one of `driver` with exactly these settings
  // (the path, if any, among them): its section is written anew.
  void setServerAlias(const std::string &name, const std::string &driver,
                      const std::vector<std::pair<std::string, std::string>> &settings);
  // Removes the alias's section; false when there was none.
  bool removeAlias(const std::string &name);

  // Writes the file atomically: a temporary file beside it, flushed to disk,
  // then renamed over the old one. Creates the folder when needed. A new
  // file is readable by its owner only (mode 0600: a server alias tells
  // where a team's data is and who logs in); a file that exists keeps its
  // mode.
  [[nodiscard]] Result save() const;

private:
  // Reads the lines of the configuration from `content`, the text of m_path
  // without its byte-order mark; ConfigMalformed naming the first bad line.
  [[nodiscard]] Result parse(const std::string &content);
  std::string resolvedPath(const std::string &value) const;

  struct Line {
    std::string text;    // as read, without the line end
    std::string end;     // the line end it had: "\n", "\r\n", or none at the end of the file
    std::string section; // the section this line belongs to ("" before any)
    bool header = false;
    std::string key;     // for key = value lines, trimmed
    std::string value;
    int number = 0;      // counted from 1; 0 for lines added since the load
  };
  // Applies a setting line of the alias's section to it.
  void addLine(AliasInfo &alias, const Line &line) const;

  std::vector<Line> m_lines;
  std::string m_path;
  std::string m_lineEnd = "\n"; // for new lines: the file's own kind
  bool m_fileExists = false;
  bool m_byteOrderMark = false;
};

} // namespace vandro::engine
