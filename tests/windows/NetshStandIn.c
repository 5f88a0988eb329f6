/* Stands in for netsh.exe in the installer test's Wine prefix: appends its
 * command line to %ORN_NETSH_LOG% and exits with %ORN_NETSH_STATUS% (0 when
 * unset), so the test sees which firewall commands ran and can make them fail. */
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

int wmain(void)
{
    const wchar_t* log = _wgetenv(L"ORN_NETSH_LOG");
    const wchar_t* status = _wgetenv(L"ORN_NETSH_STATUS");
    FILE* f = log ? _wfopen(log, L"a, ccs=UTF-8") : NULL;
    if (!f) return 99;
    fwprintf(f, L"%ls\n", GetCommandLineW());
    fclose(f);
    return status ? _wtoi(status) : 0;
}
