// GoogleTest prints a QString in a failure message as its text instead of its bytes.
#pragma once

#include <QString>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << text.toStdString();
}
