// Entry of the Zelnar Installer. The command line and the show state are ignored.
#include "app/startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    return RunInstaller(instance);
}
