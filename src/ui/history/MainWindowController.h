#pragma once

#include <QByteArray>
#include <QObject>
#include <functional>
#include <memory>

class AppModel;
class HistorySplitController;
class Preferences;
class QMainWindow;
class QMenuBar;
class QWidget;
class WindowContentController;

// Owns the history window: builds it once, hides it instead of closing it, and brings it forward.
class MainWindowController : public QObject {
    Q_OBJECT

public:
    // The detail pane is built by the caller, so the window does not depend on the detail views.
    MainWindowController(AppModel& model, Preferences& preferences, QWidget* detail,
                         std::function<void()> openSettings, QObject* parent = nullptr);
    ~MainWindowController() override;

    // The history window; it lives as long as the controller.
    QMainWindow* window() const;
    // Lays out a hidden window first, then shows it de-minimised, raised and active.
    void present();
    // Installs the application's menus in the window; the window takes ownership and drops the previous
    // bar.
    void setMenuBar(QMenuBar* menuBar);

    WindowContentController* contentController() const { return m_content; }
    HistorySplitController* splitController() const { return m_split; }

    // Where the window's frame is remembered between runs.
    static const QString frameAutosaveName;

private:
    class HistoryWindow;

    void placeWindow();
    void saveFrame();

    Preferences& m_preferences;
    std::unique_ptr<HistoryWindow> m_window;
    WindowContentController* m_content = nullptr;
    HistorySplitController* m_split = nullptr;
    QByteArray m_savedFrame;
};
