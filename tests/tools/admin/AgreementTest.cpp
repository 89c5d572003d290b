// vandro-admin agreement end to end: two annotators' tables paired by Id
// and, when both keep the corpus, by document and node ids; every figure
// checked against counts worked out by hand below.
#include "AdminFixture.h"

namespace {

using namespace vandro::admin::testing;
using AgreementTest = AdminCommandTest;

// The table of one annotator: Id, Relation, Marker1, Position1 (span 2
// left without a marker throughout).
std::string annotation(const std::vector<std::vector<std::string>> &records) {
  std::string csv = kHeader;
  for (const auto &r : records)
    csv += csvLine({r[0], "d", r[1], "", "", "", "", "", "", "", "", "", "", "", r[2], r[3], "", ""});
  return csv;
}

TEST_F(AgreementTest, PairsByIdAndCountsEveryFigure) {
  // Span 1 over the ten pairs: both set a marker on 1-5, only A on 6, only
  // B on 7, neither on 8-10. Marker set: po = 8/10, pA = pB = 6/10,
  // pe = .6*.6 + .4*.4 = .52, kappa = (.8 - .52) / (1 - .52) = .5833.
  // Where both set one (1-5): the same marker, case aside, on 1, 4, 5
  // (3/5); a shared part also on 2 (4/5). Positions agree on 1, 3, 5 (3/5);
  // A: 3 Beginning, 1 Multiple, 1 End; B: 3 Beginning, 2 End;
  // pe = (3*3 + 1*2) / 25 = .44, kappa = (.6 - .44) / .56 = .2857.
  // Span 2: no marker anywhere, so pe = 1 and kappa cannot be computed.
  // By A's relation: list (1-6) has set on 1-5 for both and 6 for A only:
  // po = 5/6, pe = 1 * 5/6, kappa 0; contrast (7-10): po = 3/4, pe = 1 * 3/4,
  // kappa 0. Pair 10 has another relation in B. 11 (A) and 12 (B) have no
  // partner, and their markers must not count.
  makeTable("A.DB", annotation({{"1", "list", "and", "Beginning"}, {"2", "list", "and + then", "Multiple"},
                                {"3", "list", "but", "Beginning"}, {"4", "list", "either ... or", "Beginning"},
                                {"5", "list", "because", "End"}, {"6", "list", "so", "Beginning"},
                                {"7", "contrast", "", ""}, {"8", "contrast", "", ""}, {"9", "contrast", "", ""},
                                {"10", "contrast", "", ""}, {"11", "list", "and", "End"}}));
  makeTable("B.DB", annotation({{"1", "list", "And", "Beginning"}, {"2", "list", "then", "Beginning"},
                                {"3", "list", "however", "Beginning"}, {"4", "list", "Either ... or", "End"},
                                {"5", "list", "because", "end"}, {"6", "list", "", ""},
                                {"7", "contrast", "still", "Middle"}, {"8", "contrast", "", ""},
                                {"9", "contrast", "  ", ""}, {"10", "elaboration", "", ""},
                                {"12", "list", "but", "End"}}));

  const Outcome csv = run({"agreement", m_dir, "A.DB", m_dir, "B.DB", "--csv"});
  EXPECT_EQ(csv.status, 0) << show(csv);
  EXPECT_EQ(csv.out, "Relation,Measure,Span,Pairs,Agreement,Kappa\r\n"
                     "(all),marker set,1,10,0.8000,0.5833\r\n"
                     "(all),marker set,2,10,1.0000,\r\n"
                     "(all),marker exact,1,5,0.6000,\r\n"
                     "(all),marker exact,2,0,,\r\n"
                     "(all),marker partial,1,5,0.8000,\r\n"
                     "(all),marker partial,2,0,,\r\n"
                     "(all),position,1,5,0.6000,0.2857\r\n"
                     "(all),position,2,0,,\r\n"
                     "contrast,marker set,1,4,0.7500,0.0000\r\n"
                     "contrast,marker set,2,4,1.0000,\r\n"
                     "contrast,marker exact,1,0,,\r\n"
                     "contrast,marker exact,2,0,,\r\n"
                     "contrast,marker partial,1,0,,\r\n"
                     "contrast,marker partial,2,0,,\r\n"
                     "contrast,position,1,0,,\r\n"
                     "contrast,position,2,0,,\r\n"
                     "list,marker set,1,6,0.8333,0.0000\r\n"
                     "list,marker set,2,6,1.0000,\r\n"
                     "list,marker exact,1,5,0.6000,\r\n"
                     "list,marker exact,2,0,,\r\n"
                     "list,marker partial,1,5,0.8000,\r\n"
                     "list,marker partial,2,0,,\r\n"
                     "list,position,1,5,0.6000,0.2857\r\n"
                     "list,position,2,0,,\r\n");
  EXPECT_TRUE(mentions(csv.err, "not counted: 1 of A, 1 of B")) << show(csv);

  const Outcome text = run({"agreement", m_dir, "A.DB", m_dir, "B.DB", "--disagreements"});
  EXPECT_EQ(text.status, 0) << show(text);
  for (const char *expected :
       {"10 pairs by Id; 1 of them with another Relation in B", "both 5, A only 1, B only 1, neither 3",
        "Unpaired records of A: 1\n  A Id 11: table B has no record with its Id\n",
        "Unpaired records of B: 1\n  B Id 12: table A has no record with its Id\n",
        "Pairs that differ: 6\n"
        "A Id 2, B Id 2: relation list\n  marker 1: \"and + then\" | \"then\"\n"
        "  position 1: \"Multiple\" | \"Beginning\"\n"
        "A Id 3, B Id 3: relation list\n  marker 1: \"but\" | \"however\"\n"
        "A Id 4, B Id 4: relation list\n  position 1: \"Beginning\" | \"End\"\n"
        "A Id 6, B Id 6: relation list\n  marker 1: \"so\" | none\n"
        "A Id 7, B Id 7: relation contrast\n  marker 1: none | \"still\"\n"
        "A Id 10, B Id 10: relation contrast | elaboration\n"})
    EXPECT_NE(text.out.find(expected), std::string::npos) << expected << show(text);

  const Outcome both = run({"agreement", m_dir, "A.DB", m_dir, "B.DB", "--csv", "--disagreements"});
  EXPECT_EQ(both.status, 2) << show(both);
}

TEST_F(AgreementTest, PairsByNodeIdsOfTheKeptCorpus) {
  // walk.rs4 gives five records: 1 concession (span 1 "Although",
  // Beginning), 2 elaboration ("saw + we went", Multiple), 3 joint ("and",
  // Beginning), 4 evaluation ("fun indeed", End), 5 sequence ("then"), the
  // last four on span 2. B's Ids are moved by 100, so only the nodes pair
  // them; A lacks record 5, and B has a record 200 without a source.
  for (const char *table : {"A.DB", "B.DB"}) {
    makeTable(table, kHeader);
    const Outcome imported =
        run({"import-rst", m_dir, table, std::string(VANDRO_RST_FIXTURES) + "/walk.rs4"});
    ASSERT_EQ(imported.status, 0) << show(imported);
  }
  runSql(path("A.DB"), "PRAGMA foreign_keys = ON; DELETE FROM A WHERE Id = 5");
  runSql(path("B.DB"), "PRAGMA foreign_keys = ON; UPDATE B SET Id = Id + 100;"
                       "UPDATE B SET Marker1 = 'although' WHERE Id = 101;"
                       "UPDATE B SET Marker2 = 'we went', Position2 = 'End' WHERE Id = 102;"
                       "UPDATE B SET Marker2 = NULL, Position2 = NULL WHERE Id = 103;"
                       "INSERT INTO B (Id, \"From\", Relation, Marker1) VALUES (200, 'walk', 'joint', 'and')");
  // Span 1, four pairs: only 1/101 set, by both: po = 1, pe = (1 + 9)/16,
  // kappa 1. Span 2: both set on 2 and 4, only A on 3, neither on 1:
  // po = 3/4, pe = 3/4 * 2/4 + 1/4 * 2/4 = .5, kappa .5. Of 2 and 4 the
  // same marker on 4, a shared part on both; positions Multiple/End and
  // End/End: po = .5, pe = (1*2)/4 = .5, kappa 0.
  const Outcome csv = run({"agreement", m_dir, "A.DB", m_dir, "B.DB", "--csv"});
  EXPECT_EQ(csv.status, 0) << show(csv);
  EXPECT_TRUE(csv.out.starts_with("Relation,Measure,Span,Pairs,Agreement,Kappa\r\n"
                                  "(all),marker set,1,4,1.0000,1.0000\r\n"
                                  "(all),marker set,2,4,0.7500,0.5000\r\n"
                                  "(all),marker exact,1,1,1.0000,\r\n"
                                  "(all),marker exact,2,2,0.5000,\r\n"
                                  "(all),marker partial,1,1,1.0000,\r\n"
                                  "(all),marker partial,2,2,1.0000,\r\n"
                                  "(all),position,1,1,1.0000,\r\n"
                                  "(all),position,2,2,0.5000,0.0000\r\n"))
      << show(csv);
  const Outcome text = run({"agreement", m_dir, "A.DB", m_dir, "B.DB"});
  EXPECT_EQ(text.status, 0) << show(text);
  for (const char *expected :
       {"4 pairs by document and node ids", "Unpaired records of A: 0\n",
        "Unpaired records of B: 2\n  B Id 105 (\"walk\", nodes 4 and 5): table A has no record with its document "
        "and nodes\n  B Id 200: it has no kept source"})
    EXPECT_NE(text.out.find(expected), std::string::npos) << expected << show(text);
}

} // namespace
