#include "Agreement.h"

#include "Corpus.h"
#include "MarkerNotation.h"
#include "engine/CaseFold.h"
#include "engine/ErrorEntries.h"
#include "engine/MessageText.h"

#include <algorithm>
#include <functional>
#include <set>
#include <unordered_map>

namespace vandro::corpus {

using namespace engine;

namespace {

// The columns the comparison reads, in this order.
enum ReadColumn { IdColumn, RelationColumn, Marker1Column, Position1Column, Marker2Column, Position2Column };
constexpr const char *kReadColumns[] = {"Id", "Relation", "Marker1", "Position1", "Marker2", "Position2"};

// Records read ahead, and sources fetched by one query: a whole-table read.
constexpr int kReadAhead = 2048;
constexpr int kSourcesAQuery = 4096;

// A stored value as text: bytes where a text belongs read as the text they
// are, numbers in digits; nothing for a null.
std::optional<std::string> textOf(const Value &value) {
  if (value.isText())
    return value.asText();
  if (value.isBytes())
    return std::string(value.asBytes().begin(), value.asBytes().end());
  if (value.isInteger())
    return std::to_string(value.asInteger());
  if (value.isReal())
    return std::to_string(value.asReal());
  return std::nullopt;
}

bool hasMarker(const std::optional<std::string> &marker) { return marker && !isNoMarker(*marker); }

// A marker as compared: the notation's own spelling, letter case folded.
std::string comparedMarker(const std::string &marker) { return foldedCase(canonicalMarker(marker)); }

// A position as compared: without outer blanks, letter case folded; the
// empty text for none.
std::string comparedPosition(const std::optional<std::string> &position) {
  return position ? foldedCase(trimmedMarker(*position)) : std::string();
}

bool sharesPart(const std::string &a, const std::string &b) {
  std::set<std::string> parts;
  for (const std::string &part : markerParts(a))
    parts.insert(comparedMarker(part));
  const std::vector<std::string> others = markerParts(b);
  return std::any_of(others.begin(), others.end(), [&](const std::string &part) {
    return parts.count(comparedMarker(part)) > 0;
  });
}

// A text made a part of a key without any ambiguity: its length first.
void appendKeyPart(std::string &key, const std::optional<std::string> &text) {
  key += text ? std::to_string(text->size()) + ":" + *text : std::string("-");
}

// The record as a message names it, for a note.
std::string namedRecord(const Cursor &cursor, std::int64_t id) {
  return cursor.location() + ", Id " + std::to_string(id);
}

// Reads the table behind `cursor` once in key order, from one snapshot;
// with Pairing::ByNodes the kept sources beside it too, a page at a time in
// the same order (the sources are keyed by the records' Id), so each record
// meets its source without any look-up. Hands each record to `take` with
// its key, or with no key and the reason it has none.
Result readSide(Cursor &cursor, Pairing pairing,
                const std::function<void(ComparedRecord &, const std::optional<std::string> &, const char *)> &take) {
  const auto &fields = cursor.description().fields;
  std::size_t at[std::size(kReadColumns)];
  for (std::size_t c = 0; c < std::size(kReadColumns); ++c) {
    const auto found = std::find_if(fields.begin(), fields.end(),
                                    [&](const FieldDescription &field) { return field.name == kReadColumns[c]; });
    if (found == fields.end())
      return ErrorEntries::fail(code::ContextOnly,
                                {{code::ContextOnly, 0,
                                  "The table " + cursor.location() + " has no column " + kReadColumns[c] +
                                      ": agreement compares standard relation tables"}});
    at[c] = static_cast<std::size_t>(found - fields.begin());
  }

  // The page of sources read, and where in it the next one stands.
  std::vector<std::vector<Value>> sources;
  std::size_t nextSource = 0;
  std::optional<std::int64_t> afterId; // the last source passed
  bool sourcesEnd = pairing != Pairing::ByNodes;
  const std::string select =
      "SELECT \"Id\", \"Document\", \"Node1\", \"Node2\" FROM " + cursor.siblingName(Corpus::kSourcesSuffix);
  const std::string page = " ORDER BY \"Id\" LIMIT " + std::to_string(kSourcesAQuery);
  // The source of record `id`, if it has one: the sources before it (whose
  // records are gone) are passed over.
  auto sourceOf = [&](std::int64_t id, const std::vector<Value> *&out) -> Result {
    out = nullptr;
    for (;;) {
      if (nextSource == sources.size()) {
        if (sourcesEnd)
          return code::Ok;
        sources.clear();
        nextSource = 0;
        // The first page without a lower bound: the server's integer
        // column takes no parameter outside its own range.
        const Result result = afterId ? cursor.execute(select + " WHERE \"Id\" > ?" + page,
                                                       {Value::integer(*afterId)}, &sources)
                                      : cursor.execute(select + page, {}, &sources);
        if (result != code::Ok)
          return result;
        sourcesEnd = sources.size() < static_cast<std::size_t>(kSourcesAQuery);
        continue;
      }
      const std::vector<Value> &row = sources[nextSource];
      // The key is an integer in either store's schema; a value of
      // another kind would leave the paging nowhere to go on from.
      if (row.size() < 4 || !row[0].isInteger() || (afterId && row[0].asInteger() <= *afterId))
        return ErrorEntries::fail(code::ContextOnly,
                                  {{code::ContextOnly, 0,
                                    cursor.siblingName(Corpus::kSourcesSuffix) + " in " + cursor.location() +
                                        " holds a record Id that is no whole number; vandro-admin check tells more"}});
      if (row[0].asInteger() > id)
        return code::Ok;
      afterId = row[0].asInteger();
      ++nextSource;
      if (afterId == id) {
        out = &row;
        return code::Ok;
      }
    }
  };

  cursor.setReadAhead(kReadAhead);
  Record record;
  Result step = cursor.beginSnapshot();
  const bool snapshot = step == code::Ok;
  if (step == code::Ok)
    step = cursor.setToBegin();
  while (step == code::Ok && (step = cursor.readNext(record)) == code::Ok) {
    if (record.values.size() < fields.size())
      continue; // never from the engine: every read record has its fields
    ComparedRecord r;
    r.relation = textOf(record.values[at[RelationColumn]]);
    r.marker = {textOf(record.values[at[Marker1Column]]), textOf(record.values[at[Marker2Column]])};
    r.position = {textOf(record.values[at[Position1Column]]), textOf(record.values[at[Position2Column]])};
    const Value &id = record.values[at[IdColumn]];
    if (!id.isInteger()) {
      r.id = 0;
      take(r, std::nullopt, "its Id is no whole number");
      continue;
    }
    r.id = id.asInteger();
    std::optional<std::string> key;
    if (pairing == Pairing::ById) {
      key = std::to_string(r.id);
    } else {
      const std::vector<Value> *source = nullptr;
      if (step = sourceOf(r.id, source); step != code::Ok)
        break;
      if (!source) {
        take(r, std::nullopt, "it has no kept source (it was not imported from the corpus)");
        continue;
      }
      r.document = textOf((*source)[1]);
      r.node1 = textOf((*source)[2]);
      r.node2 = textOf((*source)[3]);
      key.emplace();
      for (const auto *part : {&r.document, &r.node1, &r.node2})
        appendKeyPart(*key, *part);
    }
    take(r, key, "");
  }
  if (snapshot) {
    const Result ended = cursor.endSnapshot();
    if (step == code::Eof)
      step = ended;
  }
  return step == code::Eof ? code::Ok : step;
}

// Counts one pair into `counts`; whether the pair differs on each span.
void countPair(const ComparedRecord &a, const ComparedRecord &b, RelationAgreement &counts, PairDifference &difference) {
  for (int s = 0; s < 2; ++s) {
    const bool setA = hasMarker(a.marker[s]), setB = hasMarker(b.marker[s]);
    MeasureCounts &set = counts.at(s, Measure::MarkerSet);
    ++set.pairs;
    set.agreed += setA == setB;
    ++set.cells[{setA ? "set" : "none", setB ? "set" : "none"}];
    difference.marker[s] = setA != setB;
    if (!setA || !setB)
      continue;
    const bool exact = comparedMarker(*a.marker[s]) == comparedMarker(*b.marker[s]);
    MeasureCounts &exactCounts = counts.at(s, Measure::MarkerExact);
    ++exactCounts.pairs;
    exactCounts.agreed += exact;
    MeasureCounts &partial = counts.at(s, Measure::MarkerPartial);
    ++partial.pairs;
    partial.agreed += exact || sharesPart(*a.marker[s], *b.marker[s]);
    difference.marker[s] = !exact;
    const std::string positionA = comparedPosition(a.position[s]), positionB = comparedPosition(b.position[s]);
    MeasureCounts &position = counts.at(s, Measure::Position);
    ++position.pairs;
    position.agreed += positionA == positionB;
    ++position.cells[{positionA, positionB}];
    difference.position[s] = positionA != positionB;
  }
}

void addCounts(RelationAgreement &into, const RelationAgreement &from) {
  for (int s = 0; s < 2; ++s)
    for (const Measure measure : kMeasures) {
      MeasureCounts &to = into.at(s, measure);
      const MeasureCounts &add = from.at(s, measure);
      to.pairs += add.pairs;
      to.agreed += add.agreed;
      for (const auto &[cell, count] : add.cells)
        to.cells[cell] += count;
    }
}

// Notes on documents both tables keep whose bytes differ: their node ids
// need not name the same spans.
Result documentNotes(Cursor &a, Cursor &b, std::vector<std::string> &notes) {
  std::map<std::string, std::string> digestsA;
  for (Cursor *cursor : {&a, &b}) {
    std::vector<std::vector<Value>> rows;
    if (const Result result = cursor->execute("SELECT \"Name\", \"Sha256\" FROM " +
                                                  cursor->siblingName(Corpus::kDocumentsSuffix) + " ORDER BY \"Name\"",
                                              {}, &rows);
        result != code::Ok)
      return result;
    for (const auto &row : rows) {
      const std::string name = textOf(row[0]).value_or(""), digest = textOf(row[1]).value_or("");
      if (cursor == &a)
        digestsA[name] = digest;
      else if (const auto found = digestsA.find(name); found != digestsA.end() && found->second != digest)
        notes.push_back("The document " + shownText(name) +
                        " is kept with other bytes in the two tables: its node ids may name other spans");
    }
  }
  return code::Ok;
}

} // namespace

const char *measureName(Measure measure) {
  switch (measure) {
  case Measure::MarkerSet: return "marker set";
  case Measure::MarkerExact: return "marker exact";
  case Measure::MarkerPartial: return "marker partial";
  case Measure::Position: return "position";
  }
  return "";
}

std::optional<double> MeasureCounts::agreement() const {
  if (pairs == 0)
    return std::nullopt;
  return static_cast<double>(agreed) / static_cast<double>(pairs);
}

std::optional<double> MeasureCounts::kappa() const {
  if (cells.empty() || pairs == 0)
    return std::nullopt;
  std::map<std::string, long long> byA, byB;
  for (const auto &[cell, count] : cells) {
    byA[cell.first] += count;
    byB[cell.second] += count;
  }
  // pe = sum of (nA/N)(nB/N); in whole numbers first, so that pe = 1 is
  // seen exactly.
  long long chance = 0;
  for (const auto &[category, count] : byA)
    if (const auto other = byB.find(category); other != byB.end())
      chance += count * other->second;
  const long long n = pairs;
  if (chance == n * n)
    return std::nullopt;
  const double po = static_cast<double>(agreed) / static_cast<double>(n);
  const double pe = static_cast<double>(chance) / (static_cast<double>(n) * static_cast<double>(n));
  return (po - pe) / (1 - pe);
}

Result Agreement::compare(Listing listing, AgreementReport &out) {
  out = AgreementReport();
  bool keptA = false, keptB = false;
  if (const Result result = Corpus(m_a).exists(keptA); result != code::Ok)
    return result;
  if (const Result result = Corpus(m_b).exists(keptB); result != code::Ok)
    return result;
  out.pairing = keptA && keptB ? Pairing::ByNodes : Pairing::ById;
  if (keptA != keptB)
    out.notes.push_back(std::string("Only table ") + (keptA ? "A" : "B") +
                        " keeps the corpus it was imported from: the records are paired by Id");
  if (out.pairing == Pairing::ByNodes)
    if (const Result result = documentNotes(m_a, m_b, out.notes); result != code::Ok)
      return result;

  // A's records by key; `partner` is the B record paired with it.
  struct Held {
    ComparedRecord record;
    std::optional<std::int64_t> partner;
  };
  std::unordered_map<std::string, Held> held;
  Result result = readSide(m_a, out.pairing, [&](ComparedRecord &r, const std::optional<std::string> &key,
                                                 const char *why) {
    ++out.recordsA;
    if (!key) {
      out.unpairedA.push_back({std::move(r), why});
      return;
    }
    const auto [place, added] = held.try_emplace(*key, Held{r, std::nullopt});
    if (!added)
      out.unpairedA.push_back({std::move(r), "it has the same document and nodes as " +
                                                 namedRecord(m_a, place->second.record.id)});
  });
  if (result != code::Ok)
    return result;

  result = readSide(m_b, out.pairing, [&](ComparedRecord &r, const std::optional<std::string> &key, const char *why) {
    ++out.recordsB;
    if (!key) {
      out.unpairedB.push_back({std::move(r), why});
      return;
    }
    const auto found = held.find(*key);
    if (found == held.end()) {
      out.unpairedB.push_back({std::move(r), "table A has no record with its " +
                                                 std::string(out.pairing == Pairing::ById ? "Id" : "document and nodes")});
      return;
    }
    Held &partner = found->second;
    if (partner.partner) {
      out.unpairedB.push_back({std::move(r), "it has the same document and nodes as " +
                                                 namedRecord(m_b, *partner.partner)});
      return;
    }
    partner.partner = r.id;
    ++out.pairs;
    PairDifference difference;
    const ComparedRecord &a = partner.record;
    countPair(a, r, out.relations[a.relation], difference);
    difference.relation = a.relation != r.relation;
    out.relationDiffers += difference.relation;
    const auto &m = difference.marker, &p = difference.position;
    if (listing == Listing::Differences && (difference.relation || m[0] || m[1] || p[0] || p[1])) {
      difference.a = a;
      difference.b = std::move(r);
      out.differences.push_back(std::move(difference));
    }
  });
  if (result != code::Ok)
    return result;

  for (auto &[key, entry] : held)
    if (!entry.partner)
      out.unpairedA.push_back({std::move(entry.record), "table B has no record with its " +
                                                            std::string(out.pairing == Pairing::ById
                                                                            ? "Id"
                                                                            : "document and nodes")});
  auto byId = [](const auto &x, const auto &y) { return x.record.id < y.record.id; };
  std::stable_sort(out.unpairedA.begin(), out.unpairedA.end(), byId);
  std::stable_sort(out.differences.begin(), out.differences.end(),
                   [](const PairDifference &x, const PairDifference &y) { return x.a.id < y.a.id; });
  for (const auto &[relation, counts] : out.relations)
    addCounts(out.overall, counts);
  return code::Ok;
}

} // namespace vandro::corpus
