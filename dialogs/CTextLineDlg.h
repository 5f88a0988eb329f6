#pragma once
// A small skinned dialog asking for one line of text: the display filter
// (template 136) and Find (template 137). OK asks `check` first: a line it
// refuses (returning why) is reported in a box and the dialog stays open.

#include <functional>
#include <string>

#include "skin/CSkinDialog.h"

class CTextLineDlg : public CSkinDialog {
public:
    using Check = std::function<std::string(const std::string& line)>;
    CTextLineDlg(int templateId, std::string line, Check check, CSkinDialog* parent = nullptr);
    // After IDOK: the line, without blanks around it.
    const std::string& Line() const { return line; }

protected:
    bool OnInitDialog() override;
    void OnOK() override;

private:
    std::string line;
    Check check;
};
