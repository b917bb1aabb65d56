<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_TW" sourcelanguage="en">
<context>
    <name></name>
    <message id="settingsTitle">
        <source>Clipwell Settings</source>
        <translation>Clipwell 設定</translation>
    </message>
    <message id="statusTooltip">
        <source>Clipwell – clipboard history</source>
        <translation>Clipwell – 剪貼簿歷史</translation>
    </message>
    <message id="openHistory">
        <source>Open History</source>
        <translation>開啟歷史記錄</translation>
    </message>
    <message id="resumeRecording">
        <source>Resume Recording</source>
        <translation>繼續記錄</translation>
    </message>
    <message id="pauseRecording">
        <source>Pause Recording</source>
        <translation>暫停記錄</translation>
    </message>
    <message id="settingsMenu">
        <source>Settings…</source>
        <translation>設定…</translation>
    </message>
    <message id="quitApp">
        <source>Quit Clipwell</source>
        <translation>結束 Clipwell</translation>
    </message>
    <message id="aboutApp">
        <source>About Clipwell</source>
        <translation>關於 Clipwell</translation>
    </message>
    <message id="hideApp">
        <source>Hide Clipwell</source>
        <translation>隱藏 Clipwell</translation>
    </message>
    <message id="editMenu">
        <source>Edit</source>
        <translation>編輯</translation>
    </message>
    <message id="undo">
        <source>Undo</source>
        <translation>還原</translation>
    </message>
    <message id="cut">
        <source>Cut</source>
        <translation>剪下</translation>
    </message>
    <message id="copy">
        <source>Copy</source>
        <translation>複製</translation>
    </message>
    <message id="paste">
        <source>Paste</source>
        <translation>貼上</translation>
    </message>
    <message id="selectAll">
        <source>Select All</source>
        <translation>全選</translation>
    </message>
    <message id="windowMenu">
        <source>Window</source>
        <translation>視窗</translation>
    </message>
    <message id="minimize">
        <source>Minimize</source>
        <translation>最小化</translation>
    </message>
    <message id="close">
        <source>Close</source>
        <translation>關閉</translation>
    </message>
    <message id="historyUnsaved">
        <source>Your clipboard history could not be saved. If you quit now, your latest changes will be lost.</source>
        <translation>剪貼簿歷史無法儲存。現在結束將遺失最近的變更。</translation>
    </message>
    <message id="returnToApp">
        <source>Return to Clipwell</source>
        <translation>返回 Clipwell</translation>
    </message>
    <message id="quitAnyway">
        <source>Quit Anyway</source>
        <translation>仍要結束</translation>
    </message>
    <message id="general">
        <source>General</source>
        <translation>一般</translation>
    </message>
    <message id="language">
        <source>Language</source>
        <translation>語言</translation>
    </message>
    <message id="theme">
        <source>Theme</source>
        <translation>主題</translation>
    </message>
    <message id="themeLight">
        <source>Light</source>
        <translation>淺色</translation>
    </message>
    <message id="themeDark">
        <source>Dark</source>
        <translation>深色</translation>
    </message>
    <message id="followSystem">
        <source>Follow System</source>
        <translation>跟隨系統</translation>
    </message>
    <message id="storagePolicy">
        <source>Your history stays on this computer, in your home folder. It is never uploaded.</source>
        <translation>歷史記錄只儲存在這部電腦的個人檔案夾中，絕不會上傳。</translation>
    </message>
    <message id="capturePolicy">
        <source>Passwords and other copies that apps mark as private or temporary are never recorded.</source>
        <translation>密碼以及應用程式標記為隱私或暫時的複製內容永遠不會被記錄。</translation>
    </message>
    <message id="quickPaste">
        <source>Quick Paste</source>
        <translation>快速貼上</translation>
    </message>
    <message id="quickPasteHelp">
        <source>Paste from your history without leaving the app you are using</source>
        <translation>無須離開目前的應用程式即可貼上歷史記錄</translation>
    </message>
    <message id="quickPasteInstructions">
        <source>Press %1 to open your history. Keep holding %2 and press %3 to step forward, Z to step back; release the keys to paste the highlighted item.</source>
        <translation>按 %1 開啟歷史記錄。按住 %2 再按 %3 逐項向後瀏覽、按 Z 回到上一項，放開按鍵即可貼上選取的項目。</translation>
    </message>
    <message id="grantAccess">
        <source>Grant Access</source>
        <translation>授予權限</translation>
    </message>
    <message id="retry">
        <source>Try Again</source>
        <translation>重試</translation>
    </message>
    <message id="launchAtLogin">
        <source>Open at Login</source>
        <translation>登入時開啟</translation>
    </message>
    <message id="loginApproval">
        <source>Clipwell needs your approval to open at login. Allow it in the login items settings.</source>
        <translation>Clipwell 需要你的核准才能在登入時開啟。請在登入項目設定中允許。</translation>
    </message>
    <message id="kindText">
        <source>Text</source>
        <translation>文字</translation>
    </message>
    <message id="kindLink">
        <source>Link</source>
        <translation>連結</translation>
    </message>
    <message id="kindImage">
        <source>Image</source>
        <translation>圖片</translation>
    </message>
    <message id="kindFile">
        <source>File</source>
        <translation>檔案</translation>
    </message>
    <message id="allHistory">
        <source>Clipboard History</source>
        <translation>剪貼簿歷史</translation>
    </message>
    <message id="itemCountOne">
        <source>%L1 item</source>
        <translation>%L1 項</translation>
    </message>
    <message id="itemCountOther">
        <source>%L1 items</source>
        <translation>%L1 項</translation>
    </message>
    <message id="loadingHistory">
        <source>Loading history…</source>
        <translation>正在載入歷史記錄…</translation>
    </message>
    <message id="historyUnavailable">
        <source>Your history could not be read. Recording is stopped so the existing file stays safe.</source>
        <translation>無法讀取歷史記錄。為保護現有檔案，記錄已停止。</translation>
    </message>
    <message id="historyEmpty">
        <source>Nothing copied yet</source>
        <translation>尚未複製任何內容</translation>
    </message>
    <message id="noMatches">
        <source>No matches</source>
        <translation>沒有符合的結果</translation>
    </message>
    <message id="copyAgain">
        <source>Copy Again</source>
        <translation>再次複製</translation>
    </message>
    <message id="deleteEntry">
        <source>Delete</source>
        <translation>刪除</translation>
    </message>
    <message id="recordingPaused">
        <source>Recording is paused</source>
        <translation>記錄已暫停</translation>
    </message>
    <message id="clearConfirmation">
        <source>Clear all history?</source>
        <translation>清除所有歷史記錄？</translation>
    </message>
    <message id="clearHistory">
        <source>Clear History</source>
        <translation>清除歷史記錄</translation>
    </message>
    <message id="cancel">
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message id="clearExplanation">
        <source>Every saved item will be deleted. This cannot be undone.</source>
        <translation>所有儲存的項目都將被刪除，且無法復原。</translation>
    </message>
    <message id="settings">
        <source>Settings</source>
        <translation>設定</translation>
    </message>
    <message id="justNow">
        <source>Just now</source>
        <translation>剛剛</translation>
    </message>
    <message id="openEmailHint">
        <source>Writes an email to this address</source>
        <translation>寫郵件給此地址</translation>
    </message>
    <message id="openBrowserHint">
        <source>Opens the link in your browser</source>
        <translation>在瀏覽器中開啟連結</translation>
    </message>
    <message id="searchPlaceholder">
        <source>Search history</source>
        <translation>搜尋歷史記錄</translation>
    </message>
    <message id="clearSearch">
        <source>Clear search</source>
        <translation>清除搜尋</translation>
    </message>
    <message id="allTypes">
        <source>All Types</source>
        <translation>所有類型</translation>
    </message>
    <message id="contentType">
        <source>Content type</source>
        <translation>內容類型</translation>
    </message>
    <message id="selected">
        <source>Selected</source>
        <translation>已選取</translation>
    </message>
    <message id="dismissError">
        <source>Dismiss</source>
        <translation>關閉提示</translation>
    </message>
    <message id="detailEmpty">
        <source>Select an item to see it here</source>
        <translation>選取一個項目即可在此檢視</translation>
    </message>
    <message id="copyAgainHelp">
        <source>Put this item back on the clipboard</source>
        <translation>將此項目重新放回剪貼簿</translation>
    </message>
    <message id="imagePreviewUnavailable">
        <source>This image cannot be previewed</source>
        <translation>此圖片無法預覽</translation>
    </message>
    <message id="fileUnavailable">
        <source>This file has been moved or deleted</source>
        <translation>此檔案已被移動或刪除</translation>
    </message>
    <message id="richTextPreview">
        <source>This formatted text has no plain-text version to preview.</source>
        <translation>此格式化文字沒有可預覽的純文字內容。</translation>
    </message>
    <message id="previewAccessibility">
        <source>Content preview</source>
        <translation>內容預覽</translation>
    </message>
    <message id="pasteDestination">
        <source>Paste into %1</source>
        <translation>貼上到 %1</translation>
    </message>
    <message id="pasteOriginalHint">
        <source>Pastes this item with its original formatting</source>
        <translation>以原始格式貼上此項目</translation>
    </message>
    <message id="quickPasteNavigation">
        <source>V next · Z previous</source>
        <translation>V 下一項 · Z 上一項</translation>
    </message>
    <message id="quickPasteCommit">
        <source>Release to paste</source>
        <translation>放開即可貼上</translation>
    </message>
    <message id="quickPasteSelection">
        <source>Quick paste: %1</source>
        <translation>快速貼上：%1</translation>
    </message>
    <message id="previewFailed">
        <source>Preview unavailable</source>
        <translation>無法預覽</translation>
    </message>
    <message id="imageDimensions">
        <source>%L1 × %L2 pixels</source>
        <translation>%L1 × %L2 像素</translation>
    </message>
    <message id="imageFailedAccessibility">
        <source>Image that could not be shown</source>
        <translation>無法顯示的圖片</translation>
    </message>
    <message id="imageLoadingAccessibility">
        <source>Loading image</source>
        <translation>正在載入圖片</translation>
    </message>
    <message id="quickPasteDisabled">
        <source>Quick paste is off</source>
        <translation>快速貼上已關閉</translation>
    </message>
    <message id="quickPastePermission">
        <source>Quick paste needs the display’s XTEST and XInput 2 extensions</source>
        <translation>快速貼上需要顯示伺服器的 XTEST 和 XInput 2 擴充功能</translation>
    </message>
    <message id="quickPasteFailed">
        <source>Quick paste could not start</source>
        <translation>快速貼上無法啟動</translation>
    </message>
    <message id="quickPasteReady">
        <source>Quick paste is ready</source>
        <translation>快速貼上已就緒</translation>
    </message>
    <message id="quickPasteUnavailable">
        <source>Quick paste is not available on Wayland yet. It works in an X11 session.</source>
        <translation>快速貼上暫不支援 Wayland，可在 X11 工作階段中使用。</translation>
    </message>
    <message id="quickPasteCompositorUnsupported">
        <source>This compositor cannot run quick paste</source>
        <translation>此合成器無法執行快速貼上</translation>
    </message>
    <message id="quickPasteConnecting">
        <source>Waiting for the compositor to answer…</source>
        <translation>正在等待合成器回應…</translation>
    </message>
    <message id="quickPasteNoLayerShell">
        <source>It offers no layer shell (zwlr_layer_shell_v1), which the quick paste popup is shown with.</source>
        <translation>它未提供圖層外殼（zwlr_layer_shell_v1），快速貼上的彈出視窗需要它來顯示。</translation>
    </message>
    <message id="quickPasteNoVirtualKeyboard">
        <source>It offers no virtual keyboard (zwp_virtual_keyboard_v1), which quick paste types the paste with.</source>
        <translation>它未提供虛擬鍵盤（zwp_virtual_keyboard_v1），快速貼上需要它來輸入貼上快速鍵。</translation>
    </message>
    <message id="quickPasteFakeInputNotGranted">
        <source>KDE Plasma lets only the applications it grants fake input (org_kde_kwin_fake_input) type, and quick paste types the paste with it. Install the Clipwell package, whose desktop entry asks for it, and run the installed clipwell.</source>
        <translation>KDE Plasma 只允許獲准使用偽輸入（org_kde_kwin_fake_input）的應用程式輸入按鍵，而快速貼上需要它來輸入貼上快速鍵。請安裝 Clipwell 套件（其桌面項目會申請此權限），然後執行已安裝的 clipwell。</translation>
    </message>
    <message id="quickPasteTypingReason">
        <source>Quick paste types the paste shortcut into the application in front.</source>
        <translation>快速貼上會向前景應用程式輸入貼上快速鍵。</translation>
    </message>
    <message id="quickPasteX11Fallback">
        <source>On GNOME and KDE, quick paste reaches X11 applications when Clipwell runs with --backend x11.</source>
        <translation>在 GNOME 和 KDE 中，以 --backend x11 執行 Clipwell 時，快速貼上可用於 X11 應用程式。</translation>
    </message>
    <message id="quickPasteBindCommand">
        <source>To open quick paste with Super+Shift+V, add this line to your compositor’s configuration and reload it:
