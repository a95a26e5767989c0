// Texts crossing the library boundary: UiText buffers of UTF-16 code units.
#pragma once

#include <QByteArray>
#include <QString>

#include "ui_engine/engine_abi.h"

namespace tw::engine {

// A new buffer owned by whoever receives it; released with ReleaseTextBuffer.
UiText* NewTextBuffer(const uint16_t* units, int32_t unitCount);
UiText* NewTextBuffer(const QString& text);

// A byte length of 2 or less reads as empty, as does a null buffer.
QString ReadText(const UiText* text);

// The raw bytes of a data-valued buffer (an image, say), same emptiness rule.
QByteArray ReadBytes(const UiText* text);

}  // namespace tw::engine
