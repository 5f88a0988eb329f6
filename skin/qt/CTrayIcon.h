#pragma once
// The icon in the desktop's notification area that hides and restores the
// main window. It is there for as long as the object lives; the icon's mouse
// actions reach the owner as the window-system messages a notification-area
// icon sends (the callback message, icon id 0, the mouse message).

#include <QIcon>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "skin/SkinIds.h"  // the messages the owner receives

class QSystemTrayIcon;

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

    // True when the desktop has a notification area now, so that a window
    // hidden to it can be brought back.
    static bool InTray();
    // Tests decide what InTray answers; nullopt asks the desktop again.
    static void SetTrayAvailableOverride(std::optional<bool> available);

    QSystemTrayIcon* SystemTrayIcon() const { return icon.get(); }  // Qt's own (tests)

private:
    ITrayIconOwner* owner;
    unsigned callbackMessage;
    std::vector<QIcon> icons;
    std::unique_ptr<QSystemTrayIcon> icon;
};
