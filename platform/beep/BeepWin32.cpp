#include "platform/beep/Beep.h"

#include <atomic>
#include <windows.h>

namespace {

std::atomic<BeepHandler> currentHandler{nullptr};

}  // namespace

void Beep(unsigned frequencyHz, unsigned durationMs) {
    BeepHandler handler = currentHandler.load();
    if (handler)
        handler(frequencyHz, durationMs);
    else  // the system's speaker beep (the sound card on later Windows); blocks for its length
        ::Beep(static_cast<DWORD>(frequencyHz), static_cast<DWORD>(durationMs));
}

BeepHandler SetBeepHandler(BeepHandler handler) { return currentHandler.exchange(handler); }
