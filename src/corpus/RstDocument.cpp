#include "corpus/RstDocument.h"

#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>
#include <algorithm>

namespace vandro::rst {

namespace {

QString where(const QString &path, const QXmlStreamReader &xml) {
  return QStringLiteral("%1:%2:%3").arg(path).arg(xml.lineNumber()).arg(xml.columnNumber());
}

RstNode::Kind groupKind(const QString &type) {
  return type == QLatin1String("multinuc") ? RstNode::Kind::Multinuc : RstNode::Kind::Span;
}

// Token numbers "1,2,3" as listed; an empty list when any is not a number.
std::vector<int> tokenList(const QString &text) {
  std::vector<int> tokens;
  for (const QString &part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
    bool ok = false;
    const int token = part.trimmed().toInt(&ok);
    if (!ok || token < 1)
      return {};
    tokens.push_back(token);
  }
  return tokens;
}

// The text of the segment element just started, its child elements'
// texts included. An entity the document does not define (one an external
// DTD might) is an error: it would otherwise be left out of the text.
Outcome<QString, QString> readSegmentText(QXmlStreamReader &xml, const QString &path) {
  QString text;
  for (int depth = 1; depth > 0 && !xml.atEnd();) {
    switch (xml.readNext()) {
    case QXmlStreamReader::StartElement: ++depth; break;
    case QXmlStreamReader::EndElement: --depth; break;
    case QXmlStreamReader::Characters: text += xml.text(); break;
    case QXmlStreamReader::EntityReference:
      return Failure{where(path, xml) +
                     QStringLiteral(": the entity '&%1;' is not defined in the document").arg(xml.name().toString())};
    default: break;
    }
  }
  return text; // a fault of the XML itself is reported after the loop
}

// Links each node to its parent, refuses parents that name no node and
// cycles of parents, and gives every node its coverage. No recursion: a
// chain of a hundred thousand groups is as cheap as a flat one.
Outcome<void, QString> linkTree(const QString &path, RstDocument &document) {
  auto &nodes = document.nodes;
  const int count = static_cast<int>(nodes.size());
  std::vector<std::vector<int>> children(static_cast<std::size_t>(count));
  std::vector<int> roots;
  for (int i = 0; i < count; ++i) {
    RstNode &node = nodes[static_cast<std::size_t>(i)];
    if (node.parent.isEmpty()) {
      roots.push_back(i);
      continue;
    }
    const auto found = document.nodeIndex.constFind(node.parent);
    if (found == document.nodeIndex.constEnd()) {
      return Failure{QStringLiteral("%1:%2: node %3 names the parent %4, which is no segment or group of the document")
                         .arg(path)
                         .arg(node.line)
                         .arg(node.id, node.parent)};
    }
    node.parentIndex = *found;
    children[static_cast<std::size_t>(*found)].push_back(i);
  }
  // Every node reached from a root, parents before their children.
  std::vector<int> order;
  order.reserve(static_cast<std::size_t>(count));
  std::vector<char> reached(static_cast<std::size_t>(count), 0);
  std::vector<int> stack(roots.rbegin(), roots.rend());
  while (!stack.empty()) {
    const int at = stack.back();
    stack.pop_back();
    reached[static_cast<std::size_t>(at)] = 1;
    order.push_back(at);
    for (int child : children[static_cast<std::size_t>(at)])
      stack.push_back(child);
  }
  if (static_cast<int>(order.size()) != count) {
    // A node that no root reaches lies on, or hangs from, a cycle of
    // parents: follow the parents until one repeats.
    int at = static_cast<int>(std::find(reached.begin(), reached.end(), 0) - reached.begin());
    std::vector<char> seen(static_cast<std::size_t>(count), 0);
    while (!seen[static_cast<std::size_t>(at)]) {
      seen[static_cast<std::size_t>(at)] = 1;
      at = nodes[static_cast<std::size_t>(at)].parentIndex;
    }
    QStringList cycle;
    const int start = at;
    do {
      cycle << nodes[static_cast<std::size_t>(at)].id;
      at = nodes[static_cast<std::size_t>(at)].parentIndex;
    } while (at != start && cycle.size() < 10);
    return Failure{QStringLiteral("%1:%2: the parents of nodes %3 form a cycle")
                       .arg(path)
                       .arg(nodes[static_cast<std::size_t>(start)].line)
                       .arg(cycle.join(QStringLiteral(", ")))};
  }
  // Coverage: children before their parents.
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    RstNode &node = nodes[static_cast<std::size_t>(*it)];
    if (node.kind == RstNode::Kind::Segment) {
      node.low = node.low ? std::min(node.low, node.segment) : node.segment;
      node.high = std::max(node.high, node.segment);
    }
    if (node.parentIndex >= 0 && node.low) {
      RstNode &parent = nodes[static_cast<std::size_t>(node.parentIndex)];
      parent.low = parent.low ? std::min(parent.low, node.low) : node.low;
      parent.high = std::max(parent.high, node.high);
    }
  }
  return {};
}

} // namespace

