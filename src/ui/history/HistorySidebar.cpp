#include "ui/history/HistorySidebar.h"

#include "app/AppModel.h"
#include "l10n/Localization.h"
#include "services/DelayTimer.h"
#include "ui/common/ActivityIndicator.h"
#include "ui/common/ClipboardEmptyState.h"
#include "ui/common/HistoryAppearance.h"
#include "ui/common/HistoryButton.h"
#include "ui/common/SecondaryLabel.h"
#include "ui/history/ClearHistoryDialog.h"
#include "ui/history/HistoryFilterMenu.h"
#include "ui/history/HistoryHeading.h"
#include "ui/history/HistoryListModel.h"
#include "ui/history/HistoryListView.h"
#include "ui/history/HistorySearchField.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QShortcut>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

QFont sized(QFont font, qreal points, QFont::Weight weight = QFont::Normal)
{
    font.setPointSizeF(points);
    font.setWeight(weight);
    return font;
}

HistoryButton* headerButton(const QString& symbol, QWidget* parent)
{
    auto* button = new HistoryButton(HistoryButtonStyle::Kind::icon, parent);
    button->setSymbol(symbol);
    button->setSymbolSize(16);
    return button;
}

} // namespace

HistorySidebar::HistorySidebar(AppModel& model, std::function<void()> openSettings, QWidget* parent,
                               std::unique_ptr<DelayTimer> loadingDelay,
                               std::unique_ptr<DelayTimer> refreshTimer)
    : QWidget(parent), m_model(model), m_openSettings(std::move(openSettings)),
      m_loadingDelay(loadingDelay ? std::move(loadingDelay) : std::make_unique<QtDelayTimer>())
{
    setFont(sized(font(), 13));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(16, 10, 16, 8);
    header->setSpacing(8);
    m_heading = new HistoryHeading(this);
    m_heading->setFont(sized(font(), 16, QFont::Medium));
    header->addWidget(m_heading, 1);
    m_settingsButton = headerButton(QStringLiteral("gearshape"), this);
    // Without settings to open the gear does nothing, so it is neither enabled nor a Tab stop.
    m_settingsButton->setEnabled(static_cast<bool>(m_openSettings));
    header->addWidget(m_settingsButton);
    m_clearButton = headerButton(QStringLiteral("trash"), this);
    header->addWidget(m_clearButton);
    layout->addLayout(header);
    connect(m_settingsButton, &HistoryButton::clicked, this, [this] {
        if (m_openSettings)
            m_openSettings();
    });
    connect(m_clearButton, &HistoryButton::clicked, this, &HistorySidebar::confirmClear);

    auto* controls = new QVBoxLayout;
    controls->setContentsMargins(16, 0, 16, 4);
    controls->setSpacing(8);
    m_searchField = new HistorySearchField(this);
    controls->addWidget(m_searchField);
    auto* filterRow = new QHBoxLayout;
    filterRow->setSpacing(8);
    m_filterMenu = new HistoryFilterMenu(this);
    filterRow->addWidget(m_filterMenu, 0, Qt::AlignVCenter);
    filterRow->addStretch(1);
    m_count = new SecondaryLabel(this);
    m_count->setFont(sized(font(), 12));
    m_count->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    filterRow->addWidget(m_count, 0, Qt::AlignVCenter);
    controls->addLayout(filterRow);
    layout->addLayout(controls);

    m_area = new QStackedWidget(this);
    m_loadingPage = new QWidget(m_area);
    auto* loadingLayout = new QVBoxLayout(m_loadingPage);
    loadingLayout->addStretch(1);
    m_spinner = new ActivityIndicator(20, m_loadingPage);
    loadingLayout->addWidget(m_spinner, 0, Qt::AlignHCenter);
    m_loadingLabel = new SecondaryLabel(m_loadingPage);
    m_loadingLabel->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    loadingLayout->addWidget(m_loadingLabel);
    loadingLayout->addStretch(1);
    m_unavailable = new ClipboardEmptyState(QString(), m_area);
    m_list = new HistoryListView(m_model, m_area, std::move(refreshTimer));
    m_empty = new ClipboardEmptyState(QString(), m_area);
    for (QWidget* page : {m_loadingPage, static_cast<QWidget*>(m_unavailable), static_cast<QWidget*>(m_list),
                          static_cast<QWidget*>(m_empty)})
        m_area->addWidget(page);
    layout->addWidget(m_area, 1);

    auto* paused = new SecondaryLabel(this);
    paused->setFont(sized(font(), 12));
    paused->setSymbol(QStringLiteral("pause.circle"));
    paused->setContentsMargins(10, 10, 10, 10);
    m_paused = paused;
    layout->addWidget(m_paused);

    // The search field and the model's query mirror each other; equal values stop the echo.
    connect(m_searchField, &HistorySearchField::textChanged, this, [this](const QString& text) {
        if (m_model.query() != text)
            m_model.setQuery(text);
    });
    connect(&m_model, &AppModel::queryChanged, this, [this] {
        if (m_searchField->text() != m_model.query())
            m_searchField->setText(m_model.query());
        m_model.reconcileSelection();
    });
    connect(m_filterMenu, &HistoryFilterMenu::selectionChanged, this, [this] {
        if (m_model.filter() != m_filterMenu->selection())
            m_model.setFilter(m_filterMenu->selection());
    });
    connect(&m_model, &AppModel::filterChanged, this, [this] {
        if (m_filterMenu->selection() != m_model.filter())
            m_filterMenu->setSelection(m_model.filter());
        m_model.reconcileSelection();
    });
    connect(&AppLocalization::shared(), &AppLocalization::languageIdentifierChanged, this,
            [this] { m_model.reconcileSelection(); });
    // The arrows cross between the field and the list as if they were one column.
    connect(m_searchField, &HistorySearchField::downPressed, this, &HistorySidebar::focusList);
    connect(m_list, &HistoryListView::upFromFirstRow, m_searchField, &HistorySearchField::setFocusToInput);
    // Ctrl+F from anywhere in the window.
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, m_searchField, &HistorySearchField::setFocusToInput);
    connect(&AppLocalization::shared(), &AppLocalization::appLanguageDidChange, this,
            &HistorySidebar::retranslate);

    connect(&m_model, &AppModel::isLoadingChanged, this, &HistorySidebar::updateLoading);
    for (auto signal :
         {&AppModel::entriesChanged, &AppModel::filteredEntriesChanged, &AppModel::needsRecoveryChanged})
        connect(&m_model, signal, this, &HistorySidebar::updateListArea);
    connect(&m_model, &AppModel::recordingPausedChanged, this,
            [this] { m_paused->setVisible(m_model.recordingPaused()); });

    m_searchField->setText(m_model.query());
    m_filterMenu->setSelection(m_model.filter());
    m_paused->setVisible(m_model.recordingPaused());
    retranslate();
    updateLoading();
}

