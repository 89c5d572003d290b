#include "CaseFold.h"

#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <vector>

namespace vandro::engine {

namespace {

// Runs one of ICU's whole-string case mappings, growing the buffer once when
// the mapped text is longer (ß becomes SS).
template <class Mapping>
bool mapped(const std::vector<UChar> &in, std::vector<UChar> &out, Mapping mapping) {
  out.resize(in.size() + in.size() / 2 + 4);
  for (int attempt = 0; attempt < 2; ++attempt) {
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = mapping(out.data(), static_cast<int32_t>(out.size()), in.data(),
                                   static_cast<int32_t>(in.size()), "", &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
      out.resize(static_cast<std::size_t>(length));
      continue;
    }
    if (U_FAILURE(status))
      return false;
    out.resize(static_cast<std::size_t>(length));
    return true;
  }
  return false;
}

} // namespace

std::string foldedCase(std::string_view text) {
  // Plain ASCII, by far the most of a corpus, needs no tables.
  if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    std::string out(text);
    for (char &c : out)
      if (c >= 'A' && c <= 'Z')
        c = static_cast<char>(c - 'A' + 'a');
    return out;
  }
  if (text.size() > static_cast<std::size_t>(INT32_MAX / 4))
    return std::string(text); // beyond what ICU's 32-bit lengths can map
  std::vector<UChar> wide(text.size() + 1), upper, lower;
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = 0;
  u_strFromUTF8WithSub(wide.data(), static_cast<int32_t>(wide.size()), &length, text.data(),
                       static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &status);
  if (U_FAILURE(status))
    return std::string(text);
  wide.resize(static_cast<std::size_t>(length));
  if (!mapped(wide, upper, u_strToUpper) || !mapped(upper, lower, u_strToLower))
    return std::string(text);
  std::replace(lower.begin(), lower.end(), UChar(0x03C2), UChar(0x03C3)); // ς as σ
  std::string out(lower.size() * 3, '\0');
  status = U_ZERO_ERROR;
  u_strToUTF8(out.data(), static_cast<int32_t>(out.size()), &length, lower.data(),
              static_cast<int32_t>(lower.size()), &status);
  if (U_FAILURE(status))
    return std::string(text);
  out.resize(static_cast<std::size_t>(length));
  return out;
}

} // namespace vandro::engine
