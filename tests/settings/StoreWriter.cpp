// With "sums", writes an ever-growing counter into both halves of a sum, one commit per pair,
// printing each value once it is committed. With "resets", ends one period after another instead,
// each counting its own number of bytes, and writes its record to "Quillmar.log" in the working
// directory as a reset does. The durability test kills it at random moments.
#include "settings/RegVars.h"
#include "traffic/PackedDateTime.h"
#include "traffic/PeriodRecords.h"

#include <cstdio>
#include <string_view>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    CRegVars vars(argv[1]);
    const bool resets = std::string_view(argv[2]) == "resets";
    std::uint32_t value = resets ? vars.Registry.History()->periods().size() : vars.SumRXLo.Get();
    for (++value;; ++value) {
        if (resets) {
            vars.SumRXLo.Set(value);
            EndPeriod(vars, {0, "dsl", vars.LimitLastReset.Get(),
                             DateTimeToPacked(QDateTime::currentDateTime()), value, 0});
            WritePendingRecords(vars.Registry);
        } else {
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
