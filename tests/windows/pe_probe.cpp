// A deliberately unfit DLL for check_pe_selftest.sh: its one export uses the
// C calling convention (a plain ret) and it imports GDI32.
#include "platform/win32.h"

extern "C" __declspec(dllexport) int ProbeCdecl(int object)
{
    return GetStockObject(object) != NULL;
}
