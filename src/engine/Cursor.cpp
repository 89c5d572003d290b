#include "Cursor.h"

namespace vandro::engine {

Record Cursor::blankRecord() const {
  Record record;
  record.values.resize(description().fields.size());
  return record;
}

} // namespace vandro::engine
