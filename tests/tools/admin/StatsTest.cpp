// vandro-admin stats end to end: the counts of a small table in every
// grouping, a document restriction, and a chart that is a real picture.
#include "AdminFixture.h"

#include <QImage>

namespace {

using namespace vandro::admin::testing;
using StatsTest = AdminCommandTest;

TEST_F(StatsTest, CountsEveryGroupingAndDrawsIt) {
  // Id, From, Relation, then Marker1, Position1, Marker2, Position2.
  const std::vector<std::vector<std::string>> records = {
      {"1", "d1", "list", "", "", "and", "Beginning"},  {"2", "d1", "list", "", "", "And", "Beginning"},
      {"3", "d1", "list", "also", "Middle", "and", "End"}, {"4", "d2", "contrast", "", "", "but", "Beginning"},
      {"5", "d2", "contrast", "", "", "", ""},           {"6", "d2", "elaboration", "", "", "", ""},
      {"7", "d2", "list", "", "", "and", "Multiple"}};
  std::string csv = kHeader;
  for (const auto &r : records)
    csv += csvLine({r[0], r[1], r[2], "", "", "", "", "", "", "", "", "", "", "", r[3], r[4], r[5], r[6]});
  makeTable("T.DB", csv);

  const struct {
    std::vector<std::string> options;
    std::string expected; // the CSV
  } cases[] = {
      {{},
       "Relation,Records,With a marker,Share,Marker 1,Count 1,Marker 2,Count 2,Marker 3,Count 3\r\n"
       "list,4,4,1.0000,and,4,also,1,,\r\n"
       "contrast,2,1,0.5000,but,1,,,,\r\n"
       "elaboration,1,0,0.0000,,,,,,\r\n"
       "Total,7,5,0.7143,and,4,also,1,but,1\r\n"},
      {{"--by", "marker"},
       "Marker,list,contrast,Total\r\n"
       "and,4,0,4\r\nalso,1,0,1\r\nbut,0,1,1\r\n"},
      {{"--by", "position"},
       "Relation,Span 1 Beginning,Span 1 Middle,Span 1 End,Span 1 Multiple,Span 1 other,Span 2 Beginning,"
       "Span 2 Middle,Span 2 End,Span 2 Multiple,Span 2 other,Total\r\n"
       "list,0,1,0,0,0,2,0,1,1,0,5\r\n"
       "contrast,0,0,0,0,0,1,0,0,0,0,1\r\n"
       "Total,0,1,0,0,0,3,0,1,1,0,6\r\n"},
      {{"--by", "document"},
       "Document,Records,With a marker,Share\r\nd1,3,3,1.0000\r\nd2,4,2,0.5000\r\nTotal,7,5,0.7143\r\n"},
      {{"--document", "d2"},
       "Relation,Records,With a marker,Share,Marker 1,Count 1,Marker 2,Count 2,Marker 3,Count 3\r\n"
       "contrast,2,1,0.5000,but,1,,,,\r\n"
       "elaboration,1,0,0.0000,,,,,,\r\n"
       "list,1,1,1.0000,and,1,,,,\r\n"
       "Total,4,2,0.5000,and,1,but,1,,\r\n"},
  };
  for (const auto &c : cases) {
    std::vector<std::string> args = {"stats", m_dir, "T.DB", "--csv"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    SCOPED_TRACE(csvLine(args));
    const Outcome r = run(args);
    EXPECT_EQ(r.status, 0) << show(r);
    EXPECT_EQ(r.out, c.expected);
  }
  const Outcome aligned = run({"stats", m_dir, "T.DB", "--by", "document"});
  EXPECT_EQ(aligned.out, "Document  Records  With a marker   Share\n"
                         "d1              3              3  100.0%\n"
                         "d2              4              2   50.0%\n"
                         "Total           7              5   71.4%\n");

  // The heat map: a picture of some size with ink in it.
  const Outcome drawn = run({"stats", m_dir, "T.DB", "--by", "marker", "--chart", path("m.png")});
  ASSERT_EQ(drawn.status, 0) << show(drawn);
  const QImage chart(QString::fromStdString(path("m.png")));
  ASSERT_FALSE(chart.isNull());
  EXPECT_GT(chart.width(), 150);
  EXPECT_GT(chart.height(), 100);
  int ink = 0;
  for (int y = 0; y < chart.height(); ++y)
    for (int x = 0; x < chart.width(); ++x)
      ink += chart.pixelColor(x, y) != Qt::white;
  EXPECT_GT(ink, chart.width() * chart.height() / 20) << "a mostly blank picture";
  for (const std::vector<std::string> &options :
       {std::vector<std::string>{"--chart", path("m.gif")}, {"--document", "d3"}}) {
    std::vector<std::string> args = {"stats", m_dir, "T.DB"};
    args.insert(args.end(), options.begin(), options.end());
    const Outcome wrong = run(args);
    EXPECT_EQ(wrong.status, 1) << show(wrong);
    EXPECT_TRUE(wrong.out.empty()) << "no table for what cannot be counted" << show(wrong);
  }
}

} // namespace
