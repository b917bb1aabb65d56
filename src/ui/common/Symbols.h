#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QString>
#include <QStringList>

// The project's monochrome symbols (":/icons/<name>.svg"), tinted with one colour when drawn.
namespace Symbols {

QString resourcePath(const QString& name);
bool exists(const QString& name);
// Every bundled symbol name, sorted.
QStringList names();

// The symbol filling a square of `size` logical pixels at the device pixel ratio, every opaque pixel
// in `colour` (its alpha included). Null for an unknown name or an empty size. Cached, so it is cheap
// to call from paint events.
QPixmap pixmap(const QString& name, int size, qreal devicePixelRatio, const QColor& colour);
// The same without the cache, for off-screen use.
QImage image(const QString& name, int size, qreal devicePixelRatio, const QColor& colour);
// An icon for menus and the tray, rendered at whatever size they ask for.
QIcon icon(const QString& name, const QColor& colour);

} // namespace Symbols
