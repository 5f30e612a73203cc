/* Preloaded into the program under test: appends "<pid> <working directory>"
   as the process ends to the file named by MOVARA_CWD_PROBE. Child processes
   inherit it and write lines of their own. */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

__attribute__((destructor)) static void reportWorkingDirectory(void)
{
    const char *path = getenv("MOVARA_CWD_PROBE");
    char cwd[4096];
    char line[4200];
    if (!path)
        return;
    if (!getcwd(cwd, sizeof cwd))
        strcpy(cwd, "?");
    snprintf(line, sizeof line, "%d %s\n", (int)getpid(), cwd);
    int fd = open(path, O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd < 0)
        return;
    if (write(fd, line, strlen(line)) < 0) {
    }
    close(fd);
}
