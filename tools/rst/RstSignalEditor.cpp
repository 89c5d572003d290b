#include "RstSignalEditor.h"

#include "engine/Expects.h"
#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QXmlStreamReader>
#include <algorithm>

namespace vandro::rst {

namespace {

// Where the parts of the document that an edit touches stand in its text.
struct Layout {
  std::vector<std::pair<qsizetype, qsizetype>> signalElements; // [start, end) of each <signal>, in file order
  qsizetype signalsClose = -1;  // the '<' of </signals>
  qsizetype signalsEmpty = -1;  // the '<' of a <signals/> without content
  qsizetype signalsEmptyEnd = -1;
  qsizetype bodyClose = -1;     // the '<' of </body>
  qsizetype headerClose = -1;   // the '<' of </header>
  qsizetype rootEnd = -1;       // just after the <rst ...> start tag
  qsizetype sigtypesClose = -1; // the '<' of </sigtypes>
  bool hasSigtypes = false, declaresDm = false, hasHeader = false;
};

Outcome<Layout, QString> readLayout(const QString &text) {
  Layout layout;
  QXmlStreamReader xml(text);
  std::vector<qsizetype> openSignal; // the start of the <signal> being read
  // Elements inside a <segment> are its text to the document's reader, and
  // so never its signals: they are passed over here too, so that both count
  // the same <signal> elements.
  int insideSegment = 0;
  while (!xml.atEnd()) {
    const auto token = xml.readNext();
    const qsizetype end = xml.characterOffset();
    const QString name = xml.name().toString();
    // The reader's offsets lag behind its tokens; the tag itself is found
    // by its name, which no attribute value can hold ('<' is escaped there).
    auto tagStart = [&](const QString &opening) { return text.lastIndexOf(opening, end - 1); };
    if (token == QXmlStreamReader::StartElement && (insideSegment > 0 || name == QLatin1String("segment"))) {
      ++insideSegment;
      continue;
    }
    if (token == QXmlStreamReader::EndElement && insideSegment > 0) {
      --insideSegment;
      continue;
    }
    if (token == QXmlStreamReader::StartElement) {
      if (name == QLatin1String("signal")) {
        openSignal.push_back(tagStart(QStringLiteral("<signal")));
        layout.signalElements.emplace_back(openSignal.back(), end);
      } else if (name == QLatin1String("signals")) {
        if (text.mid(end - 2, 2) == QLatin1String("/>")) {
          layout.signalsEmpty = tagStart(QStringLiteral("<signals"));
          layout.signalsEmptyEnd = end;
        }
      } else if (name == QLatin1String("rst") && layout.rootEnd < 0) {
        layout.rootEnd = end;
      } else if (name == QLatin1String("header")) {
        layout.hasHeader = true;
      } else if (name == QLatin1String("sigtypes")) {
        layout.hasSigtypes = true;
      } else if (name == QLatin1String("sig") && xml.attributes().value(QLatin1String("type")) == QLatin1String("dm")) {
        layout.declaresDm = true;
      }
    } else if (token == QXmlStreamReader::EndElement) {
      if (name == QLatin1String("signal") && !openSignal.empty()) {
        layout.signalElements.back().second = std::max(layout.signalElements.back().second, end);
        openSignal.pop_back();
      } else if (name == QLatin1String("signals") && layout.signalsEmpty < 0) {
        layout.signalsClose = tagStart(QStringLiteral("</signals"));
      } else if (name == QLatin1String("body")) {
        layout.bodyClose = tagStart(QStringLiteral("</body"));
      } else if (name == QLatin1String("header")) {
        layout.headerClose = tagStart(QStringLiteral("</header"));
      } else if (name == QLatin1String("sigtypes")) {
        layout.sigtypesClose = tagStart(QStringLiteral("</sigtypes"));
      }
    }
  }
  if (xml.hasError())
    return Failure{
        QStringLiteral("line %1, column %2: %3").arg(xml.lineNumber()).arg(xml.columnNumber()).arg(xml.errorString())};
  return layout;
}

QString escaped(QString value) {
  value.replace(QLatin1Char('&'), QLatin1String("&amp;"));
  value.replace(QLatin1Char('<'), QLatin1String("&lt;"));
  value.replace(QLatin1Char('>'), QLatin1String("&gt;"));
  value.replace(QLatin1Char('"'), QLatin1String("&quot;"));
  return value;
}

QString signalXml(const NewSignal &signal) {
  QStringList tokens;
  for (int token : signal.tokens)
    tokens << QString::number(token);
  return QStringLiteral("<signal source=\"%1\" type=\"dm\" subtype=\"dm\" tokens=\"%2\"/>")
      .arg(escaped(signal.source), tokens.join(QLatin1Char(',')));
}

// One change of the text: `length` characters at `at` replaced by `text`.
struct Change {
  qsizetype at, length;
  QString text;
};

class Editor {
public:
  explicit Editor(const QString &text) : m_text(text) {
    m_lineEnd = text.contains(QLatin1String("\r\n")) ? QStringLiteral("\r\n") : QStringLiteral("\n");
    // The document's indentation step: that of its first indented line.
    const auto indented = text.indexOf(QRegularExpression(QStringLiteral("\n[ \t]")));
    m_unit = QStringLiteral("  ");
    if (indented >= 0) {
      if (text[indented + 1] == QLatin1Char('\t')) {
        m_unit = QStringLiteral("\t");
      } else {
        qsizetype spaces = 0;
        while (indented + 1 + spaces < text.size() && text[indented + 1 + spaces] == QLatin1Char(' '))
          ++spaces;
        m_unit = QString(spaces, QLatin1Char(' '));
      }
    }
  }

