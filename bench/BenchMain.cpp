#include "platform/store/RegistryStore.h"

#include <QApplication>
#include <benchmark/benchmark.h>

// Text measuring and widgets need an application object; benchmarks run without a display. The
// store is set up as the program sets it up.
int main(int argc, char** argv)
{
    platform::configureStoreLibrary();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
