// Texts crossing the library boundary, as Qt's strings.
#pragma once

#include <QByteArray>
#include <QString>

#include "ui_engine_common/text_buffer.h"

namespace tw::engine {

UiText* NewTextBuffer(const QString& text);

// A byte length of 2 or less reads as empty, as does a null buffer.
QString ReadText(const UiText* text);

// The raw bytes of a data-valued buffer (an image, say), same emptiness rule.
QByteArray ReadBytes(const UiText* text);

}  // namespace tw::engine
