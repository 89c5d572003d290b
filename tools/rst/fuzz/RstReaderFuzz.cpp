// Fuzz target for the corpus reader: an rs3/rs4 document's bytes as a
// table's corpus keeps them. For any input it checks that
//  - reading the document and making its relation records never crashes,
//    hangs or recurses, and every record's markers are shown from tokens
//    the document has;
//  - a document that reads is written back byte for byte when no signal
//    changes, and with every dm signal of a record removed and one added,
//    the result reads again with that many fewer signals and one more.
// Any mismatch abort()s so that libFuzzer keeps the input.

#include "corpus/RstDocument.h"
#include "corpus/RstMarkers.h"
#include "RstRelations.h"
#include "RstSignalEditor.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

using namespace vandro::rst;

void expect(bool holds, const char *what) {
  if (!holds) {
    std::fprintf(stderr, "fuzz: %s\n", what);
    std::abort();
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
  const auto read = readRstDocument(QStringLiteral("fuzz.rs4"), bytes);
  if (!read)
    return 0;
  const RstDocument &document = *read;
  RstWarnings warnings;
  const auto made = relationRecords(document, {}, &warnings);
  if (!made)
    return 0;
  const std::vector<RelationRecord> &records = *made;
  const int count = static_cast<int>(document.tokens.size()) - 1;
  for (const RelationRecord &r : records)
    for (const std::vector<int> *owned : {&r.signals1, &r.signals2})
      for (int place : *owned)
        expect(signalAt(document, place) != nullptr, "a record names a signal the document has not");
  for (const RelationRecord &r : records)
    expect(r.first1 >= 1 && r.last2 <= count, "a record's tokens lie outside the document");

  const auto untouched = editSignals(bytes, {});
  if (!untouched)
    return 0; // an encoding that does not give its bytes back
  expect(*untouched == bytes, "an untouched document is not written byte for byte");

  // The first record with signals: its signals go, one new one comes.
  for (const RelationRecord &r : records) {
    if (r.signals1.empty() && r.signals2.empty())
      continue;
    SignalEdit edit;
    edit.removed = r.signals1;
    edit.removed.insert(edit.removed.end(), r.signals2.begin(), r.signals2.end());
    edit.added.push_back({r.node2.isEmpty() ? r.node1 : r.node2, {r.first1}});
    const auto written = editSignals(bytes, {edit});
    if (!written)
      return 0;
    const auto again = readRstDocument(QStringLiteral("fuzz.rs4"), *written);
    expect(again.ok(), "the written document does not read");
    expect(again->markers.size() == document.markers.size() - edit.removed.size() + 1,
           "the written document has other signals than the edit says");
    break;
  }
  return 0;
}
