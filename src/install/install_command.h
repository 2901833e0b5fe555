// The Install command: loads the file list and runs the ticked steps in their fixed order, then
// ends the program. Reports nothing; a failed list, program file or settings step stops the run.
#pragma once

void RunInstall(void);
