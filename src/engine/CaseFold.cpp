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

namespace {

// Folds one run of bytes that are no ASCII (whole UTF-8 characters, or
// bytes that are none) onto the end of `out`, with buffers kept between
// calls. In ICU's root locale the only mapping that depends on the letters
// around is final sigma, which the folding reads as sigma anyway: a run
// folds alone as it would within its text.
void appendFoldedRun(std::string_view run, std::string &out) {
  thread_local std::vector<UChar> wide, upper, lower;
  wide.resize(run.size() + 1);
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = 0;
  u_strFromUTF8WithSub(wide.data(), static_cast<int32_t>(wide.size()), &length, run.data(),
                       static_cast<int32_t>(run.size()), 0xFFFD, nullptr, &status);
  if (U_FAILURE(status)) {
    out.append(run);
    return;
  }
  wide.resize(static_cast<std::size_t>(length));
  if (!mapped(wide, upper, u_strToUpper) || !mapped(upper, lower, u_strToLower)) {
    out.append(run);
    return;
  }
  std::replace(lower.begin(), lower.end(), UChar(0x03C2), UChar(0x03C3)); // ς as σ
  const std::size_t at = out.size();
  out.resize(at + lower.size() * 3);
  status = U_ZERO_ERROR;
  u_strToUTF8(out.data() + at, static_cast<int32_t>(lower.size() * 3), &length, lower.data(),
              static_cast<int32_t>(lower.size()), &status);
  out.resize(U_FAILURE(status) ? at : at + static_cast<std::size_t>(length));
  if (U_FAILURE(status))
    out.append(run);
}

} // namespace

std::string foldedCase(std::string_view text) {
  // ASCII, by far the most of a corpus, needs no tables: each byte is
  // lowered as it is copied, and only the runs of other characters go
  // through ICU.
  std::string out;
  out.reserve(text.size());
  if (text.size() > static_cast<std::size_t>(INT32_MAX / 4))
    return std::string(text); // beyond what ICU's 32-bit lengths can map
  std::size_t i = 0;
  while (i < text.size()) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x80) {
      out.push_back(byte >= 'A' && byte <= 'Z' ? static_cast<char>(byte - 'A' + 'a') : static_cast<char>(byte));
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < text.size() && static_cast<unsigned char>(text[end]) >= 0x80)
      ++end;
    appendFoldedRun(text.substr(i, end - i), out);
    i = end;
  }
  return out;
}

} // namespace vandro::engine
