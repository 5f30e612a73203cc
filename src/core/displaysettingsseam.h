#pragma once

// For tests only; the program never calls this. Forgets the loaded display
// settings so that the next operation reads the configuration again, from
// configPath instead of the phone's system configuration file.
void resetDisplaySettingsForTest(const char *configPath);
