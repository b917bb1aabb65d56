#pragma once

#include "models/ClipboardEntry.h"
#include "ui/common/ActivityIndicator.h"
#include "ui/common/HistoryThumbnailCache.h"

#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <optional>

class QPainter;

// An image entry's thumbnail in a history or quick paste row: a spinner while it decodes, the image
// once it has, or a note when it cannot be shown.
class HistoryImagePreview : public QWidget {
    Q_OBJECT

public:
    enum class State { loading, thumbnail, failed };
    Q_ENUM(State)

    static constexpr double initialAspectRatio = 4.0 / 3.0;
    static constexpr int minimumPreviewHeight = 64;
    static constexpr int maximumPreviewHeight = 280;
    static constexpr int cornerRadius = 10;
    static constexpr int horizontalPadding = 26;
    static constexpr int verticalPadding = 2;
    static constexpr int spinnerSpokes = ActivityIndicator::spokes;
    static constexpr int spinnerInterval = ActivityIndicator::stepInterval;

    // Without fixedHeight the preview is as tall as the image's shape asks, within the limits above.
    // cache defaults to the shared one.
    explicit HistoryImagePreview(const ClipboardEntry& entry, std::optional<int> fixedHeight = std::nullopt,
                                 QWidget* parent = nullptr, HistoryThumbnailCache* cache = nullptr);

    const ClipboardEntry& entry() const { return m_entry; }
    // For a reused row: a result still due for the previous entry is dropped.
    void setEntry(const ClipboardEntry& entry);
    std::optional<int> fixedHeight() const { return m_fixedHeight; }
    State state() const;
    const std::optional<HistoryThumbnail>& thumbnail() const { return m_thumbnail; }

    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // Shared with the list rows, which paint previews without a widget each.
    static int heightForWidth(int width, double aspectRatio);
    // Draws the preview of state into rect. scaled keeps the thumbnail as last scaled for drawing, so
    // repaints at the same size cost a blit.
    static void paint(QPainter& painter, const QRect& rect, State state, const QImage& thumbnail,
                      QPixmap& scaled, int spinnerStep, const QPalette& palette, const QFont& font,
                      qreal devicePixelRatio);

Q_SIGNALS:
    void stateChanged(HistoryImagePreview::State state);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void load();
    void apply(std::optional<HistoryThumbnail> thumbnail);
    void fail();
    void updateAccessibleName();
    void updateSpinner();

    ClipboardEntry m_entry;
    std::optional<int> m_fixedHeight;
    HistoryThumbnailCache& m_cache;
    // Owns the pending request; deleting it drops the result.
    QObject* m_request = nullptr;
    std::optional<HistoryThumbnail> m_thumbnail;
    double m_aspectRatio = initialAspectRatio;
    bool m_failed = false;
    // The thumbnail scaled for the current size, made while painting.
    QPixmap m_scaled;
    QTimer m_spinnerTimer;
    int m_spinnerStep = 0;
};
