#include "skin/qt/CTrayIcon.h"

#include <QSystemTrayIcon>

#include "skin/qt/SkinLook.h"

namespace {

std::optional<bool> trayOverride;

unsigned MouseMessage(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
    case QSystemTrayIcon::Trigger: return WM_LBUTTONDOWN;
    case QSystemTrayIcon::DoubleClick: return WM_LBUTTONDBLCLK;
    case QSystemTrayIcon::Context: return WM_RBUTTONDOWN;
    case QSystemTrayIcon::MiddleClick: return WM_MBUTTONDOWN;
    case QSystemTrayIcon::Unknown: break;
    }
    return 0;
}

}  // namespace

CTrayIcon::CTrayIcon(ITrayIconOwner* o, unsigned message, const std::string& tip, std::vector<int> iconIds)
    : owner(o), callbackMessage(message), icon(std::make_unique<QSystemTrayIcon>()) {
    for (int id : iconIds) icons.push_back(LoadSkinIcon(id));
    if (!icons.empty()) icon->setIcon(icons[0]);
    icon->setToolTip(QString::fromStdString(tip));
    QObject::connect(icon.get(), &QSystemTrayIcon::activated, icon.get(),
                     [this](QSystemTrayIcon::ActivationReason reason) {
                         const unsigned mouse = MouseMessage(reason);
                         if (owner && mouse) owner->OnTrayMessage(callbackMessage, 0, mouse);
                     });
    // Where the desktop has no tray yet, Qt adds the icon once one appears.
    icon->show();
}

CTrayIcon::~CTrayIcon() { icon->hide(); }

void CTrayIcon::SetIcon(int index) {
    if (index >= 0 && index < int(icons.size())) icon->setIcon(icons[std::size_t(index)]);
}

bool CTrayIcon::InTray() { return trayOverride ? *trayOverride : QSystemTrayIcon::isSystemTrayAvailable(); }

void CTrayIcon::SetTrayAvailableOverride(std::optional<bool> available) { trayOverride = available; }
