#pragma once
// One accepted datagram of the packet store: its addresses and ports, its
// protocol, the protocol decoder's text and its message bytes; Help opens
// the protocol's help topic. The message shows as its text, or on request
// (Ctrl+H, the context menu) as a hex dump, a choice kept for the program's
// run.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "capture/PacketRecord.h"
#include "skin/CSkinDialog.h"

// Shown in place of a message that the store released to bound its memory.
inline constexpr char kReleasedMessageText[] =
    "(message released to keep memory bounded)";

// The help context of a protocol name: the whole name, case-sensitive, from
// a table of 31 names; nothing for a name that has no topic.
std::optional<unsigned> PacketHelpContext(std::string_view protocolName);

// What a record keeps of its message; the view holds its bytes while in use.
CHeldBytes MessageOf(const CPacketRecord& record);

// The message box's text: the bytes up to the first zero byte, one
// character per byte; or lines of 16 bytes with their offset, their hex
// and their ASCII (dots for the unprintable ones). UTF-8.
std::string MessageBoxText(const CHeldBytes& message, bool hex);

class CPacketDetailsDlg : public CSkinDialog {
public:
    explicit CPacketDetailsDlg(CSkinDialog* parent = nullptr);

    // Set before DoModal. The dialog holds the record while it lives, so a
    // drop at the store limit cannot take it away.
    void SetRecord(std::shared_ptr<const CPacketRecord> r) { record = std::move(r); }
    const CPacketRecord* Record() const { return record.get(); }

    // The message as a hex dump: off when the program starts; the last
    // choice holds for every details window after it.
    static bool HexView();
    static void SetHexView(bool hex);
    void ToggleHexView();
    // What Ctrl+C copies: the fields by their labels, the decoder's text and
    // the message as shown (text or hex dump).
    std::string EntryText() const;

protected:
    bool OnInitDialog() override;

private:
    void OnHelp();
    void ShowMessage();

    std::shared_ptr<const CPacketRecord> record;
};
