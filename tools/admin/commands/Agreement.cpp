// vandro-admin agreement: how far two annotators' tables of the same corpus
// agree on the markers, overall and per relation.
#include "Commands.h"

#include "Stats.h"
#include "corpus/Agreement.h"
#include "engine/MessageText.h"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace vandro::admin {

using namespace engine;
using namespace corpus;

namespace {

// Unpaired records the report names per side; --disagreements names all.
constexpr std::size_t kUnpairedShown = 20;

std::string figure(const std::optional<double> &value) {
  if (!value)
    return {};
  char text[32];
  std::snprintf(text, sizeof text, "%.4f", *value);
  return text;
}

std::string relationShown(const std::optional<std::string> &relation) {
  return relation ? shownLine(*relation, kShownCharacters) : "(none)";
}

std::string markerShown(const std::optional<std::string> &text) { return text ? shownText(*text) : "none"; }

// "both 5, A only 1, B only 1, neither 3"; for positions each (A's, B's)
// pair of positions with its count.
std::string countsShown(Measure measure, const MeasureCounts &counts) {
  if (measure == Measure::MarkerSet) {
    auto cell = [&](const char *a, const char *b) {
      const auto found = counts.cells.find({a, b});
      return std::to_string(found == counts.cells.end() ? 0 : found->second);
    };
    return "both " + cell("set", "set") + ", A only " + cell("set", "none") + ", B only " + cell("none", "set") +
           ", neither " + cell("none", "none");
  }
  std::string text;
  for (const auto &[cell, count] : counts.cells) {
    auto shown = [](const std::string &position) { return position.empty() ? "(none)" : shownLine(position, 20); };
    text += (text.empty() ? "A/B " : ", ") + shown(cell.first) + "/" + shown(cell.second) + " " +
            std::to_string(count);
  }
  return text;
}

// The figures as a table: aligned for a terminal with the counts behind
// them, and as the CSV columns Relation,Measure,Span,Pairs,Agreement,Kappa.
StatsReport figures(const AgreementReport &report) {
  StatsReport table;
  table.header = {"Relation", "Measure", "Span", "Pairs", "Agreed", "Agreement", "Kappa", "Counts"};
  table.numeric = {false, false, true, true, true, true, true, false};
  table.csvHeader = {"Relation", "Measure", "Span", "Pairs", "Agreement", "Kappa"};
  auto add = [&](const std::string &shown, const std::string &relation, const RelationAgreement &counts) {
    for (const Measure measure : kMeasures)
      for (int span = 0; span < 2; ++span) {
        const MeasureCounts &c = counts.at(span, measure);
        const bool hasKappa = measure == Measure::MarkerSet || measure == Measure::Position;
        const std::string agreement = figure(c.agreement()), kappa = figure(c.kappa());
        table.rows.push_back({shown, measureName(measure), std::to_string(span + 1), std::to_string(c.pairs),
                              std::to_string(c.agreed), agreement.empty() ? "n/a" : agreement,
                              hasKappa && kappa.empty() ? "n/a" : kappa, countsShown(measure, c)});
        table.csvRows.push_back(
            {relation, measureName(measure), std::to_string(span + 1), std::to_string(c.pairs), agreement, kappa});
      }
  };
  add("(all)", "(all)", report.overall);
  for (const auto &[relation, counts] : report.relations)
    add(relationShown(relation), relation.value_or(""), counts);
  return table;
}

std::string recordShown(char side, const ComparedRecord &r, Pairing pairing) {
  std::string text = std::string(1, side) + " Id " + std::to_string(r.id);
  if (pairing == Pairing::ByNodes && r.node1)
    text += " (" + markerShown(r.document) + ", nodes " + shownLine(*r.node1, kShownCharacters) +
            (r.node2 ? " and " + shownLine(*r.node2, kShownCharacters) : "") + ")";
  return text;
}

std::string unpairedShown(char side, const std::vector<UnpairedRecord> &records, Pairing pairing,
                          std::size_t limit) {
  std::string text = "Unpaired records of " + std::string(1, side) + ": " + std::to_string(records.size()) + "\n";
  for (std::size_t i = 0; i < records.size() && i < limit; ++i)
    text += "  " + recordShown(side, records[i].record, pairing) + ": " + records[i].why + "\n";
  if (records.size() > limit)
    text += "  ... and " + std::to_string(records.size() - limit) + " more (--disagreements lists every one)\n";
  return text;
}

std::string differencesShown(const AgreementReport &report) {
  std::string text = "\nPairs that differ: " + std::to_string(report.differences.size()) + "\n";
  for (const PairDifference &d : report.differences) {
    text += recordShown('A', d.a, report.pairing) + ", " + recordShown('B', d.b, Pairing::ById) + ": relation " +
            relationShown(d.a.relation) + (d.relation ? " | " + relationShown(d.b.relation) : "") + "\n";
    for (int s = 0; s < 2; ++s) {
      const std::string span = std::to_string(s + 1);
      if (d.marker[s])
        text += "  marker " + span + ": " + markerShown(d.a.marker[s]) + " | " + markerShown(d.b.marker[s]) + "\n";
      if (d.position[s])
        text += "  position " + span + ": " + markerShown(d.a.position[s]) + " | " + markerShown(d.b.position[s]) +
                "\n";
    }
  }
  return text;
}

int agreement(Context &context, const TableArguments &a, const TableArguments &b, bool csv, bool disagreements) {
  Context::Session session(context);
  if (!session.openDatabase(a.database) || !session.openTable(a.table, OpenMode::ReadOnly) ||
      !session.openSecondTable(b.database, b.table, OpenMode::ReadOnly))
    return kFailure;
  AgreementReport report;
  if (const Result result = Agreement(session.cursor(), session.secondCursor())
                                .compare(disagreements ? Listing::Differences : Listing::CountsOnly, report);
      result != code::Ok)
    return context.failure(engineMessage(result));
  const StatsReport table = figures(report);
  if (csv) {
    context.out << statsCsv(table);
    // The CSV keeps to its columns: what it cannot say goes to the user.
    for (const std::string &note : report.notes)
      context.warn(note);
    if (!report.unpairedA.empty() || !report.unpairedB.empty())
      context.warn("records without a partner, not counted: " + std::to_string(report.unpairedA.size()) +
                   " of A, " + std::to_string(report.unpairedB.size()) + " of B; the text report lists them");
    return kSuccess;
  }
  std::string text = "A: " + session.cursor().location() + " (" + std::to_string(report.recordsA) + " records)\n" +
                     "B: " + session.secondCursor().location() + " (" + std::to_string(report.recordsB) +
                     " records)\n";
  for (const std::string &note : report.notes)
    text += shownLine(note) + "\n";
  text += std::to_string(report.pairs) + " pairs by " +
          (report.pairing == Pairing::ById ? "Id" : "document and node ids of the kept sources") + "; " +
          std::to_string(report.relationDiffers) + " of them with another Relation in B (counted under A's)\n" +
          "Marker exact (letter case aside), marker partial (a shared signal) and position: over the pairs\n"
          "where both set a marker on the span.\n\n";
  text += statsText(table) + "\n";
  const std::size_t limit = disagreements ? SIZE_MAX : kUnpairedShown;
  text += unpairedShown('A', report.unpairedA, report.pairing, limit) +
          unpairedShown('B', report.unpairedB, report.pairing, limit);
  if (disagreements)
    text += differencesShown(report);
  context.out << text;
  return kSuccess;
}

} // namespace

