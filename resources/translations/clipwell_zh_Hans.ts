<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en">
<context>
    <name></name>
    <message id="settingsTitle">
        <source>Clipwell Settings</source>
        <translation>Clipwell 设置</translation>
    </message>
    <message id="statusTooltip">
        <source>Clipwell – clipboard history</source>
        <translation>Clipwell – 剪贴板历史</translation>
    </message>
    <message id="openHistory">
        <source>Open History</source>
        <translation>打开历史记录</translation>
    </message>
    <message id="resumeRecording">
        <source>Resume Recording</source>
        <translation>继续记录</translation>
    </message>
    <message id="pauseRecording">
        <source>Pause Recording</source>
        <translation>暂停记录</translation>
    </message>
    <message id="settingsMenu">
        <source>Settings…</source>
        <translation>设置…</translation>
    </message>
    <message id="quitApp">
        <source>Quit Clipwell</source>
        <translation>退出 Clipwell</translation>
    </message>
    <message id="aboutApp">
        <source>About Clipwell</source>
        <translation>关于 Clipwell</translation>
    </message>
    <message id="hideApp">
        <source>Hide Clipwell</source>
        <translation>隐藏 Clipwell</translation>
    </message>
    <message id="editMenu">
        <source>Edit</source>
        <translation>编辑</translation>
    </message>
    <message id="undo">
        <source>Undo</source>
        <translation>撤销</translation>
    </message>
    <message id="cut">
        <source>Cut</source>
        <translation>剪切</translation>
    </message>
    <message id="copy">
        <source>Copy</source>
        <translation>复制</translation>
    </message>
    <message id="paste">
        <source>Paste</source>
        <translation>粘贴</translation>
    </message>
    <message id="selectAll">
        <source>Select All</source>
        <translation>全选</translation>
    </message>
    <message id="windowMenu">
        <source>Window</source>
        <translation>窗口</translation>
    </message>
    <message id="minimize">
        <source>Minimize</source>
        <translation>最小化</translation>
    </message>
    <message id="close">
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message id="historyUnsaved">
        <source>Your clipboard history could not be saved. If you quit now, your latest changes will be lost.</source>
        <translation>剪贴板历史无法保存。现在退出将丢失最近的更改。</translation>
    </message>
    <message id="returnToApp">
        <source>Return to Clipwell</source>
        <translation>返回 Clipwell</translation>
    </message>
    <message id="quitAnyway">
        <source>Quit Anyway</source>
        <translation>仍然退出</translation>
    </message>
    <message id="general">
        <source>General</source>
        <translation>通用</translation>
    </message>
    <message id="language">
        <source>Language</source>
        <translation>语言</translation>
    </message>
    <message id="theme">
        <source>Theme</source>
        <translation>主题</translation>
    </message>
    <message id="themeLight">
        <source>Light</source>
        <translation>浅色</translation>
    </message>
    <message id="themeDark">
        <source>Dark</source>
        <translation>深色</translation>
    </message>
    <message id="followSystem">
        <source>Follow System</source>
        <translation>跟随系统</translation>
    </message>
    <message id="storagePolicy">
        <source>Your history stays on this computer, in your home folder. It is never uploaded.</source>
        <translation>历史记录只保存在这台电脑的个人文件夹中，绝不会上传。</translation>
    </message>
    <message id="capturePolicy">
        <source>Passwords and other copies that apps mark as private or temporary are never recorded.</source>
        <translation>密码以及应用标记为隐私或临时的复制内容永远不会被记录。</translation>
    </message>
    <message id="quickPaste">
        <source>Quick Paste</source>
        <translation>快速粘贴</translation>
    </message>
    <message id="quickPasteHelp">
        <source>Paste from your history without leaving the app you are using</source>
        <translation>无需离开当前应用即可粘贴历史记录</translation>
    </message>
    <message id="quickPasteInstructions">
        <source>Press %1 to open your history. Keep holding %2 and press %3 to step forward, Z to step back; release the keys to paste the highlighted item.</source>
        <translation>按 %1 打开历史记录。按住 %2 再按 %3 逐项向后浏览、按 Z 返回上一项，松开按键即可粘贴选中的项目。</translation>
    </message>
    <message id="grantAccess">
        <source>Grant Access</source>
        <translation>授予权限</translation>
    </message>
    <message id="retry">
        <source>Try Again</source>
        <translation>重试</translation>
    </message>
    <message id="launchAtLogin">
        <source>Open at Login</source>
        <translation>登录时打开</translation>
    </message>
    <message id="loginApproval">
        <source>Clipwell needs your approval to open at login. Allow it in the login items settings.</source>
        <translation>Clipwell 需要你的批准才能在登录时打开。请在登录项设置中允许。</translation>
    </message>
    <message id="kindText">
        <source>Text</source>
        <translation>文本</translation>
    </message>
    <message id="kindLink">
        <source>Link</source>
        <translation>链接</translation>
    </message>
    <message id="kindImage">
        <source>Image</source>
        <translation>图片</translation>
    </message>
    <message id="kindFile">
        <source>File</source>
        <translation>文件</translation>
    </message>
    <message id="allHistory">
        <source>Clipboard History</source>
        <translation>剪贴板历史</translation>
    </message>
    <message id="itemCountOne">
        <source>%L1 item</source>
        <translation>%L1 项</translation>
    </message>
    <message id="itemCountOther">
        <source>%L1 items</source>
        <translation>%L1 项</translation>
    </message>
    <message id="loadingHistory">
        <source>Loading history…</source>
        <translation>正在载入历史记录…</translation>
    </message>
    <message id="historyUnavailable">
        <source>Your history could not be read. Recording is stopped so the existing file stays safe.</source>
        <translation>无法读取历史记录。为保护现有文件，记录已停止。</translation>
    </message>
    <message id="historyEmpty">
        <source>Nothing copied yet</source>
        <translation>还没有复制任何内容</translation>
    </message>
    <message id="noMatches">
        <source>No matches</source>
        <translation>没有匹配的结果</translation>
    </message>
    <message id="copyAgain">
        <source>Copy Again</source>
        <translation>再次复制</translation>
    </message>
    <message id="deleteEntry">
        <source>Delete</source>
        <translation>删除</translation>
    </message>
    <message id="recordingPaused">
        <source>Recording is paused</source>
        <translation>记录已暂停</translation>
    </message>
    <message id="clearConfirmation">
        <source>Clear all history?</source>
        <translation>清除全部历史记录？</translation>
    </message>
    <message id="clearHistory">
        <source>Clear History</source>
        <translation>清除历史记录</translation>
    </message>
    <message id="cancel">
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message id="clearExplanation">
        <source>Every saved item will be deleted. This cannot be undone.</source>
        <translation>所有保存的项目都将被删除，且无法恢复。</translation>
    </message>
    <message id="settings">
        <source>Settings</source>
        <translation>设置</translation>
    </message>
    <message id="justNow">
        <source>Just now</source>
        <translation>刚刚</translation>
    </message>
    <message id="openEmailHint">
        <source>Writes an email to this address</source>
        <translation>给此地址写邮件</translation>
    </message>
    <message id="openBrowserHint">
        <source>Opens the link in your browser</source>
        <translation>在浏览器中打开链接</translation>
    </message>
    <message id="searchPlaceholder">
        <source>Search history</source>
        <translation>搜索历史记录</translation>
    </message>
    <message id="clearSearch">
        <source>Clear search</source>
        <translation>清除搜索</translation>
    </message>
    <message id="allTypes">
        <source>All Types</source>
        <translation>所有类型</translation>
    </message>
    <message id="contentType">
        <source>Content type</source>
        <translation>内容类型</translation>
    </message>
    <message id="selected">
        <source>Selected</source>
        <translation>已选中</translation>
    </message>
    <message id="dismissError">
        <source>Dismiss</source>
        <translation>关闭提示</translation>
    </message>
    <message id="detailEmpty">
        <source>Select an item to see it here</source>
        <translation>选择一个项目即可在此查看</translation>
    </message>
    <message id="copyAgainHelp">
        <source>Put this item back on the clipboard</source>
        <translation>将此项目重新放回剪贴板</translation>
    </message>
    <message id="imagePreviewUnavailable">
        <source>This image cannot be previewed</source>
        <translation>此图片无法预览</translation>
    </message>
    <message id="fileUnavailable">
        <source>This file has been moved or deleted</source>
        <translation>此文件已被移动或删除</translation>
    </message>
    <message id="richTextPreview">
        <source>This formatted text has no plain-text version to preview.</source>
        <translation>此格式化文本没有可预览的纯文本内容。</translation>
    </message>
    <message id="previewAccessibility">
        <source>Content preview</source>
        <translation>内容预览</translation>
    </message>
    <message id="pasteDestination">
        <source>Paste into %1</source>
        <translation>粘贴到 %1</translation>
    </message>
    <message id="pasteOriginalHint">
        <source>Pastes this item with its original formatting</source>
        <translation>以原始格式粘贴此项目</translation>
    </message>
    <message id="quickPasteNavigation">
        <source>V next · Z previous</source>
        <translation>V 下一项 · Z 上一项</translation>
    </message>
    <message id="quickPasteCommit">
        <source>Release to paste</source>
        <translation>松开即可粘贴</translation>
    </message>
    <message id="quickPasteSelection">
        <source>Quick paste: %1</source>
        <translation>快速粘贴：%1</translation>
    </message>
    <message id="previewFailed">
        <source>Preview unavailable</source>
        <translation>无法预览</translation>
    </message>
    <message id="imageDimensions">
        <source>%L1 × %L2 pixels</source>
        <translation>%L1 × %L2 像素</translation>
    </message>
    <message id="imageFailedAccessibility">
        <source>Image that could not be shown</source>
        <translation>无法显示的图片</translation>
    </message>
    <message id="imageLoadingAccessibility">
        <source>Loading image</source>
        <translation>正在载入图片</translation>
    </message>
    <message id="quickPasteDisabled">
        <source>Quick paste is off</source>
        <translation>快速粘贴已关闭</translation>
    </message>
    <message id="quickPastePermission">
        <source>Quick paste needs the display’s XTEST and XInput 2 extensions</source>
        <translation>快速粘贴需要显示服务器的 XTEST 和 XInput 2 扩展</translation>
    </message>
    <message id="quickPasteFailed">
        <source>Quick paste could not start</source>
        <translation>快速粘贴无法启动</translation>
    </message>
    <message id="quickPasteReady">
        <source>Quick paste is ready</source>
        <translation>快速粘贴已就绪</translation>
    </message>
    <message id="quickPasteUnavailable">
        <source>Quick paste is not available on Wayland yet. It works in an X11 session.</source>
        <translation>快速粘贴暂不支持 Wayland，可在 X11 会话中使用。</translation>
    </message>
    <message id="quickPasteCompositorUnsupported">
        <source>This compositor cannot run quick paste</source>
        <translation>此合成器无法运行快速粘贴</translation>
    </message>
    <message id="quickPasteConnecting">
        <source>Waiting for the compositor to answer…</source>
        <translation>正在等待合成器响应…</translation>
    </message>
    <message id="quickPasteNoLayerShell">
        <source>It offers no layer shell (zwlr_layer_shell_v1), which the quick paste popup is shown with.</source>
        <translation>它未提供图层外壳（zwlr_layer_shell_v1），快速粘贴的弹出窗口需要它来显示。</translation>
    </message>
    <message id="quickPasteNoVirtualKeyboard">
        <source>It offers no virtual keyboard (zwp_virtual_keyboard_v1), which quick paste types the paste with.</source>
        <translation>它未提供虚拟键盘（zwp_virtual_keyboard_v1），快速粘贴需要它来输入粘贴快捷键。</translation>
    </message>
    <message id="quickPasteFakeInputNotGranted">
        <source>KDE Plasma lets only the applications it grants fake input (org_kde_kwin_fake_input) type, and quick paste types the paste with it. Install the Clipwell package, whose desktop entry asks for it, and run the installed clipwell.</source>
        <translation>KDE Plasma 只允许获准使用伪输入（org_kde_kwin_fake_input）的应用输入按键，而快速粘贴需要它来输入粘贴快捷键。请安装 Clipwell 软件包（其桌面项会申请此权限），然后运行已安装的 clipwell。</translation>
    </message>
    <message id="quickPasteTypingReason">
        <source>Quick paste types the paste shortcut into the application in front.</source>
        <translation>快速粘贴会向前台应用输入粘贴快捷键。</translation>
    </message>
    <message id="quickPasteX11Fallback">
        <source>On GNOME and KDE, quick paste reaches X11 applications when Clipwell runs with --backend x11.</source>
        <translation>在 GNOME 和 KDE 中，以 --backend x11 运行 Clipwell 时，快速粘贴可用于 X11 应用。</translation>
    </message>
    <message id="quickPasteBindCommand">
        <source>To open quick paste with Super+Shift+V, add this line to your compositor’s configuration and reload it:
