#pragma once

#include "platform/MimeTypeMap.h"

// The X11 side of the clipboard's type map: what older X clients ask for on top of the MIME types.
namespace X11TargetMap {

// The shared targets, plus plain text as Latin-1 STRING and TEXT, as Qt offers it.
QList<std::pair<QByteArray, QByteArray>> writeTargets(const QList<PasteboardItemSnapshot>& items);

} // namespace X11TargetMap
