// `measure_profile CONNECTION` prepares the settings scripts/measure-cost runs the program on:
// CONNECTION watched, the first run's information box seen, everything else at its default.
#include "platform/store/RegistryStore.h"
#include "settings/RegVars.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: measure_profile CONNECTION\n", stderr);
        return 2;
    }
    CRegVars settings(platform::defaultRegistryFile());
    return settings.Connection.Set(argv[1]) && settings.InfoShown.Set(1) ? 0 : 1;
}
