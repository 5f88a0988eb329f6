#pragma once
// The icon in the desktop's notification area that hides and restores the
// main window. It is there for as long as the object lives; the icon's mouse
// actions reach the owner as the window-system messages a notification-area
// icon sends (the callback message, icon id 0, the mouse message).

#include <QIcon>
#include <QObject>
#include <QString>
#include <memory>
#include <optional>

class QSystemTrayIcon;

// The messages the owner receives.
inline constexpr unsigned WM_USER = 0x0400;
inline constexpr unsigned WM_LBUTTONDOWN = 0x0201;
inline constexpr unsigned WM_LBUTTONDBLCLK = 0x0203;
inline constexpr unsigned WM_RBUTTONDOWN = 0x0204;
inline constexpr unsigned WM_MBUTTONDOWN = 0x0207;

class ITrayIconOwner {
public:
    virtual ~ITrayIconOwner() = default;
    virtual long OnTrayMessage(unsigned message, unsigned iconId, unsigned mouseMessage) = 0;
};

class CTrayIcon {
public:
    // Adds the icon (icons[0]) with the tip. icons is the caller's array of
    // count icons and must outlive the object.
    CTrayIcon(ITrayIconOwner* owner, unsigned callbackMessage, const QString& tip, const QIcon* icons, int count);
    // Removes the icon.
    virtual ~CTrayIcon();

    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    // Shows icons[index] in place of the current one; callers pass 0 to count - 1.
    void SetIcon(int index);

    // True when the desktop has a notification area now, so that a window
    // hidden to it can be brought back.
    static bool InTray();
    // Tests decide what InTray answers; nullopt asks the desktop again.
    static void SetTrayAvailableOverride(std::optional<bool> available);

    QSystemTrayIcon* SystemTrayIcon() const { return icon.get(); }

private:
    ITrayIconOwner* owner;
    unsigned callbackMessage;
    const QIcon* icons;
    int count;
    std::unique_ptr<QSystemTrayIcon> icon;
};
