#pragma once
// The display filter dialog: one line in tcpdump's capture-filter language,
// compiled by libpcap on OK; a filter that does not compile is refused with
// libpcap's message and the dialog stays open.

#include <memory>
#include <string>

#include "platform/capture/DisplayFilter.h"
#include "ui/skin/CSkinDialog.h"

inline constexpr char kDisplayFilterRefusedText[] = "Can not use this display filter:";

class CDisplayFilterDlg : public CSkinDialog {
    Q_OBJECT
public:
    explicit CDisplayFilterDlg(std::string expression, QWidget* parent = nullptr);
    // After IDOK: the compiled filter (not set for an empty line).
    std::shared_ptr<const CDisplayFilter> Filter() const { return filter; }

protected:
    bool OnInitDialog() override;
    void OnOK() override;

private:
    std::string expression;
    std::shared_ptr<CDisplayFilter> filter;
};
