#pragma once

#include "models/QuickPasteSession.h"
#include "ui/common/DeferredSourceIcons.h"
#include "ui/common/HistoryRowPainter.h"
#include "ui/common/SourceApplicationIconCache.h"

#include <QAbstractScrollArea>
#include <QHash>
#include <QTimer>
#include <QUuid>
#include <QVariantAnimation>
#include <chrono>
#include <functional>
#include <optional>

class HistoryThumbnailCache;

// The popup's rows: plates, a highlight that springs to the selected row one step at a time, and the
// rows themselves, painted by the history list's row painter in the quick paste layout. Only the rows
// in view are painted, so a session of any length costs the same per selection step.
class QuickPasteList : public QAbstractScrollArea {
    Q_OBJECT

public:
    static constexpr double springResponse = 0.26;
    static constexpr double springDamping = 0.72;
    static constexpr qreal unselectedScale = 0.94;
    static constexpr std::chrono::milliseconds timeRefreshInterval{60000};

    // The caches default to the shared ones; without an icon cache rows show the kind symbol.
    explicit QuickPasteList(HistoryThumbnailCache* thumbnails = nullptr,
                            SourceApplicationIconCache* icons = nullptr, QWidget* parent = nullptr);
    ~QuickPasteList() override;

    // New candidates are laid out afresh; a moved selection is scrolled into view and highlighted.
    void setSession(const std::optional<QuickPasteSession>& session);

    int highlightedIndex() const { return m_highlightedIndex; }
    int count() const { return int(m_candidates.size()); }
    const ClipboardEntry& candidate(int index) const { return m_candidates.at(index); }
    // Reports the candidate's entry through onSelect, as a click on its row does.
    void select(int index);
    // A candidate's row within the viewport, at full scale.
    QRect visualRect(int index) const;
    // The candidate whose rounded row holds a viewport position, or -1.
    int indexAt(const QPoint& position) const;

    // A row was clicked: its entry's id.
    std::function<void(const QUuid&)> onSelect;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    struct Thumbnail {
        HistoryImagePreview::State state = HistoryImagePreview::State::loading;
        QImage image;
        double aspectRatio = HistoryImagePreview::initialAspectRatio;
        bool requested = false;
    };

    void moveHighlight(int index, bool animated);
    void scrollToRow(int index);
    void updateScrollRange();
    void setHovered(std::optional<QUuid> id);
    void retranslate();
    qreal scaleOf(int index) const;
    QRectF highlightRect() const;
    HistoryRowImage image(const ClipboardEntry& entry);
    std::optional<QIcon> sourceIcon(const ClipboardEntry& entry);
    const HistoryRowTexts& texts(const ClipboardEntry& entry);
    void forgetRowAccessibles();

    HistoryRowPainter m_painter{HistoryRowLayout::quickPaste};
    HistoryThumbnailCache& m_thumbnailCache;
    DeferredSourceIcons m_icons;
    QList<ClipboardEntry> m_candidates;
    QList<QRect> m_rowFrames;
    int m_highlightedIndex = 0;
    // The row the highlight is leaving and where it was when the step began.
    int m_previousIndex = -1;
    QRectF m_highlightFrom;
    QVariantAnimation m_spring;
    std::optional<QUuid> m_hoveredID;
    int m_pressedIndex = -1;
    // By fingerprint.
    QHash<QString, Thumbnail> m_thumbnails;
    // Set while the cache is asked: a thumbnail it holds arrives during the paint.
    bool m_requesting = false;
    // Relative times move on while the popup stays open.
    QTimer m_timeRefresh;
    QTimer m_spinnerTimer;
    int m_spinnerStep = 0;
    QHash<QUuid, HistoryRowTexts> m_texts;

    friend class QuickPasteListAccessible;
    // The rows as assistive technologies have asked for them, by index; they go with the candidates.
    mutable QHash<int, unsigned> m_rowAccessibles;
};
