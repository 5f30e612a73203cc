#pragma once

#include <QString>

// Where the process was started and where the program lives, set up by main()
// before anything else and read again at teardown.
extern char startupDir[1024];
extern QString appPath;
extern QString appBaseName;
extern QString appDir;
