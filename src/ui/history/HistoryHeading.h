#pragma once

#include <QLabel>

// A one-line heading that always fits its width: when the text is too wide it first gives up some
// size, down to smallestPointSize, and then elides. The whole text stays its accessible name and
// shows as a tooltip while cut.
class HistoryHeading : public QLabel {
    Q_OBJECT

public:
    static constexpr qreal smallestPointSize = 13;

    explicit HistoryHeading(QWidget* parent = nullptr);

    // What is drawn at the current width.
    QFont shownFont() const;
    QString shownText() const;

    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};
