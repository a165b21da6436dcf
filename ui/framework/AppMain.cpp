#include "ui/framework/WinApp.h"

// The process entry of an application linked with -municode -mwindows.
int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR pszCmdLine, int nCmdShow) {
    return AfxWinMain(hInstance, hPrevInstance, pszCmdLine, nCmdShow);
}
