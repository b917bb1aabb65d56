#pragma once

#include "ui/common/HistoryButtonStyle.h"

#include <QAbstractButton>

// A button drawn in one of the shared HistoryButtonStyle kinds: an optional symbol tinted with the
// label colour, then the text, centred. It shows keyboard focus through its fill instead of the
// platform's focus ring (or a ring of its own where the fill does not change), takes focus only from
// the keyboard and never while disabled, and activates on Space, Return and Enter. Its accessible name
// is its text unless one is set.
class HistoryButton : public QAbstractButton {
    Q_OBJECT

public:
    explicit HistoryButton(HistoryButtonStyle::Kind kind, QWidget* parent = nullptr);
    HistoryButton(HistoryButtonStyle::Kind kind, const QString& text, QWidget* parent = nullptr);

    HistoryButtonStyle::Kind kind() const { return m_kind; }
    void setKind(HistoryButtonStyle::Kind kind);

    // A name from Symbols, or empty for none.
    QString symbol() const { return m_symbol; }
    void setSymbol(const QString& name);
    // The symbol's square in logical pixels (16 unless set).
    int symbolSize() const { return m_symbolSize; }
    void setSymbolSize(int size);

    // Whether the pointer is over the button's shape (not merely its rectangle).
    bool isHovered() const { return m_hovered; }
    HistoryButtonStyle::State state() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool hitButton(const QPoint& position) const override;

private:
    QPainterPath shape() const;
    void setHovered(bool hovered);

    HistoryButtonStyle::Kind m_kind;
    QString m_symbol;
    int m_symbolSize = 16;
    bool m_hovered = false;
};
