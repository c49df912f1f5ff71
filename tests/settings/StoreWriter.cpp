// Writes an ever-growing counter into both halves of a sum, one commit per pair, printing each
// value once it is committed. The durability test kills it at random moments.
#include "settings/RegVars.h"

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    CRegVars vars(argv[1]);
    for (std::uint32_t value = vars.SumRXLo.Get() + 1;; ++value) {
        {
            const CRegistry::Transaction pair(vars.Registry);
            vars.SumRXHi.Set(value);
            // Most kills land between the two halves, where separate commits would tear the pair.
            ::usleep(1000);
            vars.SumRXLo.Set(value);
        }
        std::printf("%u\n", value);
        std::fflush(stdout);
    }
}
