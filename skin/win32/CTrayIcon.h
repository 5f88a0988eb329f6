#pragma once
// The icon in the notification area (Shell_NotifyIcon) that hides and
// restores the main window. It is there for as long as the object lives; its
// mouse actions reach the owner as the callback message, icon id 0 and the
// mouse message, through a message-only window of its own.

#include <optional>
#include <string>
#include <vector>

#include "skin/SkinIds.h"
#include "skin/win32/SkinWindow.h"

struct HICON__;

class ITrayIconOwner {
public:
    virtual ~ITrayIconOwner() = default;
    virtual long OnTrayMessage(unsigned message, unsigned iconId, unsigned mouseMessage) = 0;
};

class CTrayIcon {
public:
    // Adds the icon (the first of the icon resources iconIds) with the tip.
    CTrayIcon(ITrayIconOwner* owner, unsigned callbackMessage, const std::string& tip, std::vector<int> iconIds);
    // Removes the icon.
    virtual ~CTrayIcon();
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    // Shows the icon iconIds[index] in place of the current one.
    void SetIcon(int index);
    bool Added() const { return added; }

    // True when the shell has a notification area now (its tray window
    // exists), so that a window hidden to it can be brought back.
    static bool InTray();
    // Tests decide what InTray answers; nullopt asks the shell again.
    static void SetTrayAvailableOverride(std::optional<bool> available);

    // The message-only window that receives the icon's messages (tests), and
    // the message the shell sends it (lParam: the mouse message).
    SkinHwnd Window() const { return window; }
    static constexpr unsigned kIconMessage = 0x8000 + 2;  // WM_APP + 2

private:
    ITrayIconOwner* owner;
    unsigned callbackMessage;
    std::vector<HICON__*> icons;
    SkinHwnd window = nullptr;
    bool added = false;
    std::wstring tip;
};
