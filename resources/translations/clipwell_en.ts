<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name></name>
    <message id="settingsTitle">
        <source>Clipwell Settings</source>
        <translation>Clipwell Settings</translation>
    </message>
    <message id="statusTooltip">
        <source>Clipwell – clipboard history</source>
        <translation>Clipwell – clipboard history</translation>
    </message>
    <message id="openHistory">
        <source>Open History</source>
        <translation>Open History</translation>
    </message>
    <message id="resumeRecording">
        <source>Resume Recording</source>
        <translation>Resume Recording</translation>
    </message>
    <message id="pauseRecording">
        <source>Pause Recording</source>
        <translation>Pause Recording</translation>
    </message>
    <message id="settingsMenu">
        <source>Settings…</source>
        <translation>Settings…</translation>
    </message>
    <message id="quitApp">
        <source>Quit Clipwell</source>
        <translation>Quit Clipwell</translation>
    </message>
    <message id="aboutApp">
        <source>About Clipwell</source>
        <translation>About Clipwell</translation>
    </message>
    <message id="hideApp">
        <source>Hide Clipwell</source>
        <translation>Hide Clipwell</translation>
    </message>
    <message id="editMenu">
        <source>Edit</source>
        <translation>Edit</translation>
    </message>
    <message id="undo">
        <source>Undo</source>
        <translation>Undo</translation>
    </message>
    <message id="cut">
        <source>Cut</source>
        <translation>Cut</translation>
    </message>
    <message id="copy">
        <source>Copy</source>
        <translation>Copy</translation>
    </message>
    <message id="paste">
        <source>Paste</source>
        <translation>Paste</translation>
    </message>
    <message id="selectAll">
        <source>Select All</source>
        <translation>Select All</translation>
    </message>
    <message id="windowMenu">
        <source>Window</source>
        <translation>Window</translation>
    </message>
    <message id="minimize">
        <source>Minimize</source>
        <translation>Minimize</translation>
    </message>
    <message id="close">
        <source>Close</source>
        <translation>Close</translation>
    </message>
    <message id="historyUnsaved">
        <source>Your clipboard history could not be saved. If you quit now, your latest changes will be lost.</source>
        <translation>Your clipboard history could not be saved. If you quit now, your latest changes will be lost.</translation>
    </message>
    <message id="returnToApp">
        <source>Return to Clipwell</source>
        <translation>Return to Clipwell</translation>
    </message>
    <message id="quitAnyway">
        <source>Quit Anyway</source>
        <translation>Quit Anyway</translation>
    </message>
    <message id="general">
        <source>General</source>
        <translation>General</translation>
    </message>
    <message id="language">
        <source>Language</source>
        <translation>Language</translation>
    </message>
    <message id="theme">
        <source>Theme</source>
        <translation>Theme</translation>
    </message>
    <message id="themeLight">
        <source>Light</source>
        <translation>Light</translation>
    </message>
    <message id="themeDark">
        <source>Dark</source>
        <translation>Dark</translation>
    </message>
    <message id="followSystem">
        <source>Follow System</source>
        <translation>Follow System</translation>
    </message>
    <message id="storagePolicy">
        <source>Your history stays on this computer, in your home folder. It is never uploaded.</source>
        <translation>Your history stays on this computer, in your home folder. It is never uploaded.</translation>
    </message>
    <message id="capturePolicy">
        <source>Passwords and other copies that apps mark as private or temporary are never recorded.</source>
        <translation>Passwords and other copies that apps mark as private or temporary are never recorded.</translation>
    </message>
    <message id="quickPaste">
        <source>Quick Paste</source>
        <translation>Quick Paste</translation>
    </message>
    <message id="quickPasteHelp">
        <source>Paste from your history without leaving the app you are using</source>
        <translation>Paste from your history without leaving the app you are using</translation>
    </message>
    <message id="quickPasteInstructions">
        <source>Press %1 to open your history. Keep holding %2 and press %3 to step forward, Z to step back; release the keys to paste the highlighted item.</source>
        <translation>Press %1 to open your history. Keep holding %2 and press %3 to step forward, Z to step back; release the keys to paste the highlighted item.</translation>
    </message>
    <message id="grantAccess">
        <source>Grant Access</source>
        <translation>Grant Access</translation>
    </message>
    <message id="retry">
        <source>Try Again</source>
        <translation>Try Again</translation>
    </message>
    <message id="launchAtLogin">
        <source>Open at Login</source>
        <translation>Open at Login</translation>
    </message>
    <message id="loginApproval">
        <source>Clipwell needs your approval to open at login. Allow it in the login items settings.</source>
        <translation>Clipwell needs your approval to open at login. Allow it in the login items settings.</translation>
    </message>
    <message id="kindText">
        <source>Text</source>
        <translation>Text</translation>
    </message>
    <message id="kindLink">
        <source>Link</source>
        <translation>Link</translation>
    </message>
    <message id="kindImage">
        <source>Image</source>
        <translation>Image</translation>
    </message>
    <message id="kindFile">
        <source>File</source>
        <translation>File</translation>
    </message>
    <message id="allHistory">
        <source>Clipboard History</source>
        <translation>Clipboard History</translation>
    </message>
    <message id="itemCountOne">
        <source>%L1 item</source>
        <translation>%L1 item</translation>
    </message>
    <message id="itemCountOther">
        <source>%L1 items</source>
        <translation>%L1 items</translation>
    </message>
    <message id="loadingHistory">
        <source>Loading history…</source>
        <translation>Loading history…</translation>
    </message>
    <message id="historyUnavailable">
        <source>Your history could not be read. Recording is stopped so the existing file stays safe.</source>
        <translation>Your history could not be read. Recording is stopped so the existing file stays safe.</translation>
    </message>
    <message id="historyEmpty">
        <source>Nothing copied yet</source>
        <translation>Nothing copied yet</translation>
    </message>
    <message id="noMatches">
        <source>No matches</source>
        <translation>No matches</translation>
    </message>
    <message id="copyAgain">
        <source>Copy Again</source>
        <translation>Copy Again</translation>
    </message>
    <message id="deleteEntry">
        <source>Delete</source>
        <translation>Delete</translation>
    </message>
    <message id="recordingPaused">
        <source>Recording is paused</source>
        <translation>Recording is paused</translation>
    </message>
    <message id="clearConfirmation">
        <source>Clear all history?</source>
        <translation>Clear all history?</translation>
    </message>
    <message id="clearHistory">
        <source>Clear History</source>
        <translation>Clear History</translation>
    </message>
    <message id="cancel">
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message id="clearExplanation">
        <source>Every saved item will be deleted. This cannot be undone.</source>
        <translation>Every saved item will be deleted. This cannot be undone.</translation>
    </message>
    <message id="settings">
        <source>Settings</source>
        <translation>Settings</translation>
    </message>
    <message id="justNow">
        <source>Just now</source>
        <translation>Just now</translation>
    </message>
    <message id="openEmailHint">
        <source>Writes an email to this address</source>
        <translation>Writes an email to this address</translation>
    </message>
    <message id="openBrowserHint">
        <source>Opens the link in your browser</source>
        <translation>Opens the link in your browser</translation>
    </message>
    <message id="searchPlaceholder">
        <source>Search history</source>
        <translation>Search history</translation>
    </message>
    <message id="clearSearch">
        <source>Clear search</source>
        <translation>Clear search</translation>
    </message>
    <message id="allTypes">
        <source>All Types</source>
        <translation>All Types</translation>
    </message>
    <message id="contentType">
        <source>Content type</source>
        <translation>Content type</translation>
    </message>
    <message id="selected">
        <source>Selected</source>
        <translation>Selected</translation>
    </message>
    <message id="dismissError">
        <source>Dismiss</source>
        <translation>Dismiss</translation>
    </message>
    <message id="detailEmpty">
        <source>Select an item to see it here</source>
        <translation>Select an item to see it here</translation>
    </message>
    <message id="copyAgainHelp">
        <source>Put this item back on the clipboard</source>
        <translation>Put this item back on the clipboard</translation>
    </message>
    <message id="imagePreviewUnavailable">
        <source>This image cannot be previewed</source>
        <translation>This image cannot be previewed</translation>
    </message>
    <message id="fileUnavailable">
        <source>This file has been moved or deleted</source>
        <translation>This file has been moved or deleted</translation>
    </message>
    <message id="richTextPreview">
        <source>This formatted text has no plain-text version to preview.</source>
        <translation>This formatted text has no plain-text version to preview.</translation>
    </message>
    <message id="previewAccessibility">
        <source>Content preview</source>
        <translation>Content preview</translation>
    </message>
    <message id="pasteDestination">
        <source>Paste into %1</source>
        <translation>Paste into %1</translation>
    </message>
    <message id="pasteOriginalHint">
        <source>Pastes this item with its original formatting</source>
        <translation>Pastes this item with its original formatting</translation>
    </message>
    <message id="quickPasteNavigation">
        <source>V next · Z previous</source>
        <translation>V next · Z previous</translation>
    </message>
    <message id="quickPasteCommit">
        <source>Release to paste</source>
        <translation>Release to paste</translation>
    </message>
    <message id="quickPasteSelection">
        <source>Quick paste: %1</source>
        <translation>Quick paste: %1</translation>
    </message>
    <message id="previewFailed">
        <source>Preview unavailable</source>
        <translation>Preview unavailable</translation>
    </message>
    <message id="imageDimensions">
        <source>%L1 × %L2 pixels</source>
        <translation>%L1 × %L2 pixels</translation>
    </message>
    <message id="imageFailedAccessibility">
        <source>Image that could not be shown</source>
        <translation>Image that could not be shown</translation>
    </message>
    <message id="imageLoadingAccessibility">
        <source>Loading image</source>
        <translation>Loading image</translation>
    </message>
    <message id="quickPasteDisabled">
        <source>Quick paste is off</source>
        <translation>Quick paste is off</translation>
    </message>
    <message id="quickPastePermission">
        <source>Quick paste needs the display’s XTEST and XInput 2 extensions</source>
        <translation>Quick paste needs the display’s XTEST and XInput 2 extensions</translation>
    </message>
    <message id="quickPasteFailed">
        <source>Quick paste could not start</source>
        <translation>Quick paste could not start</translation>
    </message>
    <message id="quickPasteReady">
        <source>Quick paste is ready</source>
        <translation>Quick paste is ready</translation>
    </message>
    <message id="quickPasteUnavailable">
        <source>Quick paste is not available on Wayland yet. It works in an X11 session.</source>
        <translation>Quick paste is not available on Wayland yet. It works in an X11 session.</translation>
    </message>
    <message id="quickPasteCompositorUnsupported">
        <source>This compositor cannot run quick paste</source>
        <translation>This compositor cannot run quick paste</translation>
    </message>
    <message id="quickPasteConnecting">
        <source>Waiting for the compositor to answer…</source>
        <translation>Waiting for the compositor to answer…</translation>
    </message>
    <message id="quickPasteNoLayerShell">
        <source>It offers no layer shell (zwlr_layer_shell_v1), which the quick paste popup is shown with.</source>
        <translation>It offers no layer shell (zwlr_layer_shell_v1), which the quick paste popup is shown with.</translation>
    </message>
    <message id="quickPasteNoVirtualKeyboard">
        <source>It offers no virtual keyboard (zwp_virtual_keyboard_v1), which quick paste types the paste with.</source>
        <translation>It offers no virtual keyboard (zwp_virtual_keyboard_v1), which quick paste types the paste with.</translation>
    </message>
    <message id="quickPasteFakeInputNotGranted">
        <source>KDE Plasma lets only the applications it grants fake input (org_kde_kwin_fake_input) type, and quick paste types the paste with it. Install the Clipwell package, whose desktop entry asks for it, and run the installed clipwell.</source>
        <translation>KDE Plasma lets only the applications it grants fake input (org_kde_kwin_fake_input) type, and quick paste types the paste with it. Install the Clipwell package, whose desktop entry asks for it, and run the installed clipwell.</translation>
    </message>
    <message id="quickPasteTypingReason">
        <source>Quick paste types the paste shortcut into the application in front.</source>
        <translation>Quick paste types the paste shortcut into the application in front.</translation>
    </message>
    <message id="quickPasteX11Fallback">
        <source>On GNOME and KDE, quick paste reaches X11 applications when Clipwell runs with --backend x11.</source>
        <translation>On GNOME and KDE, quick paste reaches X11 applications when Clipwell runs with --backend x11.</translation>
    </message>
    <message id="quickPasteBindCommand">
        <source>To open quick paste with Super+Shift+V, add this line to your compositor’s configuration and reload it:
