#pragma once

#include "app/QuickPastePopup.h"
#include "ui/quickpaste/PopupModel.h"

#include <QObject>
#include <memory>

class HistoryThumbnailCache;
class QuickPasteView;
class SourceApplicationIconCache;

// The quick paste popup on screen: a window the window manager never sees (override-redirect), that
// never takes the keyboard focus, so the application being typed in stays active and keeps its field.
// Its native window is made once, here, and reused for every chord.
class QuickPastePanelController : public QObject, public QuickPastePopup {
    Q_OBJECT

public:
    // The caches default to the shared ones.
    explicit QuickPastePanelController(HistoryThumbnailCache* thumbnails = nullptr,
                                       SourceApplicationIconCache* icons = nullptr,
                                       QObject* parent = nullptr);
    ~QuickPastePanelController() override;

    // Centred on the screen under the pointer when it appears; while visible only the session is
    // published again.
    void show(const QuickPasteSession& session, const QString& applicationName) override;
    void hide() override;
    std::optional<QRectF> eventFrame() const override;

    PopupModel& state() { return m_state; }
    QuickPasteView& panel() const { return *m_panel; }

private:
    PopupModel m_state;
    std::unique_ptr<QuickPasteView> m_panel;
};
