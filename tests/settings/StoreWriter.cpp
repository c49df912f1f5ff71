// Writes an ever-growing counter into a store, one committed set every two milliseconds, printing
// each value once it is committed. The durability test kills it at random moments.
#include "settings/RegVars.h"

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    CRegVars vars(argv[1]);
    for (std::uint32_t value = vars.SumRXLo.Get() + 1;; ++value) {
        vars.SumRXHi.Set(value);
        vars.SumRXLo.Set(value);
        std::printf("%u\n", value);
        std::fflush(stdout);
        ::usleep(2000);
    }
}
