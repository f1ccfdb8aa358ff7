#include "shell/app_globals.h"

#include <cstring>

AppGlobals g_app;

int32_t g_fullScreen = 0;
plat::PlatWindow* g_taskBarWindow = nullptr;
int32_t g_ignoreActivate = 0;
int32_t g_allowSipInHebrewSearch = 1;

void ClearAppGlobals() { std::memset(&g_app, 0, sizeof g_app); }
