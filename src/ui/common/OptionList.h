#pragma once

#include <QList>
#include <QPixmap>
#include <QWidget>
#include <functional>

class QAbstractButton;

// A pop-up list of options opened from a control: one row per option with an optional icon, its name
// and a checkmark on the selected one, and a highlight that the pointer and the arrow keys move. It
// only shows state and reports what the user asks for; the control that opens it owns the state.
// Names are asked for again whenever the interface language changes.
class OptionList : public QWidget {
    Q_OBJECT

public:
    using Name = std::function<QString(int index)>;
    // The icon of an option at a size, device pixel ratio and colour; absent for a list without icons.
    using Icon = std::function<QPixmap(int index, int size, qreal ratio, const QColor& colour)>;

    // anchor: the control it opens from; also its owner.
    OptionList(int count, Name name, Icon icon, QWidget* anchor);

    int count() const { return int(m_rows.size()); }
    // -1 for none.
    int selectedIndex() const { return m_selectedIndex; }
    void setSelectedIndex(int index);
    int highlightedIndex() const { return m_highlightedIndex; }
    void setHighlightedIndex(int index);
    QAbstractButton* optionButton(int index) const;

    // Which of the anchor's edges the list lines up with: Qt::AlignLeft (the default) or Qt::AlignRight.
    void setAnchorEdge(Qt::AlignmentFlag edge) { m_anchorEdge = edge; }
    // Shows it below the anchor, or above when the screen has no room below.
    void popUp();

Q_SIGNALS:
    void highlightRequested(int index);
    void optionChosen(int index);
    void dismissed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void retranslate();
    void updateRows();

    QWidget* m_anchor;
    Name m_name;
    QList<QAbstractButton*> m_rows;
    int m_selectedIndex = -1;
    int m_highlightedIndex = 0;
    Qt::AlignmentFlag m_anchorEdge = Qt::AlignLeft;
};
