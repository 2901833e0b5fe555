// Copies the distribution's "Demos" folder into "Data\Demos" and its "Recipes" folder into
// "Recipes" of the install directory. Always reports 1; each failed file shows on the status line.
#pragma once

int CopyDemos(void);
int CopyRecipes(void);
