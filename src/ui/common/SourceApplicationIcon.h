#pragma once

#include "models/ClipboardEntry.h"
#include "ui/common/SourceApplicationIconCache.h"

#include <QColor>
#include <QIcon>
#include <QWidget>
#include <optional>

class QPainter;

// The icon of the application an entry came from, else the entry's kind symbol. Decorative: the row
// names the application in words, so assistive technologies skip it.
class SourceApplicationIcon : public QWidget {
    Q_OBJECT

public:
    static constexpr int side = 14;
    static constexpr int kindIconSize = 11;

    // cache defaults to the shared one; without any, the kind symbol is shown.
    explicit SourceApplicationIcon(const ClipboardEntry& entry, QWidget* parent = nullptr,
                                   SourceApplicationIconCache* cache = nullptr);

    void setEntry(const ClipboardEntry& entry);
    const std::optional<QIcon>& icon() const { return m_icon; }
    // The kind symbol's colour; without one it takes the palette's foreground role, like the text
    // beside it.
    void setColour(std::optional<QColor> colour);

    QSize sizeHint() const override;

    // Draws the icon, or the kind symbol in kindColour without one, centred in frame. Shared with the
    // list rows, which paint it without a widget each.
    static void paint(QPainter& painter, const QRect& frame, const QIcon* icon, ClipboardKind kind,
                      const QColor& kindColour, qreal devicePixelRatio);

Q_SIGNALS:
    void iconChanged();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void scheduleLookUp();
    void lookUp();

    SourceApplicationIdentity m_identity;
    ClipboardKind m_kind;
    SourceApplicationIconCache* m_cache;
    std::optional<QIcon> m_icon;
    std::optional<QColor> m_colour;
    bool m_lookUpScheduled = false;
};