%1</source>
        <translation>若要用 Super+Shift+V 開啟快速貼上，請將下面這一行加入合成器的設定並重新載入：
%1</translation>
    </message>
    <message id="quickPasteChordTaken">
        <source>Super+Shift+V is already bound in %1:
%2
Remove or change that line, reload sway, then click Try Again.</source>
        <translation>Super+Shift+V 已在 %1 中綁定：
%2
請刪除或修改這一行，重新載入 sway，然後按一下「重試」。</translation>
    </message>
    <message id="quickPasteBindFailed">
        <source>sway did not take the binding of Super+Shift+V: %1</source>
        <translation>sway 未接受 Super+Shift+V 的綁定：%1</translation>
    </message>
    <message id="quickPasteShortcutMissing">
        <source>KDE gives Quick Paste no shortcut: another action may already use Meta+Shift+V. Choose one in System Settings → Shortcuts → Clipwell → Quick Paste, then click Try Again.</source>
        <translation>KDE 未給快速貼上指定快速鍵：Meta+Shift+V 可能已被其他動作使用。請在「系統設定 → 快速鍵 → Clipwell → 快速貼上」中選擇一個，然後按一下「重試」。</translation>
    </message>
    <message id="quickPasteShortcutFailed">
        <source>KDE’s global shortcut service did not take Quick Paste’s shortcut: %1</source>
        <translation>KDE 的全域快速鍵服務未接受快速貼上的快速鍵：%1</translation>
    </message>
    <message id="historyReadFailed">
        <source>Your history could not be read. %1 Clear History starts a new, empty history and keeps the unreadable file beside it.</source>
        <translation>無法讀取歷史記錄。%1「清除歷史記錄」會開始新的空白歷史記錄，並在旁邊保留無法讀取的檔案。</translation>
    </message>
    <message id="historySaveFailed">
        <source>Your history could not be saved: %1</source>
        <translation>無法儲存歷史記錄：%1</translation>
    </message>
    <message id="copyTooLarge">
        <source>This copy is larger than 12 MB and was not recorded.</source>
        <translation>此複製內容超過 12 MB，未被記錄。</translation>
    </message>
    <message id="multipleFiles">
        <source>%1 and more (%L2 files)</source>
        <translation>%1 等 %L2 個檔案</translation>
    </message>
    <message id="copiedImage">
        <source>Copied image</source>
        <translation>複製的圖片</translation>
    </message>
    <message id="richTextTitle">
        <source>Formatted text</source>
        <translation>格式化文字</translation>
    </message>
    <message id="otherApp">
        <source>Other app</source>
        <translation>其他應用程式</translation>
    </message>
    <message id="missingFile">
        <source>The file “%1” no longer exists.</source>
        <translation>檔案「%1」已不存在。</translation>
    </message>
    <message id="emptyClipboardEntry">
        <source>This item has nothing to copy.</source>
        <translation>此項目沒有可複製的內容。</translation>
    </message>
    <message id="clipboardWriteFailed">
        <source>The clipboard could not be written.</source>
        <translation>無法寫入剪貼簿。</translation>
    </message>
    <message id="archiveTooLarge">
        <source>The history file is too large to open.</source>
        <translation>歷史記錄檔案太大，無法開啟。</translation>
    </message>
    <message id="unsupportedArchive">
        <source>The history file comes from a newer version of Clipwell.</source>
        <translation>歷史記錄檔案來自較新版本的 Clipwell。</translation>
    </message>
    <message id="originalApp">
        <source>the app you were using</source>
        <translation>原本的應用程式</translation>
    </message>
    <message id="pasteCancelled">
        <source>Paste cancelled</source>
        <translation>已取消貼上</translation>
    </message>
    <message id="pasteEventFailed">
        <source>The paste keystroke could not be sent.</source>
        <translation>無法傳送貼上按鍵。</translation>
    </message>
    <message id="accessibilityGuideTitle">
        <source>Let Clipwell paste for you</source>
        <translation>讓 Clipwell 為你貼上</translation>
    </message>
    <message id="accessibilityGuideEnable">
        <source>1. Quick paste needs two extensions of your X server: XTEST, to press the paste keys in the app you were using, and XInput 2, to follow the keyboard. Most X servers have both. To check yours, run xdpyinfo in a terminal: its list of extensions must show XInputExtension and XTEST.</source>
        <translation>1. 快速貼上需要 X 伺服器的兩個擴充功能：XTEST 用於在你正在使用的應用程式中按下貼上鍵，XInput 2 用於追蹤鍵盤。大多數 X 伺服器都具備這兩個擴充功能。要檢查你的 X 伺服器，請在終端機中執行 xdpyinfo：它列出的擴充功能中必須有 XInputExtension 和 XTEST。</translation>
    </message>
    <message id="accessibilityGuideAdd">
        <source>2. On a remote, nested or restricted display they are often missing. Log out and choose a regular X11 session (often named “on Xorg”) from the session menu of the login screen.</source>
        <translation>2. 遠端、巢狀或受限的顯示伺服器常常缺少這兩個擴充功能。請登出，然後在登入畫面的工作階段選單中選擇一般的 X11 工作階段（通常名為「on Xorg」）。</translation>
    </message>
    <message id="accessibilityGuideSettings">
        <source>3. Back in Clipwell, open Settings with the gear button and turn on Quick Paste. This guide closes by itself once the extensions are there.</source>
        <translation>3. 回到 Clipwell，按一下齒輪按鈕開啟設定，啟用快速貼上。擴充功能可用後，本指南會自動關閉。</translation>
    </message>
    <message id="accessibilityGuideViewGuide">
        <source>How to set up quick paste</source>
        <translation>如何設定快速貼上</translation>
    </message>
    <message id="accessibilityGuideOpenFailed">
        <source>On X11 there is no setting Clipwell can open for this: XTEST and XInput 2 come with the X server. Log in to a regular X11 session, or start the X server with both extensions, then come back.</source>
        <translation>在 X11 上沒有可供 Clipwell 開啟的相關設定：XTEST 和 XInput 2 由 X 伺服器提供。請登入一般的 X11 工作階段，或啟動帶有這兩個擴充功能的 X 伺服器，然後再回來。</translation>
    </message>
    <message id="accessibilityGuideSwitchDescription">
        <source>A terminal where xdpyinfo lists the XInputExtension and XTEST extensions</source>
        <translation>終端機中 xdpyinfo 列出了 XInputExtension 和 XTEST 擴充功能</translation>
    </message>
    <message id="historyDamaged">
        <source>The history file is damaged.</source>
        <translation>歷史記錄檔案已損毀。</translation>
    </message>
    <message id="historyNotAFile">
        <source>Something other than a file is where the history file belongs.</source>
        <translation>歷史記錄檔案的位置上是別的東西，而不是檔案。</translation>
    </message>
    <message id="diskFull">
        <source>There is no space left on the disk that holds %1.</source>
        <translation>存放 %1 的磁碟已沒有剩餘空間。</translation>
    </message>
    <message id="diskQuotaExceeded">
        <source>Your disk quota is used up, so %1 cannot grow.</source>
        <translation>你的磁碟配額已用完，%1 無法再寫入。</translation>
    </message>
    <message id="permissionDenied">
        <source>Clipwell is not allowed to use %1.</source>
        <translation>Clipwell 沒有使用 %1 的權限。</translation>
    </message>
    <message id="readOnlyDisk">
        <source>%1 is on a disk that cannot be written to.</source>
        <translation>%1 所在的磁碟是唯讀的。</translation>
    </message>
    <message id="unreadableHistoryKept">
        <source>The unreadable history file was kept as %1.</source>
        <translation>無法讀取的歷史記錄檔案已保留為 %1。</translation>
    </message>
    <message id="previewTextTruncated">
        <source>Only the first %L1 characters are shown. Copy the entry again to get the whole text.</source>
        <translation>僅顯示前 %L1 個字元。再次複製此項目即可取得全文。</translation>
    </message>
    <message id="previewFilesTruncated">
        <source>Only the first %L1 of %L2 files are shown.</source>
        <translation>僅顯示 %L2 個檔案中的前 %L1 個。</translation>
    </message>
    <message id="linkOpenFailed">
        <source>The link could not be opened. No application is set up to open it.</source>
        <translation>無法開啟連結，沒有可以開啟它的應用程式。</translation>
    </message>
</context>
</TS>
