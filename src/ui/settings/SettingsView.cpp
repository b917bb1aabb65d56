#include "ui/settings/SettingsView.h"

#include "app/AppModel.h"
#include "app/Preferences.h"
#include "app/QuickPasteController.h"
#include "l10n/Localization.h"
#include "models/QuickPasteSetup.h"
#include "models/QuickPasteStatus.h"
#include "ui/common/AppTheme.h"
#include "ui/common/HistoryAppearance.h"
#include "ui/common/HistoryButton.h"
#include "ui/common/Symbols.h"
#include "ui/settings/SettingsPicker.h"
#include "ui/settings/SettingsSwitch.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>

using Key = L10n::Key;

namespace {

// The chord unless the desktop binds another; Super plays the part of the Command key.
const QString chordText = QStringLiteral("Super+Shift+V");
constexpr int pagePadding = 18;
constexpr int pageSpacing = 16;
constexpr int cardPadding = 14;
constexpr int cardSpacing = 10;
constexpr qreal cardRadius = 12;
constexpr int rowPadding = 10;
constexpr int readyMarkSize = 14;

// How to use a chord such as "Ctrl+Alt+B": its modifiers held through it, its last key tapped.
QString instructionsFor(const QString& chord)
{
    const qsizetype split = chord.lastIndexOf(QLatin1Char('+'), chord.size() - 2);
    return L10n::text(Key::quickPasteInstructions)
        .arg(chord, chord.left(std::max<qsizetype>(split, 0)), chord.mid(split + 1));
}

template <typename Cases, typename Case> int indexOf(const Cases& cases, Case value)
{
    return int(std::ranges::find(cases, value) - cases.begin());
}

QFont sized(QFont font, qreal points, QFont::Weight weight = QFont::Normal)
{
    font.setPointSizeF(points);
    font.setWeight(weight);
    return font;
}

// The page's background, the sidebar's colour.
class Page final : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter(this).fillRect(rect(), HistoryAppearance::sidebar(this));
    }
};

class Card final : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()), cardRadius, cardRadius);
        painter.fillPath(path, HistoryAppearance::card(this));
    }
};

// A hairline in the separator colour of either theme.
class Divider final : public QWidget {
public:
    explicit Divider(QWidget* parent = nullptr) : QWidget(parent) { setFixedHeight(1); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QColor line = palette().color(QPalette::Active, QPalette::WindowText);
        line.setAlphaF(AppThemes::isDark(palette()) ? 0.14 : 0.1);
        QPainter(this).fillRect(rect(), line);
    }
};

// White check on the system green.
class ReadyMark final : public QWidget {
public:
    explicit ReadyMark(QWidget* parent = nullptr) : QWidget(parent)
    {
        setFixedSize(readyMarkSize, readyMarkSize);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(AppThemes::isDark(palette()) ? QColor(0x30, 0xD1, 0x58) : QColor(0x34, 0xC7, 0x59));
        painter.drawEllipse(rect());
        const int check = 8;
        painter.drawPixmap(
            (width() - check) / 2, (height() - check) / 2,
            Symbols::pixmap(QStringLiteral("checkmark"), check, devicePixelRatioF(), Qt::white));
    }
};

// A button that reads as a link: its text in the link colour, underlined under the pointer, on the
// selected colour while it has the keyboard focus. The text starts at its left edge, in line with the
// texts above it.
class LinkButton final : public QAbstractButton {
public:
    explicit LinkButton(QWidget* parent = nullptr) : QAbstractButton(parent)
    {
        setFocusPolicy(Qt::TabFocus);
        setCursor(Qt::PointingHandCursor);
        setAttribute(Qt::WA_Hover);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }

    QSize sizeHint() const override
    {
        return {fontMetrics().horizontalAdvance(text()) + margin, fontMetrics().height() + 2 * margin};
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        if (isDown())
            painter.setOpacity(0.75);
        if (hasFocus()) {
            QPainterPath fill;
            fill.addRoundedRect(QRectF(rect()), 4, 4);
            painter.fillPath(fill, HistoryAppearance::selected(this));
        }
        QFont linkFont = font();
        linkFont.setUnderline(underMouse());
        painter.setFont(linkFont);
        painter.setPen(HistoryAppearance::blue(this));
        painter.drawText(rect().adjusted(0, margin, 0, -margin), Qt::AlignLeft | Qt::AlignVCenter, text());
    }

private:
    static constexpr int margin = 3;
};

QLabel* wrappingLabel(qreal points, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setFont(sized(label->font(), points));
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    return label;
}

// Wraps a row in the card's vertical row padding.
QWidget* paddedRow(QLayout* content, QWidget* parent)
{
    auto* row = new QWidget(parent);
    content->setContentsMargins(0, rowPadding, 0, rowPadding);
    row->setLayout(content);
    return row;
}

} // namespace

