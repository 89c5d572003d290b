// The relation records of RST documents: the hand-made rs4 document walk.rs4
// exercises every rule (satellites of a segment, a span group and a
// multinuclear group; co-nuclei in pairs, each signal of a co-nucleus in
// one pair; a name declared both rst and multinuc; an undeclared name;
// markers at the beginning, the end, the middle, several on one span, one
// outside both spans; the map of names),
// and cafe.rs3 an ISO-8859-1 file without signals.
#include "RelationMap.h"
#include "corpus/RstDocument.h"
#include "RstRelations.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace vandro::rst {
namespace {

const QString kFixtures = QStringLiteral(VANDRO_RST_FIXTURES);

// One record as a line: From|Relation|Extended|Order|L1-H1|L2-H2|Span1|Span2|Marker1|Position1|Marker2|Position2,
// a null as "-".
std::string line(const RelationRecord &r) {
  auto optional = [](const std::optional<QString> &v) { return v ? *v : QStringLiteral("-"); };
  return QStringList{r.from, r.relation, r.extended, r.order,
                     QStringLiteral("%1-%2").arg(r.l1).arg(r.h1), QStringLiteral("%1-%2").arg(r.l2).arg(r.h2),
                     r.span1, r.span2, optional(r.marker1), optional(r.position1), optional(r.marker2),
                     optional(r.position2)}
      .join(QLatin1Char('|'))
      .toStdString();
}

std::vector<std::string> recordsOf(const QString &file, const RelationMap &map = {}) {
  const auto document = readRstDocument(kFixtures + QLatin1Char('/') + file);
  const auto made = document ? relationRecords(*document, map)
                             : Outcome<std::vector<RelationRecord>, QString>(Failure{document.error()});
  EXPECT_TRUE(document && made) << made.error().toStdString();
  const std::vector<RelationRecord> records = made ? *made : std::vector<RelationRecord>();
  std::vector<std::string> lines;
  for (const auto &r : records)
    lines.push_back(line(r));
  return lines;
}

TEST(RstTest, EveryRuleGivesItsRecords) {
  const std::vector<std::string> expected = {
      "walk|antithesis|no|SN|1-1|2-2|Although it rained ,|we went out .|Although|Beginning|-|-",
      // Both signals of group 21, in the order of their first tokens.
      "walk|elaboration|yes|NS|1-2|3-6|Although it rained , we went out .|"
      "We saw the sea and we saw the hills , then we went home . It was fun indeed .|-|-|saw + we went|Multiple",
      "walk|joint|no|NN|3-3|4-4|We saw the sea|and we saw the hills ,|-|-|and|Beginning",
      "walk|evaluation|yes|NS|3-5|6-6|We saw the sea and we saw the hills , then we went home .|It was fun indeed .|"
      "-|-|fun indeed|End",
      // "and" (source 4) marks only the pair in which 4 is the second child.
      "walk|list|no|NN|4-4|5-5|and we saw the hills ,|then we went home .|-|-|then|Beginning",
  };
  const RelationMap map = {{QStringLiteral("concession"), QStringLiteral("antithesis")},
                           {QStringLiteral("sequence"), QStringLiteral("list")}};
  EXPECT_EQ(recordsOf(QStringLiteral("walk.rs4"), map), expected);
  EXPECT_EQ(recordsOf(QStringLiteral("cafe.rs3")),
            std::vector<std::string>{"cafe|background|no|SN|1-1|2-2|Au caf\xC3\xA9 ,|nous avons parl\xC3\xA9 .|-|-|-|-"});
}

// The marker notation: every dm signal of a record shows, in the span that
// holds its first token inside the two spans, in the order of the first
// tokens; a signal with words between its tokens as "x ... y"; a signal
// with no token inside either span shows nowhere, and is named.
TEST(RstTest, EverySignalShowsInTheMarkerNotation) {
  // Segment 1 (tokens 1-4) is the satellite of segment 2 (tokens 5-10);
  // segment 3 (tokens 11-12) is outside both spans.
  const QString head = QStringLiteral(
      "<rst><body>\n<segment id=\"1\" parent=\"2\" relname=\"cause\">So we came ,</segment>\n"
      "<segment id=\"2\">then either rain or sun .</segment>\n<segment id=\"3\">whether then</segment>\n<signals>\n");
  const struct {
    const char *name;
    std::vector<const char *> tokens; // one dm signal of segment 1 each
    const char *marker1, *position1, *marker2, *position2;
    bool named; // a signal no marker shows
  } cases[] = {
      {"one signal", {"1"}, "So", "Beginning", "-", "-", false},
      {"one at the end", {"3"}, "came", "End", "-", "-", false},
      {"two, listed out of order", {"5", "1"}, "So", "Beginning", "then", "Beginning", false},
      {"two on one span", {"2", "1"}, "So + we", "Multiple", "-", "-", false},
      {"discontinuous", {"6,8"}, "-", "-", "either ... or", "Beginning", false},
      {"in the middle", {"7"}, "-", "-", "rain", "Middle", false},
      {"adjacent and apart", {"5,6,8"}, "-", "-", "then either ... or", "Beginning", false},
      {"the first token outside the spans", {"11,6,8"}, "-", "-", "either ... or", "Beginning", false},
      {"tokens on both spans", {"4,5"}, ",", "End", "-", "-", false},
      {"no token inside", {"12"}, "-", "-", "-", "-", true},
      {"no token numbers", {"x"}, "-", "-", "-", "-", true},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    QString text = head;
    for (const char *tokens : c.tokens)
      text += QStringLiteral("<signal source=\"1\" type=\"dm\" subtype=\"dm\" tokens=\"%1\"/>\n").arg(tokens);
    text += QStringLiteral("</signals></body></rst>");
    RstWarnings warnings;
    const auto document = readRstDocument(QStringLiteral("n.rs4"), text.toUtf8());
    const auto made = document ? relationRecords(*document, {}, &warnings)
                               : Outcome<std::vector<RelationRecord>, QString>(Failure{document.error()});
    ASSERT_TRUE(document && made) << made.error().toStdString();
    const std::vector<RelationRecord> &records = *made;
    ASSERT_EQ(records.size(), 1u);
    auto shown = [](const std::optional<QString> &v) { return v ? v->toStdString() : std::string("-"); };
    EXPECT_EQ(shown(records[0].marker1) + "|" + shown(records[0].position1) + "|" + shown(records[0].marker2) + "|" +
                  shown(records[0].position2),
              std::string(c.marker1) + "|" + c.position1 + "|" + c.marker2 + "|" + c.position2);
    ASSERT_EQ(warnings.signalsNotShown.size(), c.named ? 1u : 0u);
    if (c.named) {
      EXPECT_EQ(warnings.signalsNotShown[0].first, 6) << "the line of the <signal>";
    }
  }
}

TEST(RstTest, TheMapIsACsvFileFromTo) {
  const QString path = QDir::tempPath() + QStringLiteral("/vandro-rst-map-test.csv");
  const struct {
    const char *content;
    const char *error; // "" when it reads
  } cases[] = {
      {"from,to\r\njoint-list,list\r\n\"same-unit\",same_unit\r\n", ""},
      {"From,To\nx,y\n", ""},
      {"name,value\nx,y\n", "the header from,to"},
      {"from,to\nx\n", "line 2"},
      {"", "empty"},
      {"from,to\n\"x,y\n", "line 2"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.content);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(c.content);
    file.close();
    const auto map = readRelationMap(path);
    const bool read = map.ok();
    EXPECT_EQ(read, *c.error == 0) << (read ? std::string() : map.error().toStdString());
    if (read) {
      EXPECT_EQ(map->size(), std::string(c.content).find("same") != std::string::npos ? 2 : 1);
    } else {
      const QString &error = map.error();
      EXPECT_TRUE(error.contains(QString::fromLatin1(c.error))) << error.toStdString();
      EXPECT_TRUE(error.startsWith(path)) << error.toStdString();
    }
  }
  QFile::remove(path);
}

} // namespace
} // namespace vandro::rst
