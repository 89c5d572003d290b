#include "DemoTable.h"

#include "corpus/History.h"
#include "corpus/RelationTable.h"

#include <memory>
#include <optional>
#include <string>

namespace vandro::demo {

using namespace engine;
namespace column = corpus::column;

namespace {

struct DemoRelation {
  const char *relation;
  const char *order;
  const char *span1;
  const char *span2;
  int l1, h1, l2, h2;
  const char *marker1;
  const char *position1;
  const char *marker2;
  const char *position2;
};

// Short invented texts about one field trip, in segment order. H1 of the
// "summary" record is empty on purpose: the distance cannot be computed there.
constexpr DemoRelation kDemo[] = {
    {"antithesis", "NS", "The village was not quiet at all .", "Everyone had told us it was quiet .", 1, 1, 2, 2, "not", "Middle", "", ""},
    {"attribution", "SN", "Our guide said", "that the bridge was built in 1820 .", 3, 3, 4, 4, "", "", "that", "Beginning"},
    {"background", "SN", "The river floods every spring .", "So the houses stand on stilts .", 5, 5, 6, 6, "", "", "So", "Beginning"},
    {"circumstance", "SN", "When we arrived ,", "the market was already closing .", 7, 7, 8, 8, "When", "Beginning", "", ""},
    {"comparison", "NN", "The north bank is steep and rocky ,", "the south bank is flat and green .", 9, 9, 10, 10, "", "", "", ""},
    {"concession", "SN", "Although it rained all morning ,", "we walked to the old mill .", 11, 11, 12, 12, "Although", "Beginning", "", ""},
    {"conclusion", "NS", "The mill had been empty for years .", "So it must be older than the bridge .", 13, 13, 14, 14, "", "", "So", "Beginning"},
    {"condition", "SN", "If the water rises again ,", "the lower road will close .", 15, 15, 16, 16, "If", "Beginning", "", ""},
    {"elaboration", "NS", "The mill has three floors .", "The top floor once stored grain for the whole valley .", 17, 17, 18, 19, "", "", "", ""},
    {"enablement", "NS", "Take the path behind the church", "to reach the viewpoint .", 20, 20, 21, 21, "", "", "to", "Beginning"},
    {"explanation", "NS", "The path is closed in winter", "because ice makes the steps dangerous .", 22, 22, 23, 23, "", "", "because", "Beginning"},
    {"evaluation", "NS", "The view from the top reaches the sea .", "It is worth every step .", 24, 24, 25, 25, "", "", "", ""},
    {"evidence", "NS", "The valley was once under the sea .", "Shells lie in the rocks near the top .", 26, 26, 27, 27, "", "", "", ""},
    {"interpretation", "NS", "Few young people stay in the village .", "Perhaps the work in the fields is too hard .", 28, 28, 29, 29, "", "", "Perhaps", "Beginning"},
    {"justify", "SN", "To be fair ,", "the bus does run twice a day .", 30, 30, 31, 31, "To be fair", "Beginning", "", ""},
    {"means", "NS", "The farmers keep the fields dry", "by digging ditches along the hedges .", 32, 32, 33, 33, "", "", "by", "Beginning"},
    {"motivation", "NS", "Visit the cheese dairy on Tuesday .", "The owner gives a tour that day .", 34, 34, 35, 35, "", "", "", ""},
    {"cause", "SN", "A storm blew down the old oak ,", "and the square looks empty now .", 36, 36, 37, 37, "", "", "and", "Beginning"},
    {"result", "NS", "The school closed in 1990 ,", "so the children take the bus to town .", 38, 38, 39, 39, "", "", "so", "Beginning"},
    {"otherwise", "NS", "Book a room early ,", "or you will sleep in the next town .", 40, 40, 41, 41, "", "", "or", "Beginning"},
    {"parenthetical", "NS", "The inn , which is also the post office ,", "serves fish from the river .", 42, 42, 43, 43, "which", "Middle", "", ""},
    {"purpose", "NS", "The villagers built a second bridge", "so that the school bus could cross .", 44, 44, 45, 45, "", "", "so that", "Beginning"},
    {"restatement", "NS", "The inn is small .", "It has only four rooms .", 46, 46, 47, 47, "", "", "only", "Middle"},
    {"solutionhood", "SN", "How do you cross when the bridge is shut ?", "A ferryman waits at the old landing .", 48, 48, 49, 49, "", "", "", ""},
    {"summary", "NS", "In short , the village is worth a visit .", "It has a mill , a view and good fish .", 50, 0, 51, 51, "In short", "Beginning", "", ""},
    {"contrast", "NN", "The inn is cheap ,", "but the rooms are cold .", 52, 52, 53, 53, "", "", "but", "Beginning"},
    {"joint", "NN", "We ate at the inn ,", "and we slept at the farm .", 54, 54, 55, 55, "", "", "and", "Beginning"},
    {"list", "NN", "Bring boots ,", "bring a coat , and bring a map .", 56, 56, 57, 57, "", "", "", ""},
    {"same_unit", "NN", "The ferryman ,", "who is eighty years old , still rows every day .", 58, 58, 60, 60, "", "", "", ""},
    {"sequence", "NN", "First we climbed to the viewpoint ,", "then we went down to the river .", 61, 61, 62, 62, "First", "Beginning", "then", "Beginning"},
};

Value textOrNull(const char *text) { return *text ? Value::text(text) : Value(); }

} // namespace

Result fillDemoTable(Cursor &cursor) {
  // The demo's records start its history, as an import's would.
  cursor.setChangeLog(std::make_shared<corpus::History>("Vandro demo", corpus::History::Rows::PerRecord));
  if (const Result result = cursor.beginBulk(); result != code::Ok)
    return result;
  int id = 1;
  for (const auto &demo : kDemo) {
    Record record = cursor.blankRecord();
    auto &v = record.values;
    v[column::Id] = Value::integer(id++);
    v[column::From] = Value::text("Demo_village_trip");
    v[column::Relation] = Value::text(demo.relation);
    v[column::Extended] = Value::text(demo.l2 != demo.h2 ? "yes" : "no");
    v[column::Order] = Value::text(demo.order);
    v[column::Span1] = Value::text(demo.span1);
    v[column::Span2] = Value::text(demo.span2);
    v[column::L1] = Value::integer(demo.l1);
    v[column::H1] = demo.h1 ? Value::integer(demo.h1) : Value();
    v[column::L2] = Value::integer(demo.l2);
    v[column::H2] = Value::integer(demo.h2);
    if (demo.h1)
      v[column::SegmentsDistance] = Value::integer(corpus::segmentsDistance(demo.h1, demo.l2));
    v[column::Marker1] = textOrNull(demo.marker1);
    v[column::Position1] = textOrNull(demo.position1);
    v[column::Marker2] = textOrNull(demo.marker2);
    v[column::Position2] = textOrNull(demo.position2);
    if (const Result result = cursor.insertRecord(record); result != code::Ok) {
      (void)cursor.rollbackBulk();
      return result;
    }
  }
  return cursor.commitBulk();
}

} // namespace vandro::demo
