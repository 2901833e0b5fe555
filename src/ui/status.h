// The status line (control 1003): a message and its detail as "message:\ndetail", or a plain text.
// The text is cut to 255 characters and is on screen when the call returns; nothing is reported.
#pragma once

enum { STATUS_SIZE = 256 };

void ShowStatus(const char *message, const char *detail);
void SetStatusText(const char *text);
