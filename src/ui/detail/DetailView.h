#pragma once

#include <QUuid>
#include <QWidget>

class AppModel;
class ClipboardEmptyState;
class EntryPreview;
class ErrorBanner;
class HistoryButton;
class QFrame;
class QLabel;
class QVBoxLayout;

// The right pane of the history window: the current error, the selected entry and the footer with
// the latest notice and the copy-again button.
class DetailView : public QWidget {
    Q_OBJECT

public:
    explicit DetailView(AppModel& model, QWidget* parent = nullptr);

    ErrorBanner* errorBanner() const { return m_errorBanner; }
    EntryPreview* preview() const { return m_preview; }
    ClipboardEmptyState* emptyState() const { return m_empty; }
    HistoryButton* copyAgainButton() const { return m_copyAgain; }
    QLabel* activityLabel() const { return m_activity; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void updateError();
    void updateBody();
    void updateFooter();
    void retranslate();

    AppModel& m_model;
    QVBoxLayout* m_layout = nullptr;
    ErrorBanner* m_errorBanner = nullptr;
    QFrame* m_errorDivider = nullptr;
    QWidget* m_blank = nullptr;
    ClipboardEmptyState* m_empty = nullptr;
    EntryPreview* m_preview = nullptr;
    QUuid m_previewId;
    QLabel* m_activity = nullptr;
    HistoryButton* m_copyAgain = nullptr;
};
