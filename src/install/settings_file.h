// Builds "Velmarin.ini" in the install directory from the template beside the installer and writes
// the dialog's choices into it. Reports 1/0; a failed template copy leaves its message and fails.
#pragma once

int CreateSettingsFile(void);
