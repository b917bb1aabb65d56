#include "platform/x11/X11TargetMap.h"

#include <QString>
#include <algorithm>

namespace X11TargetMap {

QList<std::pair<QByteArray, QByteArray>> writeTargets(const QList<PasteboardItemSnapshot>& items)
{
    QList<std::pair<QByteArray, QByteArray>> targets = MimeTypeMap::writeTargets(items);
    // Older clients ask for text only as STRING or TEXT, which are Latin-1. Qt offers both beside
    // text/plain and turns what Latin-1 cannot hold into '?': a copy we serve ourselves gives the same,
    // so that such a client pastes a kept copy as it pastes one Copy Again wrote, not nothing at all.
    const auto plain = std::find_if(targets.cbegin(), targets.cend(),
                                    [](const auto& target) { return target.first == "text/plain"; });
    if (plain != targets.cend()) {
        const QByteArray latin1 = QString::fromUtf8(plain->second).toLatin1();
        targets.append({QByteArrayLiteral("STRING"), latin1});
        targets.append({QByteArrayLiteral("TEXT"), latin1});
    }
    return targets;
}

} // namespace X11TargetMap
