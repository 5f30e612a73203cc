#include "app/startup.h"

char startupDir[1024];
QString appPath;
QString appBaseName;
QString appDir;
