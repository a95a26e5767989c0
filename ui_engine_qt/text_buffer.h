// Texts crossing the library boundary, as Qt's strings.
#pragma once

#include <QString>

#include "ui_engine_common/text_buffer.h"

namespace tw::engine {

inline UiText* NewTextBuffer(const QString& text) { return NewTextBuffer(text.toStdU16String()); }

inline QString ReadText(const UiText* text) { return QString::fromStdU16String(ReadUnits(text)); }

}  // namespace tw::engine
