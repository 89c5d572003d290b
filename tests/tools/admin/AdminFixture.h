// What the end-to-end tests of vandro-admin share: a fresh temporary
// directory with its own engine configuration, home and data directories
// for each test, the built program run with its standard input read from a
// file, and reading files and table files.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <spawn.h>
#include <sqlite3.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace vandro::admin::testing {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A command that has not ended by then is taken to hang and is killed.
constexpr auto kCommandTimeout = 3s;

inline const std::string kHeader = "Id,From,Relation,Extended,Embedded,Volitional,Order,Span1,Span2,"
                            "L1,H1,L2,H2,Segments_distance,Marker1,Position1,Marker2,Position2\r\n";

struct Outcome {
  int status = -1; // -1 when the program was killed or did not start
  std::string out;
  std::string err;
};

inline std::string show(const Outcome &run) {
  return "\nexit status " + std::to_string(run.status) + "\nstdout: " + run.out + "\nstderr: " + run.err;
}

inline std::string readFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void writeFile(const std::string &path, const std::string &content) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

inline std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

inline bool mentions(const std::string &text, const std::string &what) {
  return lower(text).find(lower(what)) != std::string::npos;
}

// Whether `number` stands in `text` as a number of its own, not as part of
// a longer one.
inline bool mentionsNumber(const std::string &text, int number) {
  const std::string digits = std::to_string(number);
  for (std::size_t at = text.find(digits); at != std::string::npos; at = text.find(digits, at + 1)) {
    const bool before = at > 0 && std::isdigit(static_cast<unsigned char>(text[at - 1]));
    const std::size_t end = at + digits.size();
    const bool after = end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]));
    if (!before && !after)
      return true;
  }
  return false;
}

inline std::vector<std::string> splitLines(const std::string &text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

// One exported record: the fields as they stand in the file, joined by commas.
inline std::string csvLine(const std::vector<std::string> &fields) {
  std::string line;
  for (std::size_t i = 0; i < fields.size(); ++i)
    line += (i ? "," : "") + fields[i];
  return line + "\r\n";
}

// Runs SQL on a table file past the tool, as another program would.
inline void runSql(const std::string &path, const std::string &sql) {
  sqlite3 *db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  char *message = nullptr;
  const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message);
  EXPECT_EQ(rc, SQLITE_OK) << (message ? message : "") << "\n" << sql;
  sqlite3_free(message);
  sqlite3_close(db);
}

// The rows of a query, their columns joined by "|".
inline std::vector<std::string> query(const std::string &path, const std::string &sql) {
  std::vector<std::string> rows;
  sqlite3 *db = nullptr;
  sqlite3_stmt *stmt = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
      sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK) {
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      std::string row;
      for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
        const auto *text = sqlite3_column_text(stmt, i);
        if (i)
          row += '|';
        row += text ? reinterpret_cast<const char *>(text) : "NULL";
      }
      rows.push_back(row);
    }
  } else {
    ADD_FAILURE() << path << ": " << sqlite3_errmsg(db) << "\n" << sql;
  }
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  return rows;
}

class AdminCommandTest : public ::testing::Test {
protected:
  void SetUp() override {
    char pattern[] = "/tmp/vandro-admin-test-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    m_dir = pattern;
    m_config = m_dir + "/config/engine.conf";
    fs::create_directories(m_dir + "/io");
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(m_dir, ec);
  }

  std::string path(const std::string &name) const { return m_dir + "/" + name; }

  // Runs vandro-admin with `args` and `input` as its standard input.
  Outcome run(const std::vector<std::string> &args, const std::string &input = "") const {
    const std::string in = m_dir + "/io/stdin", out = m_dir + "/io/stdout", err = m_dir + "/io/stderr";
    writeFile(in, input);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<std::string> words = {VANDRO_ADMIN};
    words.insert(words.end(), args.begin(), args.end());
    const std::vector<std::string> environment = {
        "VANDRO_ENGINE_CONFIG=" + m_config, "HOME=" + m_dir + "/home",
        "XDG_DATA_HOME=" + m_dir + "/data", "XDG_CONFIG_HOME=" + m_dir + "/xdg-config",
        "PATH=/usr/bin:/bin", "LC_ALL=C"};
    std::vector<char *> argv, envp;
    for (const auto &word : words)
      argv.push_back(const_cast<char *>(word.c_str()));
    argv.push_back(nullptr);
    for (const auto &setting : environment)
      envp.push_back(const_cast<char *>(setting.c_str()));
    envp.push_back(nullptr);

    Outcome result;
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
      result.err = std::string("cannot start ") + argv[0] + ": " + std::strerror(spawned);
      return result;
    }
    int status = 0;
    bool ended = false;
    for (const auto deadline = std::chrono::steady_clock::now() + kCommandTimeout;
         std::chrono::steady_clock::now() < deadline;) {
      if (::waitpid(pid, &status, WNOHANG) == pid) {
        ended = true;
        break;
      }
      std::this_thread::sleep_for(5ms);
    }
    if (!ended) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
    }
    result.status = ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = readFile(out);
    result.err = readFile(err);
    if (!ended)
      result.err += "\n(did not end within the time limit and was killed)";
    return result;
  }

  // Creates table `name` in the test directory and imports `csv` into it.
  void makeTable(const std::string &name, const std::string &csv) {
    const Outcome created = run({"create", m_dir, name});
    ASSERT_EQ(created.status, 0) << show(created);
    const std::string file = path("io/" + name + ".csv");
    writeFile(file, csv);
    const Outcome imported = run({"import", m_dir, name, file});
    ASSERT_EQ(imported.status, 0) << show(imported);
  }

  Outcome exportTable(const std::string &name, const std::string &input = "") const {
    return run({"export", m_dir, name}, input);
  }

  std::string m_dir;
  std::string m_config;
};

} // namespace vandro::admin::testing