SettingsView::SettingsView(Services services, QWidget* parent)
    : QWidget(parent), m_services(std::move(services)),
      m_launchAtLogin(LaunchAtLoginSwitch::initial(m_services.loginItems))
{
    setFont(sized(font(), 13));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    m_scrollArea = new QScrollArea(this);
    m_scrollArea->setFrameShape(QFrame::NoFrame);
    m_scrollArea->setWidgetResizable(true);
    m_scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Tab goes to the controls, never to the page itself.
    m_scrollArea->setFocusPolicy(Qt::NoFocus);
    m_scrollArea->viewport()->setAutoFillBackground(false);
    // The status wraps by the width the window gives the page.
    m_scrollArea->viewport()->installEventFilter(this);
    outer->addWidget(m_scrollArea);

    auto* page = new Page;
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(pagePadding, pagePadding, pagePadding, pagePadding);
    column->setSpacing(pageSpacing);
    column->addWidget(makeQuickPasteCard());

    // The heading sits right on top of its card.
    auto* general = new QVBoxLayout;
    general->setSpacing(8);
    m_generalHeading = new QLabel(page);
    m_generalHeading->setFont(sized(font(), 13, QFont::Medium));
    m_generalHeading->setContentsMargins(4, 0, 4, 0);
    general->addWidget(m_generalHeading);
    general->addWidget(makeGeneralCard());
    column->addLayout(general);

    auto* notes = new QVBoxLayout;
    notes->setContentsMargins(4, 2, 4, 0);
    notes->setSpacing(4);
    m_storagePolicy = wrappingLabel(11, page);
    m_capturePolicy = wrappingLabel(11, page);
    notes->addWidget(m_storagePolicy);
    notes->addWidget(m_capturePolicy);
    column->addLayout(notes);
    column->addStretch(1);
    m_scrollArea->setWidget(page);

    AppModel& model = m_services.model;
    connect(&model, &AppModel::quickPasteEnabledChanged, this, &SettingsView::updateQuickPaste);
    connect(&model, &AppModel::quickPasteStatusChanged, this, &SettingsView::updateQuickPaste);
    connect(&model, &AppModel::recordingPausedChanged, this,
            [this] { m_pauseRecordingSwitch->setChecked(m_services.model.recordingPaused()); });
    connect(&m_services.localization, &AppLocalization::languageIdentifierChanged, this,
            &SettingsView::retranslate);
    const auto followLanguage = [this] {
        m_languagePicker->setCurrentIndex(
            indexOf(AppLanguages::allCases, m_services.localization.selection()));
    };
    connect(&m_services.localization, &AppLocalization::selectionChanged, this, followLanguage);

    m_pauseRecordingSwitch->setChecked(model.recordingPaused());
    followLanguage();
    followStoredTheme();
    retranslate();
    restyle();
}

QWidget* SettingsView::makeQuickPasteCard()
{
    auto* card = new Card;
    auto* layout = new QVBoxLayout(card);
    layout->setContentsMargins(cardPadding, cardPadding, cardPadding, cardPadding);
    layout->setSpacing(cardSpacing);

    m_quickPasteSwitch = new SettingsSwitch(card);
    m_quickPasteSwitch->setFont(sized(font(), 13, QFont::Medium));
    m_quickPasteSwitch->setDetail(chordText);
    connect(m_quickPasteSwitch, &QAbstractButton::clicked, this, [this](bool on) {
        if (m_services.quickPaste)
            m_services.quickPaste->setEnabled(on, true);
    });
    layout->addWidget(m_quickPasteSwitch);

    m_instructions = wrappingLabel(12, card);
    layout->addWidget(m_instructions);

    m_quickPasteDivider = new Divider(card);
    layout->addWidget(m_quickPasteDivider);

    m_statusRow = new QWidget(card);
    auto* row = new QHBoxLayout(m_statusRow);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(12);
    auto* status = m_statusLine = new QHBoxLayout;
    status->setSpacing(6);
    m_statusLabel = new QLabel(m_statusRow);
    m_statusLabel->setFont(sized(font(), 12));
    m_readyMark = new ReadyMark(m_statusRow);
    status->addWidget(m_statusLabel, 0, Qt::AlignVCenter);
    status->addWidget(m_readyMark, 0, Qt::AlignVCenter);
    status->addStretch(1);
    row->addLayout(status, 1);
    m_grantAccess = new HistoryButton(HistoryButtonStyle::Kind::primary, m_statusRow);
    m_retry = new HistoryButton(HistoryButtonStyle::Kind::secondary, m_statusRow);
    for (HistoryButton* button : {m_grantAccess, m_retry}) {
        button->setFont(sized(font(), 12));
        row->addWidget(button, 0, Qt::AlignVCenter);
    }
    connect(m_grantAccess, &QAbstractButton::clicked, this, [this] {
        if (m_services.quickPaste)
            m_services.quickPaste->requestPermission();
    });
    // Stops the monitor and starts it again, while quick paste is on.
    connect(m_retry, &QAbstractButton::clicked, this, [this] {
        if (m_services.quickPaste)
            m_services.quickPaste->refreshStatus();
    });
    layout->addWidget(m_statusRow);

    m_setupNote = wrappingLabel(12, card);
    // The configuration line it may hold is there to be copied.
    m_setupNote->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_setupNote);

    m_guideLink = new LinkButton(card);
    m_guideLink->setFont(sized(font(), 12));
    connect(m_guideLink, &QAbstractButton::clicked, this, [this] {
        if (m_services.showAccessibilityGuide)
            m_services.showAccessibilityGuide();
    });
    layout->addWidget(m_guideLink);
    return card;
}

