#pragma once

#include "models/ClipboardKind.h"

#include <QColor>
#include <QPixmap>
#include <QWidget>
#include <optional>

// The symbol of an entry's kind, or of all kinds when there is none. The text glyph is drawn from
// paths, so it looks the same in every interface language. Tooltips and accessible names are the
// caller's: it knows which words fit its row.
class ClipboardKindIcon : public QWidget {
    Q_OBJECT

public:
    explicit ClipboardKindIcon(std::optional<ClipboardKind> kind, int size, QWidget* parent = nullptr);

    static QString symbolName(std::optional<ClipboardKind> kind);
    static QPixmap pixmap(std::optional<ClipboardKind> kind, int size, qreal devicePixelRatio,
                          const QColor& colour);

    std::optional<ClipboardKind> kind() const { return m_kind; }
    void setKind(std::optional<ClipboardKind> kind);
    // The symbol's square, in logical pixels; the widget may be larger and centres it.
    int size() const { return m_size; }
    void setSize(int size);
    // Without one the symbol takes the palette's foreground role, so it follows the theme.
    std::optional<QColor> colour() const { return m_colour; }
    void setColour(std::optional<QColor> colour);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::optional<ClipboardKind> m_kind;
    int m_size;
    std::optional<QColor> m_colour;
};