%1</source>
        <translation>若要用 Super+Shift+V 打开快速粘贴，请将下面这一行加入合成器的配置并重新载入：
%1</translation>
    </message>
    <message id="quickPasteChordTaken">
        <source>Super+Shift+V is already bound in %1:
%2
Remove or change that line, reload sway, then click Try Again.</source>
        <translation>Super+Shift+V 已在 %1 中绑定：
%2
请删除或修改这一行，重新载入 sway，然后点按“重试”。</translation>
    </message>
    <message id="quickPasteBindFailed">
        <source>sway did not take the binding of Super+Shift+V: %1</source>
        <translation>sway 未接受 Super+Shift+V 的绑定：%1</translation>
    </message>
    <message id="quickPasteShortcutMissing">
        <source>KDE gives Quick Paste no shortcut: another action may already use Meta+Shift+V. Choose one in System Settings → Shortcuts → Clipwell → Quick Paste, then click Try Again.</source>
        <translation>KDE 未给快速粘贴分配快捷键：Meta+Shift+V 可能已被其他操作占用。请在“系统设置 → 快捷键 → Clipwell → 快速粘贴”中选择一个，然后点按“重试”。</translation>
    </message>
    <message id="quickPasteShortcutFailed">
        <source>KDE’s global shortcut service did not take Quick Paste’s shortcut: %1</source>
        <translation>KDE 的全局快捷键服务未接受快速粘贴的快捷键：%1</translation>
    </message>
    <message id="historyReadFailed">
        <source>Your history could not be read. %1 Clear History starts a new, empty history and keeps the unreadable file beside it.</source>
        <translation>无法读取历史记录。%1“清除历史记录”会开始新的空白历史记录，并在旁边保留无法读取的文件。</translation>
    </message>
    <message id="historySaveFailed">
        <source>Your history could not be saved: %1</source>
        <translation>无法保存历史记录：%1</translation>
    </message>
    <message id="copyTooLarge">
        <source>This copy is larger than 12 MB and was not recorded.</source>
        <translation>此复制内容超过 12 MB，未被记录。</translation>
    </message>
    <message id="multipleFiles">
        <source>%1 and more (%L2 files)</source>
        <translation>%1 等 %L2 个文件</translation>
    </message>
    <message id="copiedImage">
        <source>Copied image</source>
        <translation>复制的图片</translation>
    </message>
    <message id="richTextTitle">
        <source>Formatted text</source>
        <translation>格式化文本</translation>
    </message>
    <message id="otherApp">
        <source>Other app</source>
        <translation>其他应用</translation>
    </message>
    <message id="missingFile">
        <source>The file “%1” no longer exists.</source>
        <translation>文件“%1”已不存在。</translation>
    </message>
    <message id="emptyClipboardEntry">
        <source>This item has nothing to copy.</source>
        <translation>此项目没有可复制的内容。</translation>
    </message>
    <message id="clipboardWriteFailed">
        <source>The clipboard could not be written.</source>
        <translation>无法写入剪贴板。</translation>
    </message>
    <message id="archiveTooLarge">
        <source>The history file is too large to open.</source>
        <translation>历史记录文件太大，无法打开。</translation>
    </message>
    <message id="unsupportedArchive">
        <source>The history file comes from a newer version of Clipwell.</source>
        <translation>历史记录文件来自较新版本的 Clipwell。</translation>
    </message>
    <message id="originalApp">
        <source>the app you were using</source>
        <translation>原来的应用</translation>
    </message>
    <message id="pasteCancelled">
        <source>Paste cancelled</source>
        <translation>已取消粘贴</translation>
    </message>
    <message id="pasteEventFailed">
        <source>The paste keystroke could not be sent.</source>
        <translation>无法发送粘贴按键。</translation>
    </message>
    <message id="accessibilityGuideTitle">
        <source>Let Clipwell paste for you</source>
        <translation>让 Clipwell 为你粘贴</translation>
    </message>
    <message id="accessibilityGuideEnable">
        <source>1. Quick paste needs two extensions of your X server: XTEST, to press the paste keys in the app you were using, and XInput 2, to follow the keyboard. Most X servers have both. To check yours, run xdpyinfo in a terminal: its list of extensions must show XInputExtension and XTEST.</source>
        <translation>1. 快速粘贴需要 X 服务器的两个扩展：XTEST 用于在你正在使用的应用中按下粘贴键，XInput 2 用于跟踪键盘。大多数 X 服务器都具备这两个扩展。要检查你的 X 服务器，请在终端中运行 xdpyinfo：它列出的扩展中必须有 XInputExtension 和 XTEST。</translation>
    </message>
    <message id="accessibilityGuideAdd">
        <source>2. On a remote, nested or restricted display they are often missing. Log out and choose a regular X11 session (often named “on Xorg”) from the session menu of the login screen.</source>
        <translation>2. 远程、嵌套或受限的显示服务器常常缺少这两个扩展。请注销，然后在登录界面的会话菜单中选择常规的 X11 会话（通常名为“on Xorg”）。</translation>
    </message>
    <message id="accessibilityGuideSettings">
        <source>3. Back in Clipwell, open Settings with the gear button and turn on Quick Paste. This guide closes by itself once the extensions are there.</source>
        <translation>3. 回到 Clipwell，点击齿轮按钮打开设置，开启快速粘贴。扩展可用后，本指南会自动关闭。</translation>
    </message>
    <message id="accessibilityGuideViewGuide">
        <source>How to set up quick paste</source>
        <translation>如何设置快速粘贴</translation>
    </message>
    <message id="accessibilityGuideOpenFailed">
        <source>On X11 there is no setting Clipwell can open for this: XTEST and XInput 2 come with the X server. Log in to a regular X11 session, or start the X server with both extensions, then come back.</source>
        <translation>在 X11 上没有可供 Clipwell 打开的相关设置：XTEST 和 XInput 2 由 X 服务器提供。请登录常规的 X11 会话，或启动带有这两个扩展的 X 服务器，然后再回来。</translation>
    </message>
    <message id="accessibilityGuideSwitchDescription">
        <source>A terminal where xdpyinfo lists the XInputExtension and XTEST extensions</source>
        <translation>终端中 xdpyinfo 列出了 XInputExtension 和 XTEST 扩展</translation>
    </message>
    <message id="historyDamaged">
        <source>The history file is damaged.</source>
        <translation>历史记录文件已损坏。</translation>
    </message>
    <message id="historyNotAFile">
        <source>Something other than a file is where the history file belongs.</source>
        <translation>历史记录文件的位置上是别的东西，而不是文件。</translation>
    </message>
    <message id="diskFull">
        <source>There is no space left on the disk that holds %1.</source>
        <translation>存放 %1 的磁盘已没有剩余空间。</translation>
    </message>
    <message id="diskQuotaExceeded">
        <source>Your disk quota is used up, so %1 cannot grow.</source>
        <translation>你的磁盘配额已用完，%1 无法再写入。</translation>
    </message>
    <message id="permissionDenied">
        <source>Clipwell is not allowed to use %1.</source>
        <translation>Clipwell 没有使用 %1 的权限。</translation>
    </message>
    <message id="readOnlyDisk">
        <source>%1 is on a disk that cannot be written to.</source>
        <translation>%1 所在的磁盘是只读的。</translation>
    </message>
    <message id="unreadableHistoryKept">
        <source>The unreadable history file was kept as %1.</source>
        <translation>无法读取的历史记录文件已保留为 %1。</translation>
    </message>
    <message id="previewTextTruncated">
        <source>Only the first %L1 characters are shown. Copy the entry again to get the whole text.</source>
        <translation>仅显示前 %L1 个字符。再次复制此条目即可获得全文。</translation>
    </message>
    <message id="previewFilesTruncated">
        <source>Only the first %L1 of %L2 files are shown.</source>
        <translation>仅显示 %L2 个文件中的前 %L1 个。</translation>
    </message>
    <message id="linkOpenFailed">
        <source>The link could not be opened. No application is set up to open it.</source>
        <translation>无法打开链接，没有可以打开它的应用程序。</translation>
    </message>
</context>
</TS>
