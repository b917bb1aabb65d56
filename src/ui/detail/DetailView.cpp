#include "ui/detail/DetailView.h"

#include "app/AppModel.h"
#include "l10n/Localization.h"
#include "ui/detail/CenteredTextView.h"
#include "ui/common/ClipboardEmptyState.h"
#include "ui/detail/EntryPreview.h"
#include "ui/detail/ErrorBanner.h"
#include "ui/common/HistoryAppearance.h"
#include "ui/common/HistoryButton.h"
#include "ui/common/SecondaryLabel.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace {

QFrame* divider(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setFixedHeight(1);
    line->setForegroundRole(QPalette::Mid);
    return line;
}

} // namespace

DetailView::DetailView(AppModel& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);

    m_errorBanner = new ErrorBanner(this);
    m_errorDivider = divider(this);
    m_layout->addWidget(m_errorBanner);
    m_layout->addWidget(m_errorDivider);
    connect(m_errorBanner, &ErrorBanner::dismissed, this, [this] { m_model.setErrorMessage(std::nullopt); });

    m_blank = new QWidget(this);
    m_blank->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_empty = new ClipboardEmptyState(QString(), this);
    m_layout->addWidget(m_blank, 1);
    m_layout->addWidget(m_empty, 1);

    m_layout->addWidget(divider(this));
    auto* footer = new QHBoxLayout;
    footer->setContentsMargins(16, 10, 16, 10);
    footer->setSpacing(8);
    m_activity = new SecondaryLabel(this);
    QFont activityFont = m_activity->font();
    activityFont.setPointSizeF(12);
    m_activity->setFont(activityFont);
    m_activity->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    footer->addWidget(m_activity, 1);
    m_copyAgain = new HistoryButton(HistoryButtonStyle::Kind::action, this);
    m_copyAgain->setSymbol(QStringLiteral("StatusBarIcon"));
    m_copyAgain->setSymbolSize(24);
    QFont buttonFont = m_copyAgain->font();
    buttonFont.setPointSizeF(15);
    m_copyAgain->setFont(buttonFont);
    footer->addWidget(m_copyAgain);
    m_layout->addLayout(footer);
    connect(m_copyAgain, &HistoryButton::clicked, this, [this] {
        if (const std::optional<ClipboardEntry> entry = m_model.selectedEntry())
            m_model.copy(*entry);
    });

    connect(&m_model, &AppModel::errorMessageChanged, this, &DetailView::updateError);
    connect(&m_model, &AppModel::activityMessageChanged, this, &DetailView::updateFooter);
    for (auto signal : {&AppModel::isLoadingChanged, &AppModel::selectionChanged, &AppModel::entriesChanged,
                        &AppModel::filteredEntriesChanged})
        connect(&m_model, signal, this, &DetailView::updateBody);
    connect(&AppLocalization::shared(), &AppLocalization::appLanguageDidChange, this,
            &DetailView::retranslate);

    retranslate();
}

void DetailView::retranslate()
{
    m_copyAgain->setText(L10n::text(L10n::Key::copyAgain));
    m_copyAgain->setToolTip(L10n::text(L10n::Key::copyAgainHelp));
    m_empty->setMessage(L10n::text(L10n::Key::detailEmpty));
    m_errorBanner->retranslate();
    if (m_preview)
        m_preview->retranslate();
    updateError();
    updateBody();
    updateFooter();
}

void DetailView::updateError()
{
    const std::optional<AppMessage> message = m_model.errorMessage();
    m_errorBanner->setVisible(message.has_value());
    m_errorDivider->setVisible(message.has_value());
    if (message)
        m_errorBanner->setText(message->text());
}

void DetailView::updateBody()
{
    const std::optional<ClipboardEntry> selected =
        m_model.isLoading() ? std::nullopt : m_model.selectedEntry();
    // A preview is rebuilt only when another entry is selected, so scrolling and selection survive
    // unrelated changes.
    if (!selected || selected->id != m_previewId) {
        if (m_preview) {
            m_preview->deleteLater();
            m_preview = nullptr;
            m_previewId = QUuid();
        }
        if (selected) {
            m_preview = new EntryPreview(*selected, this);
            m_previewId = selected->id;
            if (auto* text = qobject_cast<CenteredTextView*>(m_preview->content()))
                connect(text, &CenteredTextView::linkActivated, &m_model, &AppModel::open);
            m_layout->insertWidget(m_layout->indexOf(m_empty) + 1, m_preview, 1);
        }
    }
    m_blank->setVisible(m_model.isLoading());
    m_empty->setVisible(!m_model.isLoading() && !selected);
    m_copyAgain->setEnabled(selected.has_value());
}

void DetailView::updateFooter()
{
    const std::optional<AppMessage> message = m_model.activityMessage();
    m_activity->setText(message ? message->text() : QString());
}

void DetailView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), HistoryAppearance::detailBackground(this));
}
