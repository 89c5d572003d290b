// vandro-admin stats: what the annotation says, counted.
#include "Commands.h"

#include "Stats.h"
#include "StatsChart.h"
#include "engine/MessageText.h"
#include "engine/WholeFile.h"

#include <QGuiApplication>
#include <QRegularExpression>
#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <tuple>
#include <vector>

namespace vandro::admin {

using namespace engine;

namespace {

int stats(Context &context, const std::string &database, const std::string &table, StatsOptions options,
          bool csv, const std::string &chart) {
  if (!options.group.empty()) {
    const QRegularExpression pattern(QString::fromStdString(options.group));
    if (!pattern.isValid()) {
      context.err << "vandro-admin: --group " << options.group << ": not a regular expression: "
                  << pattern.errorString().toStdString() << " at offset " << pattern.patternErrorOffset() << "\n";
      return kUsage;
    }
  }
  options.table = table;
  std::optional<ChartFormat> format;
  if (!chart.empty()) {
    std::string ending = std::filesystem::path(chart).extension().string();
    for (char &c : ending)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ending == ".svg")
      format = ChartFormat::Svg;
    else if (ending == ".png")
      format = ChartFormat::Png;
    else
      return context.failure(chart + ": a chart is an .svg or a .png file");
  }
  Context::Session session(context);
  if (!session.openDatabase(database) || !session.openTable(table, OpenMode::ReadOnly))
    return kFailure;
  const Outcome<StatsReport> built = buildStats(session.cursor(), options);
  if (!built)
    return context.failure(built.error());
  const StatsReport &report = *built;
  context.out << (csv ? statsCsv(report) : statsText(report));
  if (!format)
    return kSuccess;
  // Text needs fonts, and fonts a GUI application: one without a screen,
  // for this drawing only.
  QByteArray bytes;
  {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
      qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's remarks about the desktop session are no concern of a chart.
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
          if (type != QtDebugMsg && type != QtInfoMsg && !message.startsWith(QLatin1String("QStandardPaths:")))
            std::cerr << "vandro-admin: " << message.toStdString() << "\n";
        });
    int argc = 1;
    char name[] = "vandro-admin";
    char *argv[] = {name, nullptr};
    std::unique_ptr<QGuiApplication> application;
    if (!QGuiApplication::instance())
      application = std::make_unique<QGuiApplication>(argc, argv);
    bytes = drawStatsChart(report, *format);
    application.reset();
    qInstallMessageHandler(previous);
  }
  WholeFile target(chart);
  if (const std::string reason = target.begin(WholeFile::Devices::WrittenInPlace); !reason.empty())
    return context.failure(chart + ": the file cannot be written: " + reason);
  std::ofstream out(target.writePath(), std::ios::binary | (target.direct() ? std::ios::app : std::ios::trunc));
  out.write(bytes.constData(), bytes.size());
  out.close();
  if (!out)
    return context.failure(chart + ": the file could not be written: " + std::strerror(errno));
  if (const std::string reason = target.finish(); !reason.empty())
    return context.failure(chart + ": the file could not be written: " + reason);
  return kSuccess;
}

} // namespace

void addStatsCommand(CLI::App &app, Context &context) {
  auto *command = addCommand(app, "stats", "Count what the annotation says, by relation, marker, position or document",
                 "Count what the annotation says, in grouping queries of the database:\n"
               "--by relation (the default): records, records with a marker, their share and the\n"
               "three most frequent markers per relation; --by marker: markers (letter case aside)\n"
               "by relation; --by position: the markers' positions in span 1 and span 2 by relation;\n"
               "--by document: records and records with a marker per From, or per group with --group.\n"
               "Charts are titled with the corpus and N, and never taller than a letter page:\n"
               "what a page cannot hold is summed as \"other\".");
  const auto table = addTableArguments(*command);
  struct Options {
    std::string by = "relation", chart, group, corpus;
    std::vector<std::string> documents;
    bool csv = false;
    std::size_t top = 0;
    StatsShare share = StatsShare::None;
    StatsSpans spans = StatsSpans::Number;
  };
  const auto options = std::make_shared<Options>();
  auto *by = command->add_option("--by", options->by, "relation, marker, position or document")
                 ->check(CLI::IsMember(kStatsBy));
  command->add_option("--document", options->documents, "Count only this document (its From); may be given again");
  command->add_flag("--csv", options->csv, "RFC 4180 CSV instead of the aligned table (every row)");
  command->add_option("--chart", options->chart, "Also draw the table into FILE, an .svg or .png");
  command->add_option("--top", options->top,
                      "Show the N largest rows on a terminal and in the chart, the rest summed as \"other\" "
                      "(markers: 40 when not given)")
      ->check(CLI::Range(1, 1000000));
  auto *share = command->add_option("--share", options->share,
                                    "With --by marker: each count's share of its row (the marker) or column (the "
                                    "relation) beside it, shading the chart")
                    ->transform(CLI::CheckedTransformer(kStatsShare));
  auto *spans = command->add_option("--spans", options->spans,
                                    "With --by position: the spans as span 1 and 2 (number, the default) or as "
                                    "satellite and nucleus by the record's Order (role)")
                    ->transform(CLI::CheckedTransformer(kStatsSpans));
  auto *group = command->add_option("--group", options->group,
                                    "Count documents by group: a regular expression whose first capture group "
                                    "names a document's group (implies --by document)");
  command->add_option("--corpus", options->corpus,
                      "The corpus named in the chart's title (else the documents' common name prefix)");
  command->callback([&context, table, options, by, share, spans, group] {
    StatsOptions chosen;
    // --by is one of kStatsBy: the option's own check refuses any other.
    chosen.by = std::find_if(kStatsBy.begin(), kStatsBy.end(), [&](const auto &named) {
                  return named.first == options->by;
                })->second;
    if (group->count() > 0 && by->count() == 0)
      chosen.by = StatsBy::Document;
    for (const auto &[option, needs, name] : {std::tuple{share, StatsBy::Marker, "marker"},
                                              std::tuple{spans, StatsBy::Position, "position"},
                                              std::tuple{group, StatsBy::Document, "document"}})
      if (option->count() > 0 && chosen.by != needs) {
        context.err << "vandro-admin: " << option->get_name() << " applies to --by " << name << " only\n";
        context.status = kUsage;
        return;
      }
    chosen.documents = options->documents;
    chosen.share = options->share;
    chosen.spans = options->spans;
    chosen.top = options->top;
    chosen.group = options->group;
    chosen.corpus = options->corpus;
    context.status = stats(context, table->database, table->table, chosen, options->csv, options->chart);
  });
}

} // namespace vandro::admin