void addAgreementCommand(CLI::App &app, Context &context) {
  auto *command = addCommand(
      app, "agreement", "Agreement on the markers between two annotators' tables of the same corpus",
      "Pair the records of two relation tables made from the same corpus (by the document and\n"
      "node ids of their kept sources when both keep one, else by Id) and report, overall and\n"
      "per relation (A's, where the two differ), for each span: whether a marker was set\n"
      "(Cohen's kappa), the same marker (letter case aside) and a shared signal (a part\n"
      "between \" + \"), and the same position (kappa); the last three over the pairs where\n"
      "both set a marker. Records without a partner are counted and listed. Both tables\n"
      "are only read; they may be in different databases.");
  const auto a = std::make_shared<TableArguments>(), b = std::make_shared<TableArguments>();
  command->add_option("DATABASE_A", a->database, "Alias or directory path of the first table")->required();
  command->add_option("TABLE_A", a->table, "The first annotator's table, such as Vandro.DB")->required();
  command->add_option("DATABASE_B", b->database, "Alias or directory path of the second table")->required();
  command->add_option("TABLE_B", b->table, "The second annotator's table")->required();
  const auto csv = std::make_shared<bool>(false), disagreements = std::make_shared<bool>(false);
  auto *csvFlag = command->add_flag("--csv", *csv,
                                    "RFC 4180 CSV: Relation,Measure,Span,Pairs,Agreement,Kappa (unpaired "
                                    "records counted on standard error)");
  command->add_flag("--disagreements", *disagreements,
                    "Also list every pair that differs and every unpaired record, for adjudication")
      ->excludes(csvFlag);
  command->callback([&context, a, b, csv, disagreements] {
    context.status = agreement(context, *a, *b, *csv, *disagreements);
  });
}

} // namespace vandro::admin