QWidget* SettingsView::makeGeneralCard()
{
    auto* card = new Card;
    auto* layout = new QVBoxLayout(card);
    layout->setContentsMargins(cardPadding, 0, cardPadding, 0);
    layout->setSpacing(0);

    const auto pickerRow = [card](QLabel*& label, SettingsPicker* picker) {
        auto* row = new QHBoxLayout;
        row->setSpacing(12);
        label = new QLabel(card);
        row->addWidget(label);
        row->addStretch(1);
        row->addWidget(picker);
        return paddedRow(row, card);
    };

    m_languagePicker = new SettingsPicker(
        int(AppLanguages::allCases.size()),
        [](int index) { return AppLanguages::title(AppLanguages::allCases[index]); }, card);
    connect(m_languagePicker, &SettingsPicker::activated, this,
            [this](int index) { m_services.localization.select(AppLanguages::allCases[index]); });
    layout->addWidget(pickerRow(m_languageLabel, m_languagePicker));
    layout->addWidget(new Divider(card));

    m_themePicker = new SettingsPicker(
        int(AppThemes::allCases.size()),
        [](int index) { return AppThemes::title(AppThemes::allCases[index]); }, card);
    connect(m_themePicker, &SettingsPicker::activated, this, &SettingsView::chooseTheme);
    layout->addWidget(pickerRow(m_themeLabel, m_themePicker));
    layout->addWidget(new Divider(card));

    auto* launch = new QVBoxLayout;
    launch->setSpacing(8);
    m_launchAtLoginSwitch = new SettingsSwitch(card);
    connect(m_launchAtLoginSwitch, &QAbstractButton::clicked, this, &SettingsView::setLaunchAtLogin);
    m_launchAtLoginMessage = wrappingLabel(12, card);
    launch->addWidget(m_launchAtLoginSwitch);
    launch->addWidget(m_launchAtLoginMessage);
    layout->addWidget(paddedRow(launch, card));
    layout->addWidget(new Divider(card));

    auto* pause = new QVBoxLayout;
    m_pauseRecordingSwitch = new SettingsSwitch(card);
    connect(m_pauseRecordingSwitch, &QAbstractButton::clicked, this,
            [this](bool paused) { m_services.model.setRecordingPaused(paused); });
    pause->addWidget(m_pauseRecordingSwitch);
    layout->addWidget(paddedRow(pause, card));
    return card;
}

void SettingsView::retranslate()
{
    const AppLocalization& l10n = m_services.localization;
    m_quickPasteSwitch->setText(l10n.text(Key::quickPaste));
    m_quickPasteSwitch->setToolTip(l10n.text(Key::quickPasteHelp));
    m_grantAccess->setText(l10n.text(Key::grantAccess));
    m_retry->setText(l10n.text(Key::retry));
    m_guideLink->setText(l10n.text(Key::accessibilityGuideViewGuide));
    m_guideLink->updateGeometry();
    m_generalHeading->setText(l10n.text(Key::general));
    m_languageLabel->setText(l10n.text(Key::language));
    m_languagePicker->setPurpose(l10n.text(Key::language));
    m_themeLabel->setText(l10n.text(Key::theme));
    m_themePicker->setPurpose(l10n.text(Key::theme));
    m_launchAtLoginSwitch->setText(l10n.text(Key::launchAtLogin));
    m_pauseRecordingSwitch->setText(l10n.text(Key::pauseRecording));
    m_storagePolicy->setText(l10n.text(Key::storagePolicy));
    m_capturePolicy->setText(l10n.text(Key::capturePolicy));
    // Computed texts: the status and the launch-at-login message.
    updateQuickPaste();
    updateLaunchAtLogin();
}