  qsizetype lineStart(qsizetype at) const { return m_text.lastIndexOf(QLatin1Char('\n'), at - 1) + 1; }
  // Whether only blanks stand between the line's start and `at`.
  bool firstOnLine(qsizetype at) const { return m_text.mid(lineStart(at), at - lineStart(at)).trimmed().isEmpty(); }
  QString indentation(qsizetype at) const { return m_text.mid(lineStart(at), at - lineStart(at)); }
  // The end of the line break after `at`, when only blanks stand before it;
  // -1 otherwise.
  qsizetype afterLineEnd(qsizetype at) const {
    while (at < m_text.size() && (m_text[at] == QLatin1Char(' ') || m_text[at] == QLatin1Char('\t')))
      ++at;
    if (m_text.mid(at, 2) == QLatin1String("\r\n"))
      return at + 2;
    if (at < m_text.size() && m_text[at] == QLatin1Char('\n'))
      return at + 1;
    return -1;
  }

  // Removes the element [start, end), with its line when it stands alone
  // on it; the new elements, if any, go where it stood, each on a line of
  // its own when it stood so.
  void replaceElement(qsizetype start, qsizetype end, const QStringList &replacements) {
    const qsizetype lineEnd = afterLineEnd(end);
    if (firstOnLine(start) && lineEnd >= 0) {
      QString lines;
      for (const QString &element : replacements)
        lines += indentation(start) + element + m_lineEnd;
      m_changes.push_back({lineStart(start), lineEnd - lineStart(start), lines});
    } else {
      m_changes.push_back({start, end - start, replacements.join(QString())});
    }
  }

  // Puts `elements` just after the element [start, end): on lines of their
  // own, indented as it, when it stands alone on its line.
  void insertAfterElement(qsizetype start, qsizetype end, const QStringList &elements) {
    const qsizetype lineEnd = afterLineEnd(end);
    if (firstOnLine(start) && lineEnd >= 0) {
      QString lines;
      for (const QString &element : elements)
        lines += indentation(start) + element + m_lineEnd;
      m_changes.push_back({lineEnd, 0, lines});
    } else {
      m_changes.push_back({end, 0, elements.join(QString())});
    }
  }

  // Puts `children` (elements, each its own line) just before the closing
  // tag at `close`, indented one step deeper than it, or in the same line
  // when the closing tag does not start its line.
  void insertBefore(qsizetype close, const QStringList &children, const QString &childIndent = {}) {
    if (children.isEmpty())
      return;
    if (firstOnLine(close)) {
      const QString indent = childIndent.isNull() ? indentation(close) + m_unit : childIndent;
      QString lines;
      for (const QString &child : children)
        lines += indent + child + m_lineEnd;
      m_changes.push_back({lineStart(close), 0, lines});
    } else {
      m_changes.push_back({close, 0, children.join(QString())});
    }
  }

