#pragma once
// The requests a capture run makes of its window. They are made on the
// capture thread, so an implementation must queue them onto its own thread
// and return at once: the capture thread never waits for the window.

#include <memory>
#include <string>

#include "capture/PacketRecord.h"

class ICaptureWindow {
public:
    virtual ~ICaptureWindow() = default;

    // Label 1031 (byte rate) and label 1033 (datagram rate).
    virtual void SetByteRateText(const std::string& text) = 0;
    virtual void SetPacketRateText(const std::string& text) = 0;

    // Once per accepted record, after it was stored and logged. A burst may be
    // coalesced by the implementation as long as the window ends up showing
    // what it would have shown had each been handled in turn.
    virtual void ShowAcceptedPacket(std::shared_ptr<const CPacketRecord> record) = 0;

    // A run that failed to start: idle buttons and the stop cue. The run has
    // already cleared its flag.
    virtual void ResetToIdle() = 0;

    // The exclamation message box of a start failure, after ResetToIdle.
    virtual void ShowStartFailure(const std::string& text) = 0;

    // The stop command (id 1001) that every run posts when its thread ends.
    virtual void PostStopCommand() = 0;
};
