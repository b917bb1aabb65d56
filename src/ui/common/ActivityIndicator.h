#pragma once

#include <QColor>
#include <QTimer>
#include <QWidget>

class QPainter;

// An indeterminate spinner in the secondary colour: spokes whose shade trails the current step.
class ActivityIndicator : public QWidget {
    Q_OBJECT

public:
    static constexpr int spokes = 8;
    static constexpr int stepInterval = 100;

    explicit ActivityIndicator(int size = 20, QWidget* parent = nullptr);

    // For views that draw their own: one frame of the spinner centred on centre.
    static void paint(QPainter& painter, QPointF centre, qreal size, const QColor& colour, int step);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    int m_size;
    int m_step = 0;
    QTimer m_timer;
};
