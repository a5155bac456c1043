// The server console is the server process's standard output.
#pragma once

// printf-style; flushed at once so a line reaches the console before anything that follows.
void Console_Print(const char* format, ...) __attribute__((format(printf, 1, 2)));
