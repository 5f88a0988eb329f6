#pragma once
// GetDlgItemInt's reading of a control's text, the same for every back end:
// a decimal number with blanks around it allowed, a sign only when isSigned;
// anything else, or a value beyond 32 bits (signed or unsigned as asked),
// gives 0 with *translated false. Blanks are the separators and the C
// white-space characters; digits only '0' to '9'.

#include <string_view>

long long ParseDialogInt(std::u16string_view text, bool* translated, bool isSigned);
