#include <cstdio>

int main()
{
    std::puts("Movara: the window is not built yet.");
    return 0;
}
