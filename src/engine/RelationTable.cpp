#include "RelationTable.h"

namespace vandro::engine {

std::vector<FieldDescription> relationTableFields() {
  auto text = [](const char *name, int size) {
    return FieldDescription{name, FieldKind::String, size, false, false, {}};
  };
  auto integer = [](const char *name) {
    return FieldDescription{name, FieldKind::Integer, 0, false, false, {}};
  };
  auto memo = [](const char *name) {
    return FieldDescription{name, FieldKind::Memo, 0, false, false, {}};
  };
  FieldDescription id = integer("Id");
  id.required = true;
  return {id,
          text("From", 60),
          text("Relation", 30),
          text("Extended", 10),
          text("Embedded", 10),
          text("Volitional", 10),
          text("Order", 10),
          memo("Span1"),
          memo("Span2"),
          integer("L1"),
          integer("H1"),
          integer("L2"),
          integer("H2"),
          integer("Segments_distance"),
          text("Marker1", 60),
          text("Position1", 20),
          text("Marker2", 60),
          text("Position2", 20)};
}

} // namespace vandro::engine
