// Texts of Qt in test messages: QString as gtest prints it, and as a
// std::string for comparisons whose failures should read plainly.
#pragma once

#include <QString>
#include <ostream>
#include <string>

// gtest prints a QString through this (found by its argument's namespace).
inline void PrintTo(const QString &text, std::ostream *out) { *out << '"' << text.toStdString() << '"'; }

namespace vandro::testing {

inline std::string str(const QString &text) { return text.toStdString(); }

} // namespace vandro::testing
