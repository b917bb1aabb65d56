#include "l10n/L10nKey.h"

namespace L10n {
namespace {

constexpr std::array<const char*, keyCount> names = {
    "settingsTitle",
    "statusTooltip",
    "openHistory",
    "resumeRecording",
    "pauseRecording",
    "settingsMenu",
    "quitApp",
    "aboutApp",
    "hideApp",
    "editMenu",
    "undo",
    "cut",
    "copy",
    "paste",
    "selectAll",
    "windowMenu",
    "minimize",
    "close",
    "historyUnsaved",
    "returnToApp",
    "quitAnyway",
    "general",
    "language",
    "theme",
    "themeLight",
    "themeDark",
    "followSystem",
    "storagePolicy",
    "capturePolicy",
    "quickPaste",
    "quickPasteHelp",
    "quickPasteInstructions",
    "grantAccess",
    "retry",
    "launchAtLogin",
    "loginApproval",
    "kindText",
    "kindLink",
    "kindImage",
    "kindFile",
    "allHistory",
    "itemCountOne",
    "itemCountOther",
    "loadingHistory",
    "historyUnavailable",
    "historyEmpty",
    "noMatches",
    "copyAgain",
    "deleteEntry",
    "recordingPaused",
    "clearConfirmation",
    "clearHistory",
    "cancel",
    "clearExplanation",
    "settings",
    "justNow",
    "openEmailHint",
    "openBrowserHint",
    "searchPlaceholder",
    "clearSearch",
    "allTypes",
    "contentType",
    "selected",
    "dismissError",
    "detailEmpty",
    "copyAgainHelp",
    "imagePreviewUnavailable",
    "fileUnavailable",
    "richTextPreview",
    "previewAccessibility",
    "pasteDestination",
    "pasteOriginalHint",
    "quickPasteNavigation",
    "quickPasteCommit",
    "quickPasteSelection",
    "previewFailed",
    "imageDimensions",
    "imageFailedAccessibility",
    "imageLoadingAccessibility",
    "quickPasteDisabled",
    "quickPastePermission",
    "quickPasteFailed",
    "quickPasteReady",
    "quickPasteUnavailable",
    "quickPasteCompositorUnsupported",
    "quickPasteConnecting",
    "quickPasteNoLayerShell",
    "quickPasteNoVirtualKeyboard",
    "quickPasteFakeInputNotGranted",
    "quickPasteTypingReason",
    "quickPasteX11Fallback",
    "quickPasteBindCommand",
    "quickPasteChordTaken",
    "quickPasteBindFailed",
    "quickPasteShortcutMissing",
    "quickPasteShortcutFailed",
    "historyReadFailed",
    "historySaveFailed",
    "copyTooLarge",
    "multipleFiles",
    "copiedImage",
    "richTextTitle",
    "otherApp",
    "missingFile",
    "emptyClipboardEntry",
    "clipboardWriteFailed",
    "archiveTooLarge",
    "unsupportedArchive",
    "originalApp",
    "pasteCancelled",
    "pasteEventFailed",
    "accessibilityGuideTitle",
    "accessibilityGuideEnable",
    "accessibilityGuideAdd",
    "accessibilityGuideSettings",
    "accessibilityGuideViewGuide",
    "accessibilityGuideOpenFailed",
    "accessibilityGuideSwitchDescription",
    "historyDamaged",
    "historyNotAFile",
    "diskFull",
    "diskQuotaExceeded",
    "permissionDenied",
    "readOnlyDisk",
    "unreadableHistoryKept",
    "previewTextTruncated",
    "previewFilesTruncated",
    "linkOpenFailed",
};

constexpr std::array<Key, keyCount> makeAllKeys()
{
    std::array<Key, keyCount> keys{};
    for (int i = 0; i < keyCount; ++i)
        keys[static_cast<std::size_t>(i)] = static_cast<Key>(i);
    return keys;
}

constexpr std::array<Key, keyCount> keys = makeAllKeys();

} // namespace

QString keyName(Key key)
{
    return QString::fromLatin1(names[static_cast<std::size_t>(key)]);
}

std::optional<Key> keyFromName(const QString& name)
{
    for (int i = 0; i < keyCount; ++i) {
        if (name == QLatin1StringView(names[static_cast<std::size_t>(i)]))
            return static_cast<Key>(i);
    }
    return std::nullopt;
}

const std::array<Key, keyCount>& allKeys()
{
    return keys;
}

} // namespace L10n
