// The program's entry point, linked only into the program (tests bring their own main).
#include "framework/WinApp.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    // AfxWinMain stops what its steps throw; this is the last stop for what its closing step throws,
    // so that the user hears of it rather than seeing the program vanish.
    try
    {
        return AfxWinMain(instance);
    }
    catch (const std::exception& e)
    {
        AfxReportException(&e);
    }
    catch (...)
    {
        AfxReportException(nullptr);
    }
    return 1;
}
