#pragma once

#include <QColor>
#include <QPalette>

#include <cstdint>

// Colour values as the program stores them: red in the low byte, then green, then blue. A value with the high bit
// set names a system colour by the index in its low byte, which maps to the matching palette role.
QColor colorFromValue(std::int64_t value, const QPalette& palette = QPalette());
bool isSystemColorValue(std::int64_t value);
