#pragma once
// A help service for tests: records the calls, opens no window, answers as
// told. It installs itself for its lifetime.

#include "platform/help/Help.h"

#include <vector>

class CHelpRecorder final : public CHelpService {
public:
    // A contents call is recorded as kContents.
    static constexpr long kContents = -1;

    explicit CHelpRecorder(bool result = true) : result(result) { SetHelpService(this); }
    ~CHelpRecorder() override { SetHelpService(nullptr); }
    CHelpRecorder(const CHelpRecorder&) = delete;
    CHelpRecorder& operator=(const CHelpRecorder&) = delete;

    bool OpenContents() override {
        calls.push_back(kContents);
        return result;
    }
    bool OpenContext(unsigned context) override {
        calls.push_back(static_cast<long>(context));
        return result;
    }

    bool result;
    std::vector<long> calls;
};
