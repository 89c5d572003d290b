#include "MarkerTexts.h"

#include "TField.h"
#include "TTable.h"
#include "corpus/MarkerNotation.h"
#include "corpus/RelationTable.h"
#include "engine/MessageText.h"

namespace vandro::store {

namespace {

namespace column = corpus::column;
constexpr const char *kFields[] = {corpus::kRelationColumnNames[column::Marker1],
                                   corpus::kRelationColumnNames[column::Position1],
                                   corpus::kRelationColumnNames[column::Marker2],
                                   corpus::kRelationColumnNames[column::Position2]};

// Whether span's marker and position say the same as the other pair.
bool sameSpan(const QString &marker, const QString &position, const QString &otherMarker,
              const QString &otherPosition) {
  if (isNoMarker(marker) || isNoMarker(otherMarker))
    return isNoMarker(marker) && isNoMarker(otherMarker);
  return canonicalMarker(marker) == canonicalMarker(otherMarker) && position == otherPosition;
}

QString shown(const QString &text) { return shownText(text); }

QString spanText(int span, const QString &marker, const QString &position) {
  const QString name = QStringLiteral("Span%1 ").arg(span);
  if (isNoMarker(marker))
    return name + QStringLiteral("no marker");
  return name + shown(marker) +
         (position.isEmpty() ? QStringLiteral(" without a position") : QStringLiteral(" at ") + shown(position));
}

} // namespace

bool isNoMarker(const QString &marker) { return corpus::isNoMarker(marker.toStdString()); }

QString shownText(const QString &text) { return QString::fromStdString(engine::shownText(text.toStdString())); }

QString canonicalMarker(const QString &marker) {
  return QString::fromStdString(corpus::canonicalMarker(marker.toStdString()));
}

MarkerTexts MarkerTexts::current(const TTable &table) {
  QString texts[4];
  for (int i = 0; i < 4; ++i)
    texts[i] = table.LookupField(QString::fromLatin1(kFields[i])).AsString();
  return {texts[0], texts[1], texts[2], texts[3]};
}

MarkerTexts MarkerTexts::stored(const TTable &table) {
  QString texts[4];
  for (int i = 0; i < 4; ++i)
    texts[i] = table.LookupField(QString::fromLatin1(kFields[i])).StoredAsString();
  return {texts[0], texts[1], texts[2], texts[3]};
}

bool MarkerTexts::sameAnnotation(const MarkerTexts &other) const {
  return sameSpan(marker1, position1, other.marker1, other.position1) &&
         sameSpan(marker2, position2, other.marker2, other.position2);
}

QString MarkerTexts::described() const {
  return spanText(1, marker1, position1) + QStringLiteral("; ") + spanText(2, marker2, position2);
}

} // namespace vandro::store
