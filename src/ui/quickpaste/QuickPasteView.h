#pragma once

#include <QUuid>
#include <QWidget>
#include <functional>

class HistoryThumbnailCache;
class PopupModel;
class QuickPasteList;
class SourceApplicationIconCache;

// The popup's content on its rounded background: where the paste goes and the selection's place in
// the list, the rows (or a note that nothing was copied yet), and the keys that drive it. Every text
// is looked up when drawn, so a language change only redraws.
class QuickPasteView : public QWidget {
    Q_OBJECT

public:
    static constexpr qreal headerPointSize = 11;
    static constexpr qreal emptyPointSize = 13;
    static constexpr int emptyPadding = 24;

    // model must outlive the view; the caches default to the shared ones.
    explicit QuickPasteView(PopupModel& model, HistoryThumbnailCache* thumbnails = nullptr,
                            SourceApplicationIconCache* icons = nullptr, QWidget* parent = nullptr);

    QuickPasteList& list() const { return *m_list; }
    // Without a compositor the window cannot be see-through: it is cut to its rounded shape instead.
    void setShapedByMask(bool shaped);

    // A row was clicked: its entry's id.
    std::function<void(const QUuid&)> onSelect;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void refresh();
    void updateMask();
    void layoutList();

    PopupModel& m_model;
    QuickPasteList* m_list;
    bool m_shapedByMask = false;
};
