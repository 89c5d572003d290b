#include "Result.h"

namespace vandro::engine {

namespace {

#define VANDRO_MESSAGE_FITS(name, value, message) static_assert(sizeof(message) - 1 <= 128, #name "'s message");
VANDRO_RESULT_CODES(VANDRO_MESSAGE_FITS)
#undef VANDRO_MESSAGE_FITS

} // namespace

std::string_view messageFor(Result result) {
  switch (result) {
#define VANDRO_MESSAGE_CASE(name, value, message)                                                                      \
  case code::name:                                                                                                     \
    return message;
    VANDRO_RESULT_CODES(VANDRO_MESSAGE_CASE)
#undef VANDRO_MESSAGE_CASE
  default: return {};
  }
}

} // namespace vandro::engine
