#include "MarkerNotation.h"

#include <algorithm>

namespace vandro::corpus {

std::string_view trimmedMarker(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kMarkerBlanks);
  if (first == std::string_view::npos)
    return {};
  const std::size_t last = text.find_last_not_of(kMarkerBlanks);
  return text.substr(first, last - first + 1);
}

bool isNoMarker(std::string_view marker) { return trimmedMarker(marker).empty(); }

namespace {

// `text` cut at every `separator`.
std::vector<std::string_view> split(std::string_view text, std::string_view separator) {
  std::vector<std::string_view> pieces;
  for (std::size_t at = 0;;) {
    const std::size_t found = text.find(separator, at);
    if (found == std::string_view::npos) {
      pieces.push_back(text.substr(at));
      return pieces;
    }
    pieces.push_back(text.substr(at, found - at));
    at = found + separator.size();
  }
}

} // namespace

std::vector<std::string> markerParts(std::string_view marker) {
  std::vector<std::string> parts;
  for (std::string_view piece : split(trimmedMarker(marker), kPartSeparator))
    if (const std::string_view part = trimmedMarker(piece); !part.empty())
      parts.emplace_back(part);
  return parts;
}

std::string joinParts(const std::vector<std::string> &parts) {
  std::string marker;
  for (const std::string &part : parts) {
    if (!marker.empty())
      marker += kPartSeparator;
    marker += part;
  }
  return marker;
}

std::string canonicalMarker(std::string_view marker) {
  std::vector<std::string> parts = markerParts(marker);
  for (std::string &part : parts) {
    const auto runs = partRuns(part);
    if (runs.empty())
      continue; // no runs to write anew: kept as typed
    std::string written;
    for (const auto &run : runs) {
      if (!written.empty())
        written += kGapSeparator;
      for (std::size_t w = 0; w < run.size(); ++w)
        written += (w ? " " : "") + run[w];
    }
    part = std::move(written);
  }
  return joinParts(parts);
}

std::vector<std::vector<std::string>> partRuns(std::string_view part) {
  std::vector<std::vector<std::string>> runs;
  for (std::string_view piece : split(trimmedMarker(part), kGapSeparator)) {
    std::vector<std::string> words;
    for (std::size_t at = 0; at < piece.size();) {
      const std::size_t start = piece.find_first_not_of(kMarkerBlanks, at);
      if (start == std::string_view::npos)
        break;
      const std::size_t end = std::min(piece.find_first_of(kMarkerBlanks, start), piece.size());
      words.emplace_back(piece.substr(start, end - start));
      at = end;
    }
    if (words.empty())
      return {};
    runs.push_back(std::move(words));
  }
  return runs;
}

std::string signalText(const std::vector<std::pair<int, std::string>> &tokens) {
  std::string text;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    if (i > 0)
      text += tokens[i].first == tokens[i - 1].first + 1 ? std::string_view(" ") : kGapSeparator;
    text += tokens[i].second;
  }
  return text;
}

std::string markerSql(const std::string &column) {
  return "nullif(trim(" + column + ", '" + std::string(kMarkerBlanks) + "'), '')";
}

} // namespace vandro::corpus
