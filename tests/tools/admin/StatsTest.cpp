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

namespace {

using namespace vandro::admin::testing;
using StatsFiguresTest = AdminCommandTest;

// A line of the aligned table as its cells: columns are two or more blanks apart.
std::string cellsOf(const std::string &line) {
  std::string cells;
  for (std::size_t at = 0; at < line.size();) {
    const std::size_t gap = line.find("  ", at);
    cells += (cells.empty() ? "" : "|") + line.substr(at, gap - at);
    at = gap == std::string::npos ? line.size() : line.find_first_not_of(' ', gap);
  }
  return cells;
}

std::vector<std::string> tableCells(const std::string &text) {
  std::vector<std::string> rows;
  for (const std::string &line : splitLines(text))
    rows.push_back(cellsOf(line));
  return rows;
}

TEST_F(StatsFiguresTest, SharesOtherRowsRolesGroupsAndTitles) {
  // Id, From, Relation, Order, then Marker1, Position1, Marker2, Position2.
  const std::vector<std::vector<std::string>> records = {
      {"1", "a_x_1", "list", "NN", "", "", "and", "Beginning"},
      {"2", "a_x_1", "list", "NN", "", "", "And", "Beginning"},
      {"3", "a_y_2", "list", "NN", "also", "Middle", "and", "End"},
      {"4", "a_y_2", "contrast", "NN", "", "", "but", "Beginning"},
      {"5", "a_y_2", "cause", "SN", "because", "Beginning", "", ""},
      {"6", "b_3", "cause", "NS", "", "", "so", "Beginning"},
      {"7", "a_x_4", "elaboration", "NS", "", "", "for example", "Middle"},
      {"8", "a_x_4", "cause", "SN", "", "", "", ""},
      {"9", "zz", "elaboration", "", "when", "Beginning", "", ""}};
  std::string csv = kHeader;
  for (const auto &r : records)
    csv += csvLine({r[0], r[1], r[2], "", "", "", r[3], "", "", "", "", "", "", "", r[4], r[5], r[6], r[7]});
  makeTable("T.DB", csv);

  const struct {
    const char *name;
    std::vector<std::string> options;
    std::vector<std::string> expected; // the CSV's lines, or the aligned table's cells a row
  } cases[] = {
      {"column shares in CSV",
       {"--by", "marker", "--share", "column", "--csv"},
       {"Marker,list,cause,elaboration,contrast,Total,list share,cause share,elaboration share,contrast share,"
        "Total share",
        "and,3,0,0,0,3,0.7500,0.0000,0.0000,0.0000,0.3333", "also,1,0,0,0,1,0.2500,0.0000,0.0000,0.0000,0.1111",
        "because,0,1,0,0,1,0.0000,0.5000,0.0000,0.0000,0.1111", "but,0,0,0,1,1,0.0000,0.0000,0.0000,1.0000,0.1111",
        "for example,0,0,1,0,1,0.0000,0.0000,0.5000,0.0000,0.1111",
        "so,0,1,0,0,1,0.0000,0.5000,0.0000,0.0000,0.1111", "when,0,0,1,0,1,0.0000,0.0000,0.5000,0.0000,0.1111"}},
      {"row shares, two markers and the rest, relation totals",
       {"--by", "marker", "--share", "row", "--top", "2"},
       {"Marker|list|cause|elaboration|contrast|Total", "and|3 (100.0%)|0|0|0|3", "also|1 (100.0%)|0|0|0|1",
        "(other: 5 markers)|0|2 (40.0%)|2 (40.0%)|1 (20.0%)|5", "Total|4 (44.4%)|2 (22.2%)|2 (22.2%)|1 (11.1%)|9"}},
      {"two relations and the rest",
       {"--top", "2"},
       {"Relation|Records|With a marker|Share|Most frequent markers", "cause|3|2|66.7%|because 1, so 1",
        "list|3|3|100.0%|and 3, also 1", "(other: 2 relations)|3|3|100.0%|but 1, for example 1, when 1",
        "Total|9|8|88.9%|and 3, also 1, because 1"}},
      {"positions by role, from Order",
       {"--by", "position", "--spans", "role", "--csv"},
       {"Relation,Satellite Beginning,Satellite Middle,Satellite End,Satellite Multiple,Satellite other,"
        "Nucleus Beginning,Nucleus Middle,Nucleus End,Nucleus Multiple,Nucleus other,Co-nucleus Beginning,"
        "Co-nucleus Middle,Co-nucleus End,Co-nucleus Multiple,Co-nucleus other,Order unknown Beginning,"
        "Order unknown Middle,Order unknown End,Order unknown Multiple,Order unknown other,Total",
        "list,0,0,0,0,0,0,0,0,0,0,2,1,1,0,0,0,0,0,0,0,4", "cause,2,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,2",
        "elaboration,0,1,0,0,0,0,0,0,0,0,0,0,0,0,0,1,0,0,0,0,2",
        "contrast,0,0,0,0,0,0,0,0,0,0,1,0,0,0,0,0,0,0,0,0,1",
        "Total,2,1,0,0,0,0,0,0,0,0,3,1,1,0,0,1,0,0,0,0,9"}},
      {"documents by group, the unmatched last",
       {"--group", "a_([a-z])_", "--csv"},
       {"Group,Documents,Records,With a marker,Share", "x,2,4,3,0.7500", "y,1,3,3,1.0000",
        "(unmatched),2,2,2,1.0000", "Total,5,9,8,0.8889"}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args = {"stats", m_dir, "T.DB"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const Outcome r = run(args);
    ASSERT_EQ(r.status, 0) << show(r);
    if (std::find(args.begin(), args.end(), "--csv") == args.end()) {
      EXPECT_EQ(tableCells(r.out), c.expected) << r.out;
      continue;
    }
    std::string lines;
    for (const std::string &line : c.expected)
      lines += line + "\r\n";
    EXPECT_EQ(r.out, lines);
  }
  // --top shortens the table, never the CSV.
  EXPECT_TRUE(mentions(run({"stats", m_dir, "T.DB", "--top", "2", "--csv"}).out, "\r\ncontrast,1,1,1.0000"));

  // Every chart names the corpus (the documents' common name prefix, or
  // --corpus) and N in its title.
  const struct {
    std::vector<std::string> options;
    std::string title;
  } titles[] = {
      {{}, "Relations: records and records with a marker (Tiny, N = 9 records)"},
      {{"--by", "marker"}, "Markers and the relations they mark (Tiny, N = 9 markers)"},
      {{"--by", "position"}, "Marker positions by relation, span 1 and span 2 (Tiny, N = 9 marked spans)"},
      {{"--document", "a_x_1", "--document", "a_x_4", "--by", "document"},
       "Documents: records and records with a marker (a_x, N = 4 records)"},
  };
  for (const auto &t : titles) {
    std::vector<std::string> args = {"stats", m_dir, "T.DB", "--chart", path("t.svg")};
    if (t.options.empty() || t.options[0] != "--document")
      args.insert(args.end(), {"--corpus", "Tiny"});
    args.insert(args.end(), t.options.begin(), t.options.end());
    SCOPED_TRACE(csvLine(args));
    ASSERT_EQ(run(args).status, 0);
    EXPECT_TRUE(mentions(readFile(path("t.svg")), "<title>" + t.title + "</title>"));
  }

  // Wrong combinations and a bad pattern are usage errors that say why.
  for (const std::vector<std::string> &wrong :
       {std::vector<std::string>{"--group", "a_([a-z]_"}, {"--share", "row"}, {"--by", "marker", "--spans", "role"}}) {
    std::vector<std::string> args = {"stats", m_dir, "T.DB"};
    args.insert(args.end(), wrong.begin(), wrong.end());
    const Outcome r = run(args);
    EXPECT_EQ(r.status, 2) << show(r);
    EXPECT_TRUE(mentions(r.err, wrong[wrong.size() - 2])) << show(r);
    EXPECT_TRUE(r.out.empty()) << show(r);
  }
}

TEST_F(StatsFiguresTest, AChartIsNeverTallerThanAPage) {
  // Eighty documents of one record each: more bars than a page holds.
  std::string csv = kHeader;
  for (int i = 0; i < 80; ++i) {
    const std::string id = std::to_string(i + 1), name = "GUM_x_" + std::string(i < 9 ? "0" : "") + id;
    csv += csvLine({id, name, "list", "", "", "", "NN", "", "", "", "", "", "", "", "", "", "", ""});
  }
  makeTable("T.DB", csv);
  const Outcome r = run({"stats", m_dir, "T.DB", "--by", "document", "--chart", path("d.svg")});
  ASSERT_EQ(r.status, 0) << show(r);
  const std::string svg = readFile(path("d.svg"));
  EXPECT_TRUE(mentions(svg, "<title>Documents: records and records with a marker (GUM_x, N = 80 records)</title>"));
  const std::size_t box = svg.find("viewBox=\"0 0 ");
  ASSERT_NE(box, std::string::npos);
  std::istringstream numbers(svg.substr(box + 13));
  double width = 0, height = 0;
  numbers >> width >> height;
  ASSERT_GT(width, 300);
  EXPECT_LE(height, width * 11 / 8.5) << "taller than a letter page";
  // The bars that do not fit are summed, none lost: the labels drawn and
  // the documents in "other" make the eighty.
  const std::size_t other = svg.find("(other: ");
  ASSERT_NE(other, std::string::npos);
  const int folded = std::atoi(svg.c_str() + other + 8);
  int drawn = 0;
  for (std::size_t at = svg.find(">GUM_x_"); at != std::string::npos; at = svg.find(">GUM_x_", at + 1))
    ++drawn;
  EXPECT_GT(folded, 1);
  EXPECT_EQ(drawn + folded, 80);
}

} // namespace