%1</source>
        <translation>To open quick paste with Super+Shift+V, add this line to your compositor’s configuration and reload it:
%1</translation>
    </message>
    <message id="quickPasteChordTaken">
        <source>Super+Shift+V is already bound in %1:
%2
Remove or change that line, reload sway, then click Try Again.</source>
        <translation>Super+Shift+V is already bound in %1:
%2
Remove or change that line, reload sway, then click Try Again.</translation>
    </message>
    <message id="quickPasteBindFailed">
        <source>sway did not take the binding of Super+Shift+V: %1</source>
        <translation>sway did not take the binding of Super+Shift+V: %1</translation>
    </message>
    <message id="quickPasteShortcutMissing">
        <source>KDE gives Quick Paste no shortcut: another action may already use Meta+Shift+V. Choose one in System Settings → Shortcuts → Clipwell → Quick Paste, then click Try Again.</source>
        <translation>KDE gives Quick Paste no shortcut: another action may already use Meta+Shift+V. Choose one in System Settings → Shortcuts → Clipwell → Quick Paste, then click Try Again.</translation>
    </message>
    <message id="quickPasteShortcutFailed">
        <source>KDE’s global shortcut service did not take Quick Paste’s shortcut: %1</source>
        <translation>KDE’s global shortcut service did not take Quick Paste’s shortcut: %1</translation>
    </message>
    <message id="historyReadFailed">
        <source>Your history could not be read. %1 Clear History starts a new, empty history and keeps the unreadable file beside it.</source>
        <translation>Your history could not be read. %1 Clear History starts a new, empty history and keeps the unreadable file beside it.</translation>
    </message>
    <message id="historySaveFailed">
        <source>Your history could not be saved: %1</source>
        <translation>Your history could not be saved: %1</translation>
    </message>
    <message id="copyTooLarge">
        <source>This copy is larger than 12 MB and was not recorded.</source>
        <translation>This copy is larger than 12 MB and was not recorded.</translation>
    </message>
    <message id="multipleFiles">
        <source>%L2 files: %1, …</source>
        <translation>%L2 files: %1, …</translation>
    </message>
    <message id="copiedImage">
        <source>Copied image</source>
        <translation>Copied image</translation>
    </message>
    <message id="richTextTitle">
        <source>Formatted text</source>
        <translation>Formatted text</translation>
    </message>
    <message id="otherApp">
        <source>Other app</source>
        <translation>Other app</translation>
    </message>
    <message id="missingFile">
        <source>The file “%1” no longer exists.</source>
        <translation>The file “%1” no longer exists.</translation>
    </message>
    <message id="emptyClipboardEntry">
        <source>This item has nothing to copy.</source>
        <translation>This item has nothing to copy.</translation>
    </message>
    <message id="clipboardWriteFailed">
        <source>The clipboard could not be written.</source>
        <translation>The clipboard could not be written.</translation>
    </message>
    <message id="archiveTooLarge">
        <source>The history file is too large to open.</source>
        <translation>The history file is too large to open.</translation>
    </message>
    <message id="unsupportedArchive">
        <source>The history file comes from a newer version of Clipwell.</source>
        <translation>The history file comes from a newer version of Clipwell.</translation>
    </message>
    <message id="originalApp">
        <source>the app you were using</source>
        <translation>the app you were using</translation>
    </message>
    <message id="pasteCancelled">
        <source>Paste cancelled</source>
        <translation>Paste cancelled</translation>
    </message>
    <message id="pasteEventFailed">
        <source>The paste keystroke could not be sent.</source>
        <translation>The paste keystroke could not be sent.</translation>
    </message>
    <message id="accessibilityGuideTitle">
        <source>Let Clipwell paste for you</source>
        <translation>Let Clipwell paste for you</translation>
    </message>
    <message id="accessibilityGuideEnable">
        <source>1. Quick paste needs two extensions of your X server: XTEST, to press the paste keys in the app you were using, and XInput 2, to follow the keyboard. Most X servers have both. To check yours, run xdpyinfo in a terminal: its list of extensions must show XInputExtension and XTEST.</source>
        <translation>1. Quick paste needs two extensions of your X server: XTEST, to press the paste keys in the app you were using, and XInput 2, to follow the keyboard. Most X servers have both. To check yours, run xdpyinfo in a terminal: its list of extensions must show XInputExtension and XTEST.</translation>
    </message>
    <message id="accessibilityGuideAdd">
        <source>2. On a remote, nested or restricted display they are often missing. Log out and choose a regular X11 session (often named “on Xorg”) from the session menu of the login screen.</source>
        <translation>2. On a remote, nested or restricted display they are often missing. Log out and choose a regular X11 session (often named “on Xorg”) from the session menu of the login screen.</translation>
    </message>
    <message id="accessibilityGuideSettings">
        <source>3. Back in Clipwell, open Settings with the gear button and turn on Quick Paste. This guide closes by itself once the extensions are there.</source>
        <translation>3. Back in Clipwell, open Settings with the gear button and turn on Quick Paste. This guide closes by itself once the extensions are there.</translation>
    </message>
    <message id="accessibilityGuideViewGuide">
        <source>How to set up quick paste</source>
        <translation>How to set up quick paste</translation>
    </message>
    <message id="accessibilityGuideOpenFailed">
        <source>On X11 there is no setting Clipwell can open for this: XTEST and XInput 2 come with the X server. Log in to a regular X11 session, or start the X server with both extensions, then come back.</source>
        <translation>On X11 there is no setting Clipwell can open for this: XTEST and XInput 2 come with the X server. Log in to a regular X11 session, or start the X server with both extensions, then come back.</translation>
    </message>
    <message id="accessibilityGuideSwitchDescription">
        <source>A terminal where xdpyinfo lists the XInputExtension and XTEST extensions</source>
        <translation>A terminal where xdpyinfo lists the XInputExtension and XTEST extensions</translation>
    </message>
    <message id="historyDamaged">
        <source>The history file is damaged.</source>
        <translation>The history file is damaged.</translation>
    </message>
    <message id="historyNotAFile">
        <source>Something other than a file is where the history file belongs.</source>
        <translation>Something other than a file is where the history file belongs.</translation>
    </message>
    <message id="diskFull">
        <source>There is no space left on the disk that holds %1.</source>
        <translation>There is no space left on the disk that holds %1.</translation>
    </message>
    <message id="diskQuotaExceeded">
        <source>Your disk quota is used up, so %1 cannot grow.</source>
        <translation>Your disk quota is used up, so %1 cannot grow.</translation>
    </message>
    <message id="permissionDenied">
        <source>Clipwell is not allowed to use %1.</source>
        <translation>Clipwell is not allowed to use %1.</translation>
    </message>
    <message id="readOnlyDisk">
        <source>%1 is on a disk that cannot be written to.</source>
        <translation>%1 is on a disk that cannot be written to.</translation>
    </message>
    <message id="unreadableHistoryKept">
        <source>The unreadable history file was kept as %1.</source>
        <translation>The unreadable history file was kept as %1.</translation>
    </message>
    <message id="previewTextTruncated">
        <source>Only the first %L1 characters are shown. Copy the entry again to get the whole text.</source>
        <translation>Only the first %L1 characters are shown. Copy the entry again to get the whole text.</translation>
    </message>
    <message id="previewFilesTruncated">
        <source>Only the first %L1 of %L2 files are shown.</source>
        <translation>Only the first %L1 of %L2 files are shown.</translation>
    </message>
    <message id="linkOpenFailed">
        <source>The link could not be opened. No application is set up to open it.</source>
        <translation>The link could not be opened. No application is set up to open it.</translation>
    </message>
</context>
</TS>