Outcome<RstDocument, QString> readRstDocument(const QString &path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return Failure{QStringLiteral("%1: the file cannot be read: %2").arg(path, file.errorString())};
  const QByteArray content = file.readAll();
  if (file.error() != QFileDevice::NoError)
    return Failure{QStringLiteral("%1: the file cannot be read: %2").arg(path, file.errorString())};
  return readRstDocument(path, content);
}

Outcome<RstDocument, QString> readRstDocument(const QString &path, const QByteArray &content) {
  RstDocument out;
  out.name = QFileInfo(path).completeBaseName();
  out.path = path;
  QXmlStreamReader xml(content);
  int signalCount = 0;
  auto addNode = [&](RstNode node) -> Outcome<void, QString> {
    if (node.id.isEmpty())
      return Failure{where(path, xml) + QStringLiteral(": a %1 without an id")
                                            .arg(node.kind == RstNode::Kind::Segment ? QStringLiteral("segment")
                                                                                     : QStringLiteral("group"))};
    if (out.nodeIndex.contains(node.id))
      return Failure{where(path, xml) + QStringLiteral(": the id %1 is given twice").arg(node.id)};
    if (node.parent == QLatin1String("0"))
      node.parent.clear();
    node.line = xml.lineNumber();
    node.column = xml.columnNumber();
    out.nodeIndex.insert(node.id, static_cast<int>(out.nodes.size()));
    out.nodes.push_back(std::move(node));
    return {};
  };

  while (!xml.atEnd()) {
    switch (xml.readNext()) {
    case QXmlStreamReader::DTD:
      for (const auto &entity : xml.entityDeclarations())
        if (!entity.systemId().isEmpty() || !entity.publicId().isEmpty())
          return Failure{where(path, xml) + QStringLiteral(": the document declares the external entity '%1'; "
                                                           "external entities are never read")
                                                .arg(entity.name().toString())};
      break;
    case QXmlStreamReader::EntityReference:
      return Failure{where(path, xml) +
                     QStringLiteral(": the entity '&%1;' is not defined in the document").arg(xml.name().toString())};
    case QXmlStreamReader::StartElement: {
      const auto attributes = xml.attributes();
      auto attribute = [&](const char *name) { return attributes.value(QLatin1String(name)).toString(); };
      const auto name = xml.name();
      if (name == QLatin1String("rel")) {
        out.relationTypes[attribute("name")].insert(attribute("type"));
      } else if (name == QLatin1String("segment")) {
        RstNode node{attribute("id"), attribute("parent"), attribute("relname"), RstNode::Kind::Segment,
                     static_cast<int>(out.segmentTexts.size()) + 1};
        if (auto added = addNode(std::move(node)); !added)
          return Failure{added.error()};
        const auto text = readSegmentText(xml, path);
        if (!text)
          return Failure{text.error()};
        out.segmentTexts.push_back(text->simplified());
      } else if (name == QLatin1String("group")) {
        if (auto added =
                addNode({attribute("id"), attribute("parent"), attribute("relname"), groupKind(attribute("type"))});
            !added)
          return Failure{added.error()};
      } else if (name == QLatin1String("signal")) {
        if (attribute("type") == QLatin1String("dm"))
          out.markers.push_back({attribute("source"), tokenList(attribute("tokens")), signalCount, xml.lineNumber()});
        ++signalCount;
      }
      break;
    }
    default: break;
    }
  }
  if (xml.hasError())
    return Failure{where(path, xml) + QStringLiteral(": ") + xml.errorString()};
  for (const QString &text : out.segmentTexts) {
    out.firstToken.push_back(static_cast<int>(out.tokens.size()));
    for (const QString &token : text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
      out.tokens.push_back(token);
    out.lastToken.push_back(static_cast<int>(out.tokens.size()) - 1);
  }
  if (auto linked = linkTree(path, out); !linked)
    return Failure{linked.error()};
  return out;
}

} // namespace vandro::rst