HistorySidebar::~HistorySidebar() = default;

HistorySidebar::ListState HistorySidebar::listState() const
{
    return listState(filteredCount());
}

qsizetype HistorySidebar::filteredCount() const
{
    return m_model.isLoading() ? 0 : m_model.filteredEntries().size();
}

HistorySidebar::ListState HistorySidebar::listState(qsizetype filteredCount) const
{
    if (m_model.isLoading())
        return ListState::loading;
    if (m_model.needsRecovery())
        return ListState::unavailable;
    return filteredCount > 0 ? ListState::list : ListState::empty;
}

void HistorySidebar::retranslate()
{
    m_heading->setText(L10n::text(L10n::Key::allHistory));
    for (auto [button, key] : {std::pair{m_settingsButton, L10n::Key::settings},
                               std::pair{m_clearButton, L10n::Key::clearHistory}}) {
        button->setToolTip(L10n::text(key));
        button->setAccessibleName(L10n::text(key));
    }
    m_loadingLabel->setText(L10n::text(L10n::Key::loadingHistory));
    m_unavailable->setMessage(L10n::text(L10n::Key::historyUnavailable));
    m_paused->setText(L10n::text(L10n::Key::recordingPaused));
    updateListArea();
}

// Whenever loading starts or ends the indicator is hidden, and it appears only if loading is still
// going on after the delay, so a quick load never flashes it.
void HistorySidebar::updateLoading()
{
    m_loadingDelay->cancel();
    m_showsLoadingIndicator = false;
    if (m_model.isLoading()) {
        m_loadingDelay->start(std::chrono::milliseconds(loadingIndicatorDelay), [this] {
            if (!m_model.isLoading())
                return;
            m_showsLoadingIndicator = true;
            updateListArea();
        });
    }
    m_clearButton->setEnabled(!m_model.isLoading());
    updateListArea();
}

void HistorySidebar::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The list may have changed while the window was hidden.
    updateListArea();
}

// The list takes the keys first, so arrows move through the history at once; without a list the
// search field does. Otherwise the first header button would, and show its focus fill. Decided once the
// history has loaded, so a window shown while loading does not leave a blinking cursor behind.
void HistorySidebar::placeInitialFocus(ListState state)
{
    if (m_focusPlaced || !isVisible() || m_model.isLoading())
        return;
    m_focusPlaced = true;
    if (state == ListState::list)
        m_list->setFocus(Qt::OtherFocusReason);
    else
        m_searchField->setFocusToInput();
}

// Entering the list picks its first row when nothing is selected, so the arrows have a place to start.
void HistorySidebar::focusList()
{
    const HistoryListModel& rows = m_list->listModel();
    if (m_area->currentWidget() != m_list || rows.rowCount() == 0)
        return;
    if (m_model.selection().isNull())
        m_model.setSelection(rows.entry(0).id);
    m_list->setFocus(Qt::TabFocusReason);
}

void HistorySidebar::updateListArea()
{
    const qsizetype count = filteredCount();
    const ListState state = listState(count);
    switch (state) {
    case ListState::loading:
        m_area->setCurrentWidget(m_loadingPage);
        m_spinner->setVisible(m_showsLoadingIndicator);
        m_loadingLabel->setVisible(m_showsLoadingIndicator);
        break;
    case ListState::unavailable:
        m_area->setCurrentWidget(m_unavailable);
        break;
    case ListState::list:
        m_area->setCurrentWidget(m_list);
        break;
    case ListState::empty:
        m_empty->setMessage(
            L10n::text(m_model.entries().isEmpty() ? L10n::Key::historyEmpty : L10n::Key::noMatches));
        m_area->setCurrentWidget(m_empty);
        break;
    }
    m_count->setText(L10n::format(count == 1 ? L10n::Key::itemCountOne : L10n::Key::itemCountOther, count));
    placeInitialFocus(state);
}

void HistorySidebar::confirmClear()
{
    if (m_confirmation)
        return;
    auto* dialog = new ClearHistoryDialog(this);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this] { m_model.clearHistory(); });
    m_confirmation = dialog;
    dialog->open();
}

void HistorySidebar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), HistoryAppearance::sidebar(this));
}
