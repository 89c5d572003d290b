// Agreement between two annotators' relation tables made from the same
// corpus: their records paired, and per span whether both set a marker, the
// same marker, a shared signal, and the same position, counted overall and
// per relation, with Cohen's kappa where it applies.
#pragma once

#include "engine/Cursor.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vandro::corpus {

using engine::Cursor;
using engine::Result;

// How the records of the two tables are paired: by the document and node
// ids their kept sources name (both tables keep a corpus), else by Id.
enum class Pairing { ById, ByNodes };

// Whether the comparison keeps every pair that differs, for adjudication,
// or only counts.
enum class Listing { CountsOnly, Differences };

// One record as the comparison reads it: texts as stored (null as nothing),
// and with Pairing::ByNodes where its source places it.
struct ComparedRecord {
  std::int64_t id = 0;
  std::optional<std::string> document, node1, node2;
  std::optional<std::string> relation;
  std::array<std::optional<std::string>, 2> marker, position;
};

// The figures, in the order they are reported.
enum class Measure { MarkerSet, MarkerExact, MarkerPartial, Position };
inline constexpr Measure kMeasures[] = {Measure::MarkerSet, Measure::MarkerExact, Measure::MarkerPartial,
                                        Measure::Position};
// "marker set", "marker exact", "marker partial", "position".
const char *measureName(Measure measure);

// The counts behind one figure of one span: the pairs it is taken over, and
// of them those that agree. For the measures with a kappa (marker set,
// position) also the pairs by what A and B said, as (A's, B's) category:
// "set"/"none" for a marker; the position with letter case folded, or the
// empty text for a marker without a position.
struct MeasureCounts {
  long pairs = 0;
  long agreed = 0;
  std::map<std::pair<std::string, std::string>, long> cells;

  // The observed share agreed/pairs; nothing over no pair.
  std::optional<double> agreement() const;
  // Cohen's kappa (po - pe) / (1 - pe) over `cells`, pe the sum over the
  // categories of the product of A's and B's shares. Nothing for a measure
  // without cells, over no pair, and where pe is 1 (both said one and the
  // same category throughout: chance agrees as well as they do).
  std::optional<double> kappa() const;
};

// One relation's (or all pairs') counts, by span (0 for span 1) and measure.
struct RelationAgreement {
  std::array<std::array<MeasureCounts, std::size(kMeasures)>, 2> spans;
  MeasureCounts &at(int span, Measure measure) { return spans[span][static_cast<std::size_t>(measure)]; }
  const MeasureCounts &at(int span, Measure measure) const {
    return spans[span][static_cast<std::size_t>(measure)];
  }
};

// A record that found no partner on the other side, and why.
struct UnpairedRecord {
  ComparedRecord record;
  std::string why;
};

// A pair that differs: in relation, or on a span in whether a marker is
// set, in the marker (letter case aside), or in its position where both
// set one.
struct PairDifference {
  ComparedRecord a, b;
  bool relation = false;
  std::array<bool, 2> marker{}, position{};
};

struct AgreementReport {
  Pairing pairing = Pairing::ById;
  long recordsA = 0, recordsB = 0, pairs = 0;
  // Pairs whose Relation differs; each pair is counted under A's relation.
  long relationDiffers = 0;
  RelationAgreement overall;
  // By A's relation (null where A's record has none).
  std::map<std::optional<std::string>, RelationAgreement> relations;
  // Every unpaired record of each side, in Id order.
  std::vector<UnpairedRecord> unpairedA, unpairedB;
  // With Listing::Differences: every pair that differs, in A's Id order.
  std::vector<PairDifference> differences;
  // What the user should know about the pairing: a document kept on both
  // sides with other bytes, why the tables are paired by Id.
  std::vector<std::string> notes;
};

// The two standard relation tables behind `a` and `b`, each read once in
// key order (with its kept sources beside it, read in the same order), the
// pairs found by a hash of the first side's keys: time linear in the
// records, memory in the first table's records. The cursors are only read.
class Agreement {
public:
  Agreement(Cursor &a, Cursor &b) : m_a(a), m_b(b) {}

  // Pairs the records and counts. Ok; or the failure of a read or query,
  // or ContextOnly naming a table that lacks a column the comparison reads
  // (Id, Relation, Marker1, Position1, Marker2, Position2).
  [[nodiscard]] Result compare(Listing listing, AgreementReport &out);

private:
  Cursor &m_a, &m_b;
};

} // namespace vandro::corpus
