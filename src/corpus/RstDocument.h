// An RST document of the rs3/rs4 XML that RST annotation tools write: its
// segments, the tree of segments and groups, the declared relations and the
// discourse-marker signals (rs4).
#pragma once

#include "engine/Outcome.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <vector>

namespace vandro::rst {

// A segment or a group of the tree.
struct RstNode {
  enum class Kind { Segment, Span, Multinuc };
  QString id;
  QString parent;  // empty for a root ("0" or no parent)
  QString relname;
  Kind kind = Kind::Segment;
  int segment = 0; // a segment's number, counted from 1 in document order
  qint64 line = 0, column = 0; // where it stands in the file
  int parentIndex = -1;
  int low = 0, high = 0; // the lowest and highest segment under the node; 0 when none
};

// A discourse-marker signal: the node it belongs to and its tokens.
struct RstSignal {
  QString source;
  std::vector<int> tokens; // as listed, counted from 1 over the whole document
  int index = 0;           // its place among all the document's <signal> elements, from 0
  qint64 line = 0;
};

struct RstDocument {
  QString name;                         // the file name without its extension
  QString path;                         // the file, for messages
  std::vector<QString> segmentTexts;    // white space collapsed, by segment number - 1
  QHash<QString, QSet<QString>> relationTypes; // declared name -> "rst", "multinuc"
  std::vector<RstNode> nodes;           // in document order
  QHash<QString, int> nodeIndex;        // id -> index into nodes
  std::vector<RstSignal> markers;       // the signals of type "dm", in document order
  // The document's tokens: its segment texts split at white space, numbered
  // from 1 (tokens[0] is unused), and each segment's first and last token,
  // by segment number (last < first for an empty segment).
  std::vector<QString> tokens{QString()};
  std::vector<int> firstToken{0}, lastToken{0};

  // Whether `relname` is declared a multinuclear relation.
  bool isMultinuclear(const QString &relname) const {
    return relationTypes.value(relname).contains(QStringLiteral("multinuc"));
  }
};

// Reads the document in `path`. The XML is read as declared (UTF-8 by
// default, ISO-8859-1 and the others Qt knows when the file says so); no
// external entity is ever read, entity expansion is bounded, and nothing
// is recursive, so hostile nesting costs neither stack nor much time.
// Links every node to its parent and gives it its coverage. Fails naming
// the file (and for XML faults the line and column) when the file is
// malformed, a parent names no node, or parents form a cycle.
Outcome<RstDocument, QString> readRstDocument(const QString &path);
// The same for the bytes `content` of the file `path`.
Outcome<RstDocument, QString> readRstDocument(const QString &path, const QByteArray &content);

} // namespace vandro::rst
