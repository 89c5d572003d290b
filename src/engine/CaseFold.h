// Letter case set aside, the same way on every driver: a text's letters in
// the lower case of their upper case (Unicode's full mappings, in ICU's root
// locale), final sigma read as sigma. So "STRASSE" and "straße", "ΣΟΦΊΑΣ"
// and "σοφίας" compare equal; the server spells the same steps in its own
// SQL (its ICU collation "und-x-icu").
#pragma once

#include <string>
#include <string_view>

namespace vandro::engine {

// The folded text of the UTF-8 `text`; a byte that is no UTF-8 reads as
// U+FFFD, as a text field shows it.
std::string foldedCase(std::string_view text);

} // namespace vandro::engine