  // An element holding `children`, as lines indented under `close`'s
  // parent, or in one piece when the closing tag does not start its line.
  QString wrapped(qsizetype close, const QString &name, const QStringList &children) const {
    if (!firstOnLine(close))
      return QStringLiteral("<%1>%2</%1>").arg(name, children.join(QString()));
    const QString inner = indentation(close) + m_unit + m_unit;
    QString text = QStringLiteral("<%1>").arg(name) + m_lineEnd;
    for (const QString &child : children)
      text += inner + child + m_lineEnd;
    return text + indentation(close) + m_unit + QStringLiteral("</%1>").arg(name);
  }

  void add(Change change) { m_changes.push_back(std::move(change)); }

  QString result() {
    // In one pass from the start, however many changes there are; at one
    // offset, what is put in front comes before what replaces the text.
    std::stable_sort(m_changes.begin(), m_changes.end(), [](const Change &a, const Change &b) {
      return a.at != b.at ? a.at < b.at : a.length < b.length;
    });
    QString text;
    text.reserve(m_text.size());
    qsizetype copied = 0;
    for (const Change &change : m_changes) {
      VANDRO_EXPECTS(change.at >= copied, "changes that do not overlap");
      text += QStringView(m_text).mid(copied, change.at - copied);
      text += change.text;
      copied = change.at + change.length;
    }
    text += QStringView(m_text).mid(copied);
    return text;
  }

private:
  const QString &m_text;
  QString m_lineEnd, m_unit;
  std::vector<Change> m_changes;
};

// The document's text, and what gives its bytes back: the byte-order mark
// before it and the encoder of its encoding.
struct DocumentText {
  QByteArray bom;
  QString text;
  QStringEncoder encoder;
};

// The text of the document `bytes` in its encoding: a byte-order mark, else
// the declaration, else UTF-8. Fails when the encoding cannot write, or
// does not give the bytes back.
Outcome<DocumentText, QString> decodeDocument(const QByteArray &bytes) {
  QByteArray bom;
  QStringConverter::Encoding encoding = QStringConverter::Utf8;
  QString declared;
  if (bytes.startsWith("\xEF\xBB\xBF")) {
    bom = bytes.left(3);
  } else if (bytes.startsWith("\xFF\xFE")) {
    bom = bytes.left(2);
    encoding = QStringConverter::Utf16LE;
  } else if (bytes.startsWith("\xFE\xFF")) {
    bom = bytes.left(2);
    encoding = QStringConverter::Utf16BE;
  } else {
    QXmlStreamReader probe(bytes);
    while (!probe.atEnd() && probe.readNext() != QXmlStreamReader::StartElement)
      if (probe.tokenType() == QXmlStreamReader::StartDocument)
        declared = probe.documentEncoding().toString();
  }
  QStringDecoder decoder = declared.isEmpty() ? QStringDecoder(encoding) : QStringDecoder(declared.toLatin1().constData());
  QStringEncoder encoder = declared.isEmpty() ? QStringEncoder(encoding) : QStringEncoder(declared.toLatin1().constData());
  if (!decoder.isValid() || !encoder.isValid())
    return Failure{QStringLiteral("its encoding %1 cannot be written").arg(declared)};
  const QByteArray body = bytes.mid(bom.size());
  QString text = decoder.decode(body);
  if (decoder.hasError() || QByteArray(encoder.encode(text)) != body)
    return Failure{
        QStringLiteral("its bytes are not all text of its encoding, so it cannot be written back unchanged")};
  return DocumentText{std::move(bom), std::move(text), std::move(encoder)};
}

// A signal removed twice would be two changes of one place.
Outcome<void, QString> removedOnce(const std::vector<SignalEdit> &edits) {
  std::vector<int> allRemoved;
  for (const SignalEdit &edit : edits)
    allRemoved.insert(allRemoved.end(), edit.removed.begin(), edit.removed.end());
  std::sort(allRemoved.begin(), allRemoved.end());
  if (const auto twice = std::adjacent_find(allRemoved.begin(), allRemoved.end()); twice != allRemoved.end())
    return Failure{QStringLiteral("its signal number %1 would be removed twice").arg(*twice + 1)};
  return {};
}

// Where the <signal> element at `place` (from 0) stands: [start, end).
Outcome<std::pair<qsizetype, qsizetype>, QString> signalElement(const Layout &layout, int place) {
  if (place < 0 || static_cast<std::size_t>(place) >= layout.signalElements.size())
    return Failure{QStringLiteral("it has no signal number %1").arg(place + 1)};
  return layout.signalElements[static_cast<std::size_t>(place)];
}

// Each edit's removals, and its new signals where a removed or a kept one
// stood. Gives the new signals without a place of their own, in order.
Outcome<QStringList, QString> editElements(const Layout &layout, const std::vector<SignalEdit> &edits, Editor &editor) {
  QStringList appended;
  for (const SignalEdit &edit : edits) {
    QStringList added;
    for (const NewSignal &signal : edit.added)
      added << signalXml(signal);
    std::vector<int> removed = edit.removed;
    std::sort(removed.begin(), removed.end());
    for (std::size_t i = 0; i < removed.size(); ++i) {
      const auto at = signalElement(layout, removed[i]);
      if (!at)
        return Failure{at.error()};
      editor.replaceElement(at->first, at->second, i == 0 ? added : QStringList());
    }
    if (!removed.empty() || added.isEmpty())
      continue;
    if (edit.after) {
      const auto at = signalElement(layout, *edit.after);
      if (!at)
        return Failure{at.error()};
      editor.insertAfterElement(at->first, at->second, added);
    } else {
      appended << added;
    }
  }
  return appended;
}

// The new signals `appended` at the end of the <signals> element; an rs3
// document without one gains it at the end of <body>.
Outcome<void, QString> placeAppended(const Layout &layout, const QStringList &appended, Editor &editor) {
  if (layout.signalsClose >= 0) {
    // Indented as the signals already there.
    QString indent;
    if (!layout.signalElements.empty() && editor.firstOnLine(layout.signalElements.back().first))
      indent = editor.indentation(layout.signalElements.back().first);
    editor.insertBefore(layout.signalsClose, appended, indent);
  } else if (layout.signalsEmpty >= 0) {
    editor.add({layout.signalsEmpty, layout.signalsEmptyEnd - layout.signalsEmpty,
                QStringLiteral("<signals>") + appended.join(QString()) + QStringLiteral("</signals>")});
  } else if (layout.bodyClose >= 0) {
    editor.insertBefore(layout.bodyClose, {editor.wrapped(layout.bodyClose, QStringLiteral("signals"), appended)});
  } else {
    return Failure{QStringLiteral("it has no <body> for its signals")};
  }
  return {};
}

// The declaration of the dm signal type, in <sigtypes>, made in the header
// when missing (and the header, when the document has none).
void declareDm(const Layout &layout, Editor &editor) {
  const QString dm = QStringLiteral("<sig type=\"dm\" subtypes=\"dm\"/>");
  if (layout.sigtypesClose >= 0)
    editor.insertBefore(layout.sigtypesClose, {dm});
  else if (layout.headerClose >= 0)
    editor.insertBefore(layout.headerClose, {editor.wrapped(layout.headerClose, QStringLiteral("sigtypes"), {dm})});
  else if (!layout.hasHeader && layout.rootEnd >= 0)
    editor.add({layout.rootEnd, 0, QStringLiteral("<header><sigtypes>") + dm + QStringLiteral("</sigtypes></header>")});
}

} // namespace

Outcome<QByteArray, QString> editSignals(const QByteArray &bytes, const std::vector<SignalEdit> &edits) {
  auto document = decodeDocument(bytes);
  if (!document)
    return Failure{document.error()};
  const auto layout = readLayout(document->text);
  if (!layout)
    return Failure{layout.error()};
  if (const auto once = removedOnce(edits); !once)
    return Failure{once.error()};
  Editor editor(document->text);
  const auto appended = editElements(*layout, edits, editor);
  if (!appended)
    return Failure{appended.error()};
  if (!appended->isEmpty())
    if (const auto placed = placeAppended(*layout, *appended, editor); !placed)
      return Failure{placed.error()};
  const bool adds = std::any_of(edits.begin(), edits.end(), [](const SignalEdit &edit) { return !edit.added.empty(); });
  if (adds && !layout->declaresDm)
    declareDm(*layout, editor);
  return document->bom + QByteArray(document->encoder.encode(editor.result()));
}

} // namespace vandro::rst
