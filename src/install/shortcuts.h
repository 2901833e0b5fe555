// Finds the desktop and Start menu programs folders and places the application's shell links
// there. Reports nothing: a folder that cannot be found gets no links, a link that fails is
// skipped.
#pragma once

void FindFolders(void);
void CreateShortcuts(void);
