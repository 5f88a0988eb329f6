#!/bin/sh
# The windows written only against the skin's API, and the skin's own
# toolkit-free headers, must name no Qt type or call, nor reach into a back
# end: they are built unchanged for every toolkit.
#   toolkit_free.sh SOURCE_DIR
set -u
cd "$1" || exit 2
files="skin/SkinIds.h skin/SkinTypes.h skin/Skin.h skin/WindowThread.h skin/MessageMap.h
dialogs/CAboutDlg.h dialogs/CAboutDlg.cpp dialogs/CTextLineDlg.h dialogs/CTextLineDlg.cpp
dialogs/CFiltersDlg.h dialogs/CFiltersDlg.cpp dialogs/CFilterEntryDlg.h dialogs/CFilterEntryDlg.cpp
dialogs/CHostBrowserDlg.h dialogs/CHostBrowserDlg.cpp dialogs/CConversationsDlg.h dialogs/CConversationsDlg.cpp
dialogs/CPacketDetailsDlg.h dialogs/CPacketDetailsDlg.cpp dialogs/CaptureRequests.h dialogs/CaptureRequests.cpp
dialogs/CMainDlg.h dialogs/CMainDlg.cpp dialogs/PacketList.cpp dialogs/MainFind.cpp dialogs/MainDisplayFilter.cpp"
status=0
for f in $files; do
    [ -f "$f" ] || { echo "$f: missing"; status=1; continue; }
    # Comments may mention anything; code may not.
    found=$(sed 's://.*$::' "$f" |
            grep -nE '\bQ[A-Z][A-Za-z]*|\bq[A-Z][A-Za-z]*\(|qobject_cast|Q_OBJECT|\b(signals|slots|emit)\b|#include <Q|"skin/(qt|win32)/|#include <(windows|winsock2|commctrl)\.h>|#include <arpa/')
    if [ -n "$found" ]; then
        echo "$found" | sed "s|^|$f:|"
        status=1
    fi
done
exit $status
