#pragma once

#include "ui/settings/SettingsView.h"

#include <QObject>
#include <memory>

class QWidget;

// The settings window: 500 × 500, closable but neither resizable nor minimisable, centred when first
// shown, titled in the current interface language. Closing only hides it, so the next present() shows
// the same window with its state.
class SettingsWindowController final : public QObject {
    Q_OBJECT

public:
    static constexpr QSize contentSize{500, 500};

    explicit SettingsWindowController(SettingsView::Services services, QObject* parent = nullptr);
    ~SettingsWindowController() override;

    QWidget* window() const;
    SettingsView* view() const { return m_view; }

    // Shows the window (un-minimised), raises it and gives it the focus.
    void present();

private:
    class SettingsWindow;

    void retranslate();

    AppLocalization& m_localization;
    std::unique_ptr<SettingsWindow> m_window;
    SettingsView* m_view = nullptr;
    QLabel* m_titleLabel = nullptr;
};