// Colours a label keeps in its palette are resolved again whenever the theme changes.
void SettingsView::restyle()
{
    const auto colour = [](QLabel* label, const QColor& value) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, value);
        label->setPalette(palette);
    };
    const QColor secondary = HistoryAppearance::secondary(this);
    for (QLabel* label : {m_instructions, m_setupNote, m_storagePolicy, m_capturePolicy})
        colour(label, secondary);
    colour(m_launchAtLoginMessage,
           AppThemes::isDark(palette()) ? QColor(0xFF, 0x45, 0x3A) : QColor(0xD7, 0x00, 0x15));
}

void SettingsView::updateQuickPaste()
{
    const bool enabled = m_services.model.quickPasteEnabled();
    const QuickPasteStatus status = m_services.model.quickPasteStatus();
    // Where quick paste cannot work at all the switch has nothing to turn on; the status says why.
    const bool unavailable = status == QuickPasteStatus::unavailable;
    const QuickPasteSetup setup = m_services.quickPaste ? m_services.quickPaste->setup() : QuickPasteSetup();
    // A compositor has no permission to grant: lacking what quick paste needs, it cannot run it.
    const bool needsPermission = status == QuickPasteStatus::needsPermission && setup.permissionGuide;
    const QString chord = setup.chord.isEmpty() ? chordText : setup.chord;
    m_quickPasteSwitch->setDetail(chord);
    m_instructions->setText(instructionsFor(chord));
    m_quickPasteSwitch->setEnabled(m_services.quickPaste != nullptr && !unavailable);
    m_quickPasteSwitch->setChecked(enabled && !unavailable);
    m_quickPasteDivider->setVisible(enabled || unavailable);
    m_statusRow->setVisible(enabled || unavailable);
    m_guideLink->setVisible(enabled && !unavailable && setup.permissionGuide &&
                            m_services.showAccessibilityGuide);
    const bool compositorLacks = status == QuickPasteStatus::needsPermission && !needsPermission;
    m_statusLabel->setText(!compositorLacks ? QuickPasteStatuses::message(status)
                           : setup.advice == QuickPasteSetup::Advice::connecting
                               ? L10n::text(Key::quickPasteConnecting)
                               : L10n::text(Key::quickPasteCompositorUnsupported));
    const QString note = enabled || unavailable ? QuickPasteSetups::note(setup) : QString();
    m_setupNote->setText(note);
    m_setupNote->setVisible(!note.isEmpty());
    m_readyMark->setVisible(status == QuickPasteStatus::ready);
    m_grantAccess->setVisible(needsPermission);
    m_retry->setVisible(status == QuickPasteStatus::failed);
    fitStatus();
}

bool SettingsView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_scrollArea->viewport() && event->type() == QEvent::Resize)
        fitStatus();
    return QWidget::eventFilter(watched, event);
}

// A long status (what the display lacks) wraps instead of widening the page past the window. The room
// is reckoned from the viewport, never from the row: a row the unwrapped text has already widened
// would always have room for it.
void SettingsView::fitStatus()
{
    int available = m_scrollArea->viewport()->width() - 2 * (pagePadding + cardPadding);
    for (QWidget* beside : {static_cast<QWidget*>(m_readyMark), static_cast<QWidget*>(m_grantAccess),
                            static_cast<QWidget*>(m_retry)}) {
        if (!beside->isHidden())
            available -= beside->sizeHint().width() + 12;
    }
    const bool wrap = m_statusLabel->fontMetrics().horizontalAdvance(m_statusLabel->text()) > available;
    if (wrap != m_statusLabel->wordWrap()) {
        m_statusLabel->setWordWrap(wrap);
        // A wrapped label would otherwise keep to its own narrow guess of a width: it takes the
        // stretch that keeps a short one to the left.
        m_statusLine->setStretch(0, wrap ? 1 : 0);
        m_statusLine->setStretch(2, wrap ? 0 : 1);
    }
}

void SettingsView::updateLaunchAtLogin()
{
    m_launchAtLoginSwitch->setChecked(m_launchAtLogin.isOn);
    m_launchAtLoginMessage->setVisible(m_launchAtLogin.message.has_value());
    m_launchAtLoginMessage->setText(m_launchAtLogin.message ? m_launchAtLogin.message->text() : QString());
}

void SettingsView::setLaunchAtLogin(bool on)
{
    m_launchAtLogin.set(on, m_services.loginItems);
    updateLaunchAtLogin();
}

void SettingsView::chooseTheme(int index)
{
    const AppTheme theme = AppThemes::allCases[index];
    m_services.preferences.setString(Preferences::Key::appTheme, AppThemes::rawValue(theme));
    AppThemes::apply(theme);
}

void SettingsView::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        restyle();
}

void SettingsView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    followStoredTheme();
}

// The picker follows the stored choice, whoever wrote it.
void SettingsView::followStoredTheme()
{
    m_themePicker->setCurrentIndex(indexOf(AppThemes::allCases, AppThemes::stored(m_services.preferences)));
}

void SettingsView::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), HistoryAppearance::sidebar(this));
}
