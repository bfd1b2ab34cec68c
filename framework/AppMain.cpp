// The program's entry point, linked only into the program (tests bring their own main).
#include "framework/WinApp.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    return AfxWinMain(instance);
}
