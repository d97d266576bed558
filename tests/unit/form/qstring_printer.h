#ifndef OSTRELSCAN_TESTS_QSTRING_PRINTER_H
#define OSTRELSCAN_TESTS_QSTRING_PRINTER_H

#include <QString>

#include <ostream>

/// Lets GoogleTest print QStrings (and lists of them) as text in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

#endif
