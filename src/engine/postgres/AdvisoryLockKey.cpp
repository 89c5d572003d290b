#include "AdvisoryLockKey.h"

#include <charconv>
#include <limits>
#include <string_view>
#include <string>

namespace vandro::engine {

namespace {

// FNV-1a over the bytes, 64 bits wide.
void mix(std::uint64_t &hash, const void *data, std::size_t size) {
  const auto *bytes = static_cast<const unsigned char *>(data);
  for (std::size_t i = 0; i < size; ++i) {
    hash ^= bytes[i];
    hash *= 1099511628211ull;
  }
}

} // namespace

AdvisoryLockKey advisoryLockKey(std::uint32_t tableOid, const Bookmark &key) {
  AdvisoryLockKey lock;
  // Oids run to 2^32 - 1; the server's int4 takes the same 32 bits.
  lock.table = static_cast<std::int32_t>(tableOid);
  if (key.size() == 1 && key[0].isInteger() && key[0].asInteger() >= std::numeric_limits<std::int32_t>::min() &&
      key[0].asInteger() <= std::numeric_limits<std::int32_t>::max()) {
    lock.record = static_cast<std::int32_t>(key[0].asInteger());
    return lock;
  }
  // Each value with its kind and length, so that ("ab", "c") and ("a", "bc")
  // or 1 and "1" never give the same bytes.
  std::uint64_t hash = 14695981039346656037ull;
  mix(hash, &tableOid, sizeof tableOid);
  for (const Value &value : key) {
    std::string bytes;
    char kind = 'n';
    if (value.isInteger()) {
      kind = 'i';
      bytes = std::to_string(value.asInteger());
    } else if (value.isReal()) {
      kind = 'r';
      const double real = value.asReal();
      bytes.assign(reinterpret_cast<const char *>(&real), sizeof real);
    } else if (value.isText()) {
      kind = 't';
      bytes = value.asText();
    } else if (value.isBytes()) {
      kind = 'b';
      bytes.assign(value.asBytes().begin(), value.asBytes().end());
    }
    const std::uint64_t length = bytes.size();
    mix(hash, &kind, 1);
    mix(hash, &length, sizeof length);
    mix(hash, bytes.data(), bytes.size());
  }
  lock.hash = static_cast<std::int64_t>(hash);
  return lock;
}

namespace {
constexpr std::string_view kSince = "Vandro since ", kOn = " on ";
constexpr std::size_t kLongestName = 63;
} // namespace

std::string vandroApplicationName(std::int64_t since, const std::string &machine) {
  std::string name = std::string(kSince) + std::to_string(since) + std::string(kOn);
  for (const char c : machine) {
    if (name.size() >= kLongestName)
      break;
    name += c >= 0x20 && c < 0x7f ? c : '?';
  }
  return name;
}

std::optional<std::pair<std::int64_t, std::string>> parseVandroApplicationName(const std::string &name) {
  if (!name.starts_with(kSince))
    return std::nullopt;
  const std::size_t on = name.find(kOn, kSince.size());
  if (on == std::string::npos)
    return std::nullopt;
  std::int64_t since = 0;
  const char *first = name.data() + kSince.size(), *last = name.data() + on;
  if (first == last || std::from_chars(first, last, since).ptr != last)
    return std::nullopt;
  return std::pair{since, name.substr(on + kOn.size())};
}

} // namespace vandro::engine
