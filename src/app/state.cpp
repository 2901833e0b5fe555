#include "app/state.h"

PathSet g_paths;
int g_isNt;
HWND g_dialog;
char *g_listText;
