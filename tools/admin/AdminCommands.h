// The commands of vandro-admin. Each returns the process exit status: 0 on
// success, 1 on a failure (after writing a message that names the file and
// the cause to `err`).
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace vandro::admin {

inline constexpr int kSuccess = 0;
inline constexpr int kFailure = 1;
inline constexpr int kUsage = 2;

// What export-rst does with a changed file in its folder, and
// remove-document with a document whose markers changed since its import:
// refuses (the default), or goes ahead as --force says.
enum class Force { No, Yes };

class AdminCommands {
public:
  AdminCommands(std::ostream &out, std::ostream &err);
  ~AdminCommands();

  int aliasSet(const std::string &name, const std::string &directory);
  // Makes NAME an alias of a database server: `driver` ("postgresql") with
  // the connection keywords `settings` ("host=db.example.org", ...); a
  // password is refused (the server's own ways of keeping one apply).
  int aliasSetServer(const std::string &name, const std::string &driver, const std::vector<std::string> &settings);
  // Fails with a message when `database` is an alias of a server, whose
  // tables have no table passwords.
  int refuseServerPassword(const std::string &database);
  int aliasList();
  int aliasRemove(const std::string &name);
  int create(const std::string &database, const std::string &table);
  int importFile(const std::string &database, const std::string &table, const std::string &file);
  // Writes to `file`, or to standard output when it is empty.
  int exportFile(const std::string &database, const std::string &table, const std::string &file);
  // `password` nothing clears the password.
  int setPassword(const std::string &database, const std::string &table,
                  const std::optional<std::string> &password);
  int check(const std::string &database, const std::string &table);
  // Imports the RST documents in `paths` (files, or folders whose .rs3 and
  // .rs4 files are taken by name in byte order), relation names mapped by
  // `mapFile` when one is given; all or nothing.
  int importRst(const std::string &database, const std::string &table, const std::string &mapFile,
                const std::vector<std::string> &paths);
  // Writes the documents of the table's corpus (those named in
  // `documents`, else all) into `folder`, with the table's markers as
  // discourse signals; all or nothing. A file there that changed since the
  // import is replaced only with `force`.
  int exportRst(const std::string &database, const std::string &table, const std::string &folder,
                const std::vector<std::string> &documents, Force force = Force::No);
  // One line per document of the table's corpus.
  int documents(const std::string &database, const std::string &table);
  // The records held locked now, with their holders.
  int locks(const std::string &database, const std::string &table);
  // Deletes each named document's records, sources and stored bytes, as the
  // window's writes do: refused while another program edits one of the
  // records, and, without `force`, for a document whose markers changed
  // since its import. Every name is checked before anything is removed.
  int removeDocuments(const std::string &database, const std::string &table, const std::vector<std::string> &names,
                      Force force = Force::No);
  // Relation and marker counts of the table (of the named documents, all
  // when none) by `by` ("relation", "marker", "position", "document"): an
  // aligned table, or CSV; with `chart`, also drawn into that .svg or .png
  // file.
  int stats(const std::string &database, const std::string &table, const std::string &by,
            const std::vector<std::string> &documents, bool csv, const std::string &chart);
  int initDemo();

  // Asks for a password on the terminal without echo, or reads one line of
  // standard input when it is no terminal; nothing at end of input.
  static std::optional<std::string> readPassword(const std::string &prompt);

private:
  class Session;
  int failure(const std::string &message);
  std::ostream &m_out;
  std::ostream &m_err;
};

} // namespace vandro::admin
