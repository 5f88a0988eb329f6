#pragma once
// One accepted datagram of the packet store: its addresses and ports, its
// protocol, the protocol decoder's text and its message bytes; Help opens
// the protocol's help topic.

#include <memory>
#include <optional>
#include <string_view>

#include "capture/PacketRecord.h"
#include "ui/skin/CSkinDialog.h"

// Shown in place of a message that the store released to bound its memory.
inline constexpr char kReleasedMessageText[] =
    "(message no longer held: the oldest messages are let go to keep memory bounded)";

// The help context of a protocol name: the whole name, case-sensitive, from
// a table of 31 names; nothing for a name that has no topic.
std::optional<unsigned> PacketHelpContext(std::string_view protocolName);

class CPacketDetailsDlg : public CSkinDialog {
    Q_OBJECT
public:
    explicit CPacketDetailsDlg(QWidget* parent = nullptr);

    // Set before DoModal. The dialog holds the record while it lives, so a
    // drop at the store limit cannot take it away.
    void SetRecord(std::shared_ptr<const CPacketRecord> r) { record = std::move(r); }
    const CPacketRecord* Record() const { return record.get(); }

protected:
    bool OnInitDialog() override;

private:
    void OnHelp();

    std::shared_ptr<const CPacketRecord> record;
};
